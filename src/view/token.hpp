// token.hpp - the secret a `view` server hands out with its address, and
// its comparison in constant time.
#pragma once

#include <string>
#include <string_view>

#include "error.hpp"

namespace binscope {

// 32 bytes (256 bits) from the system's random source, written in the
// URL-safe base64 alphabet without padding (43 characters).
Result<std::string> make_token();

// Whether `given` equals `expected`; the time taken depends on the length
// of `expected` only, never on where the two first differ.
bool token_matches(std::string_view given, std::string_view expected);

}  // namespace binscope
