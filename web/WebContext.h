#pragma once

typedef struct _WebKitWebContext WebKitWebContext;

namespace orvela::WebContext {

// The process's one web context: website data and cookies kept under
// $XDG_DATA_HOME/orvela and $XDG_CACHE_HOME/orvela, so sign-in and local storage
// survive restarts, and the web-process extension that serves the page channel.
WebKitWebContext* shared();

// Makes the context ahead of the first page, so that its network process starts
// while the rest of the application does; shared() decides the sandbox later.
void prepare();

// Starts finding out whether pages can have a sandbox here, so that the answer is
// ready when the first page is asked for; shared() asks on the spot without it.
void probeSandbox();

// Turns the spell-checker on, for Russian and English; its dictionaries load
// at once. Once per process.
void startSpellChecking();

}  // namespace orvela::WebContext
