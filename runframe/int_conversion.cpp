#include "runframe/int_conversion.hpp"

#include "runframe/abrupt_end.hpp"

namespace runframe {

std::optional<std::uint64_t> ParseUnsigned(std::string_view digits, std::uint64_t max) {
  if (digits.empty()) return std::nullopt;
  std::uint64_t value = 0;
  for (const char c : digits) {
    if (c < '0' || c > '9') return std::nullopt;
    const auto digit = static_cast<std::uint64_t>(c - '0');
    // value * 10 + digit <= max, tested without overflow.
    if (digit > max || value > (max - digit) / 10) return std::nullopt;
    value = value * 10 + digit;
  }
  return value;
}

std::optional<std::int32_t> ParseInteger(std::string_view text) {
  std::size_t i = 0;
  while (i < text.size() && (text[i] == ' ' || text[i] == '\t')) ++i;
  bool negative = false;
  if (i < text.size() && (text[i] == '+' || text[i] == '-')) {
    negative = text[i] == '-';
    ++i;
  }
  const std::uint64_t limit = negative ? std::uint64_t{2147483648} : std::uint64_t{2147483647};
  const std::optional<std::uint64_t> magnitude = ParseUnsigned(text.substr(i), limit);
  if (!magnitude) return std::nullopt;
  return static_cast<std::int32_t>(negative ? -static_cast<std::int64_t>(*magnitude)
                                            : static_cast<std::int64_t>(*magnitude));
}

std::int32_t ConvertInteger(std::string_view text) {
  if (auto value = ParseInteger(text)) return *value;
  throw InvalidInteger(std::string(text));
}

}  // namespace runframe
