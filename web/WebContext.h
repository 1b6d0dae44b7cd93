#pragma once

typedef struct _WebKitWebContext WebKitWebContext;

namespace orvela::WebContext {

// The process's one web context: website data and cookies kept under
// $XDG_DATA_HOME/orvela and $XDG_CACHE_HOME/orvela, so sign-in and local storage
// survive restarts, and the web-process extension that serves the page channel.
WebKitWebContext* shared();

}  // namespace orvela::WebContext
