#pragma once
// The one text-to-integer conversion of both programs, for the command line and
// for every field of the table files.
#include <cstdint>
#include <optional>
#include <string_view>

namespace runframe {

// Accepts optional leading blanks and tabs, an optional '+' or '-', then one or
// more decimal digits and nothing else, with a value in the 32-bit signed range.
std::optional<std::int32_t> ParseInteger(std::string_view text);

// As ParseInteger, but a text that is not an integer throws InvalidInteger.
std::int32_t ConvertInteger(std::string_view text);

}  // namespace runframe
