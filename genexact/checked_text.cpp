#include "genexact/checked_text.hpp"

#include <charconv>
#include <cstdio>

#include "runframe/atomic_file.hpp"

namespace genexact {

namespace {
constexpr std::string_view ChecksumWord = "checksum ";
}  // namespace

std::uint64_t TextChecksum(std::string_view bytes) {
  std::uint64_t h = 14695981039346656037ULL;
  for (const unsigned char c : bytes) {
    if (c == '\r') continue;
    h ^= c;
    h *= 1099511628211ULL;
  }
  return h;
}

std::string Hex16(std::uint64_t value) {
  char hex[32];
  (void)std::snprintf(hex, sizeof hex, "%016llx", static_cast<unsigned long long>(value));
  return hex;
}

std::string WithChecksum(std::string text) {
  const std::uint64_t sum = TextChecksum(text);
  text += ChecksumWord;
  text += Hex16(sum);
  text += "\r\n";
  return text;
}

bool ToNumber(std::string_view text, std::uint64_t& value, int base) {
  const char* end = text.data() + text.size();
  const auto [ptr, ec] = std::from_chars(text.data(), end, value, base);
  return ec == std::errc() && ptr == end && !text.empty();
}

bool CheckedContent(const std::string& text, std::string_view& content) {
  std::string_view all = text;
  if (!all.empty() && all.back() == '\n') all.remove_suffix(1);
  if (!all.empty() && all.back() == '\r') all.remove_suffix(1);
  const std::size_t lineStart = all.rfind('\n');
  if (lineStart == std::string_view::npos) return false;
  const std::string_view last = all.substr(lineStart + 1);
  if (last.substr(0, ChecksumWord.size()) != ChecksumWord) return false;
  std::uint64_t expected = 0;
  const std::string_view digits = last.substr(ChecksumWord.size());
  if (digits.size() != 16 || !ToNumber(digits, expected, 16)) return false;
  content = all.substr(0, lineStart + 1);
  return TextChecksum(content) == expected;
}

LoadStatus ReadCheckedFile(const std::string& file, std::size_t maxBytes, std::size_t maxLine, std::string& text,
                           std::string_view& content, int& errnoValue) {
  switch (runframe::ReadSmallRegularFile(file, maxBytes, maxLine, text, errnoValue)) {
    case runframe::SmallFileRead::Read:
      break;
    case runframe::SmallFileRead::Missing:
    case runframe::SmallFileRead::Failed:
      return LoadStatus::Missing;
    case runframe::SmallFileRead::NotRegular:
    case runframe::SmallFileRead::TooLarge:
    case runframe::SmallFileRead::LineTooLong:
      return LoadStatus::Damaged;
  }
  return CheckedContent(text, content) ? LoadStatus::Loaded : LoadStatus::Damaged;
}

}  // namespace genexact
