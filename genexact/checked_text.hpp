#pragma once
// What genexact's own files share: a last line "checksum <16 hex digits>",
// FNV-1a 64 of every byte before it but CR (so a file whose line ends became
// LF still reads), and strict numbers.  It catches accidents (a flipped digit,
// a cut or edited file), not forgery.
#include <cstdint>
#include <string>
#include <string_view>

namespace genexact {

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
