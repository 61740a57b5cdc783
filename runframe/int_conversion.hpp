#pragma once
// The one text-to-integer conversion of all programs, for the command line and
// for every field of the table files.
#include <cstdint>
#include <limits>
#include <optional>
#include <string_view>

namespace runframe {

// One or more decimal digits and nothing else (no blank, no sign; leading
// zeros are fine), with a value of at most max.  Any number of digits is safe.
std::optional<std::uint64_t> ParseUnsigned(std::string_view digits,
                                           std::uint64_t max = std::numeric_limits<std::uint64_t>::max());

// Accepts optional leading blanks and tabs, an optional '+' or '-', then what
// ParseUnsigned accepts, with a value in the 32-bit signed range.
std::optional<std::int32_t> ParseInteger(std::string_view text);

// As ParseInteger, but a text that is not an integer throws InvalidInteger.
std::int32_t ConvertInteger(std::string_view text);

}  // namespace runframe
