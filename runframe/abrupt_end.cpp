#include "runframe/abrupt_end.hpp"

#include <cstdio>
#include <system_error>

namespace runframe {

std::string Printable(std::string_view text) {
  std::string out;
  out.reserve(text.size());
  for (unsigned char c : text) {
    if ((c < 0x20 && c != '\t') || (c >= 0x7f && c <= 0x9f)) {
      char buf[8];
      (void)std::snprintf(buf, sizeof buf, "\\x%02X", c);
      out += buf;
    } else {
      out += static_cast<char>(c);
    }
  }
  return out;
}

namespace {

std::string InvalidIntegerReport(const std::string& text) {
  // Built by appending: GCC 12 warns falsely on "literal" + std::string here.
  std::string report;
  report += '"';
  report += Printable(text);
  report += "\" is an invalid integer";
  return report;
}

}  // namespace

InvalidInteger::InvalidInteger(const std::string& text) : AbruptEnd(ExitInvalidInteger, InvalidIntegerReport(text)) {}

IoError::IoError(const std::string& what, int errnoValue, bool onConsole)
    : AbruptEnd(ExitIoError,
                "Input/output error: " + Printable(what) +
                    (errnoValue != 0 ? std::string(" failed (") + std::generic_category().message(errnoValue) + ")"
                                     : std::string(" failed"))),
      onConsole_(onConsole) {}

}  // namespace runframe
