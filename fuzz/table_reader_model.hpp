#pragma once
// An independent model of how a table file must be read, written from the
// file format alone and sharing no code with the reader: the fuzz targets and
// tests/mutation_test.cpp compare the real reader and conversion against it.
// It favours plainness over speed.
#include <cerrno>
#include <cstdint>
#include <cstdlib>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

namespace tablemodel {

// The conversion rules: optional blanks and tabs, an optional sign, then one
// or more decimal digits and nothing else, value in the 32-bit signed range.
// The text is validated first and only then handed to strtoll, so strtoll's
// own leniency (other white space, trailing text) cannot leak in.
inline std::optional<std::int32_t> ReferenceInteger(std::string_view text) {
  std::size_t i = 0;
  while (i < text.size() && (text[i] == ' ' || text[i] == '\t')) ++i;
  std::size_t digits = i;
  if (digits < text.size() && (text[digits] == '+' || text[digits] == '-')) ++digits;
  if (digits == text.size()) return std::nullopt;
  for (std::size_t k = digits; k < text.size(); ++k) {
    if (text[k] < '0' || text[k] > '9') return std::nullopt;
  }
  const std::string copy(text);
  errno = 0;
  char* end = nullptr;
  const long long value = std::strtoll(copy.c_str(), &end, 10);
  if (errno == ERANGE || end != copy.c_str() + copy.size()) return std::nullopt;
  if (value < INT32_MIN || value > INT32_MAX) return std::nullopt;
  return static_cast<std::int32_t>(value);
}

enum class Fault {
  None,            // accepted
  TooShort,        // the file ended (or reached a Ctrl-Z) before size*size lines
  XRange,          // x outside 1..size
  YRange,          // y outside 1..size
  ResultRange,     // r1 or r2 outside 1..size
  MissingCell,     // some ordered pair was never given
  NotCommutative,  // an operation differs on (x, y) and (y, x)
  InvalidInteger,  // a field is not an integer; invalidText holds it
};

struct Outcome {
  Fault fault = Fault::None;
  std::string invalidText;             // the field that did not convert
  std::size_t linesRead = 0;           // lines taken before the outcome was known
  std::vector<std::int32_t> firstOp;   // size*size cells, row x-1, column y-1
  std::vector<std::int32_t> secondOp;  // (complete only when accepted)
};

inline constexpr std::size_t KeptCharacters = 50;
inline constexpr char CtrlZ = 26;

// Splits off the next line at pos: ended by LF, CR LF, a lone CR, the end of
// the bytes, or a Ctrl-Z (which stays in place as the end-of-file mark).
inline std::string NextLine(std::string_view bytes, std::size_t& pos) {
  std::string line;
  while (pos < bytes.size()) {
    const char c = bytes[pos];
    if (c == CtrlZ) break;
    ++pos;
    if (c == '\n') break;
    if (c == '\r') {
      if (pos < bytes.size() && bytes[pos] == '\n') ++pos;
      break;
    }
    if (line.size() < KeptCharacters) line += c;
  }
  return line;
}

// Reads a file of a lattice with `size` elements as the reader must.
inline Outcome ReadModel(std::string_view bytes, std::int32_t size) {
  Outcome out;
  const auto cells = static_cast<std::size_t>(size) * static_cast<std::size_t>(size);
  out.firstOp.assign(cells, 0);
  out.secondOp.assign(cells, 0);
  std::size_t pos = 0;
  auto invalid = [&out](std::string text) {
    out.fault = Fault::InvalidInteger;
    out.invalidText = std::move(text);
    return out;
  };
  auto outside = [size](std::int32_t v) { return v < 1 || v > size; };
  for (std::size_t k = 0; k < cells; ++k) {
    if (pos == bytes.size() || bytes[pos] == CtrlZ) {
      out.fault = Fault::TooShort;
      return out;
    }
    const std::string line = NextLine(bytes, pos);
    out.linesRead = k + 1;
    // Each field runs up to the first separator after the previous one; a
    // missing separator leaves an empty field.
    const std::size_t amp = line.find('&');
    if (amp == std::string::npos) return invalid("");
    const auto x = ReferenceInteger(std::string_view(line).substr(0, amp));
    if (!x) return invalid(line.substr(0, amp));
    if (outside(*x)) {
      out.fault = Fault::XRange;
      return out;
    }
    const std::size_t eq = line.find('=', amp + 1);
    if (eq == std::string::npos) return invalid("");
    const auto y = ReferenceInteger(std::string_view(line).substr(amp + 1, eq - amp - 1));
    if (!y) return invalid(line.substr(amp + 1, eq - amp - 1));
    if (outside(*y)) {
      out.fault = Fault::YRange;
      return out;
    }
    const std::size_t comma = line.find(',', eq + 1);
    if (comma == std::string::npos) return invalid("");
    const auto r1 = ReferenceInteger(std::string_view(line).substr(eq + 1, comma - eq - 1));
    if (!r1) return invalid(line.substr(eq + 1, comma - eq - 1));
    const auto r2 = ReferenceInteger(std::string_view(line).substr(comma + 1));
    if (!r2) return invalid(line.substr(comma + 1));
    if (outside(*r1) || outside(*r2)) {
      out.fault = Fault::ResultRange;
      return out;
    }
    const auto cell =
        static_cast<std::size_t>(*x - 1) * static_cast<std::size_t>(size) + static_cast<std::size_t>(*y - 1);
    out.firstOp[cell] = *r1;
    out.secondOp[cell] = *r2;
  }
  for (std::size_t cell = 0; cell < cells; ++cell) {
    if (out.firstOp[cell] == 0 || out.secondOp[cell] == 0) {
      out.fault = Fault::MissingCell;
      return out;
    }
  }
  const auto s = static_cast<std::size_t>(size);
  for (std::size_t x = 0; x < s; ++x) {
    for (std::size_t y = 0; y < s; ++y) {
      if (out.firstOp[x * s + y] != out.firstOp[y * s + x] || out.secondOp[x * s + y] != out.secondOp[y * s + x]) {
        out.fault = Fault::NotCommutative;
        return out;
      }
    }
  }
  return out;
}

}  // namespace tablemodel
