#include "runframe/int_conversion.hpp"

#include "runframe/abrupt_end.hpp"

namespace runframe {

std::optional<std::int32_t> ParseInteger(std::string_view text) {
  std::size_t i = 0;
  while (i < text.size() && (text[i] == ' ' || text[i] == '\t')) ++i;
  bool negative = false;
  if (i < text.size() && (text[i] == '+' || text[i] == '-')) {
    negative = text[i] == '-';
    ++i;
  }
  if (i == text.size()) return std::nullopt;
  // Accumulate the magnitude in 64 bits and stop as soon as it leaves the range,
  // so any number of digits is safe.
  std::int64_t magnitude = 0;
  const std::int64_t limit = negative ? std::int64_t{2147483648} : std::int64_t{2147483647};
  for (; i < text.size(); ++i) {
    const char c = text[i];
    if (c < '0' || c > '9') return std::nullopt;
    magnitude = magnitude * 10 + (c - '0');
    if (magnitude > limit) return std::nullopt;
  }
  return static_cast<std::int32_t>(negative ? -magnitude : magnitude);
}

std::int32_t ConvertInteger(std::string_view text) {
  if (auto value = ParseInteger(text)) return *value;
  throw InvalidInteger(std::string(text));
}

}  // namespace runframe
