#pragma once
// The one rule for a port number typed by a visitor: 1 to 65535, digits only.

#include <cstdint>
#include <optional>
#include <string_view>

namespace site {

// Accepts one to five ASCII digits with a value from 1 to 65535. Signs, blanks,
// hex, exponents and anything else give nullopt, so that bad input never probes.
std::optional<std::uint16_t> parsePortNumber(std::string_view text);

}  // namespace site
