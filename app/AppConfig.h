#pragma once

#include "platform/DefaultsStore.h"

#include <string>

namespace orvela {

// The web application's address and the application's version. Nothing is kept:
// every call reads the defaults again, so a changed "origin" is seen at once.
namespace AppConfig {

inline constexpr const char* defaultOrigin = "https://app.orvela.ru";

// The "origin" override when it is an https address or one on localhost,
// otherwise the default origin. Always an absolute address.
std::string origin(const DefaultsStore& defaults = DefaultsStore::standardUserDefaults());

// The path resolved against the origin as a relative reference (RFC 3986); the
// origin itself when the path does not parse.
std::string url(const std::string& path,
                const DefaultsStore& defaults = DefaultsStore::standardUserDefaults());

// The project version compiled in, "0" when there is none.
std::string version();

}  // namespace AppConfig
}  // namespace orvela
