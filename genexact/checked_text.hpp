#pragma once
// What genexact's own files share: a last line "checksum <16 hex digits>",
// FNV-1a 64 of every byte before it but CR (so a file whose line ends became
// LF still reads), and strict numbers.  It catches accidents (a flipped digit,
// a cut or edited file), not forgery.
#include <cstddef>
#include <cstdint>
#include <string>
#include <string_view>

namespace genexact {

enum class LoadStatus { Missing, Loaded, Damaged };

// Reads a file of genexact's own into text and sets content to what comes
// before its checksum line: Loaded when that line is right, Missing when the
// file is not there or cannot be opened (errnoValue says why), Damaged when
// it is not a regular file, is larger than maxBytes, has a line longer than
// maxLine or a wrong or missing checksum.  Bounded time and memory.
LoadStatus ReadCheckedFile(const std::string& file, std::size_t maxBytes, std::size_t maxLine, std::string& text,
                           std::string_view& content, int& errnoValue);

std::uint64_t TextChecksum(std::string_view bytes);

// Sixteen lower-case hex digits.
std::string Hex16(std::uint64_t value);

// text followed by its checksum line.
std::string WithChecksum(std::string text);

// The content before the checksum line when that line is present and right.
bool CheckedContent(const std::string& text, std::string_view& content);

// Digits only, in the base, without sign or blank, within 64 bits.
bool ToNumber(std::string_view text, std::uint64_t& value, int base = 10);

}  // namespace genexact
