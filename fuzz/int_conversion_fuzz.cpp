// libFuzzer target: the shared integer conversion against the independent
// reference.  ParseInteger and ConvertInteger must agree with it on every
// input, and a refused text must be reported quoted, with exit status 2.
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <optional>
#include <string>
#include <string_view>

#include "fuzz/table_reader_model.hpp"
#include "runframe/abrupt_end.hpp"
#include "runframe/int_conversion.hpp"

namespace {

std::string Shown(std::optional<std::int32_t> v) { return v ? std::to_string(*v) : std::string("refused"); }

[[noreturn]] void Fail(std::string_view text, const std::string& what) {
  std::fprintf(stderr, "int_conversion_fuzz: %s for a text of %zu bytes\n", what.c_str(), text.size());
  std::fflush(stderr);
  std::abort();
}

bool Plain(std::string_view text) {
  for (unsigned char c : text) {
    if ((c < 0x20 && c != '\t') || c == 0x7f || (c >= 0x80 && c <= 0x9f)) return false;
  }
  return true;
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  const std::string_view text(reinterpret_cast<const char*>(data), size);
  const std::optional<std::int32_t> want = tablemodel::ReferenceInteger(text);
  const std::optional<std::int32_t> got = runframe::ParseInteger(text);
  if (got != want) Fail(text, "ParseInteger gives " + Shown(got) + ", the reference " + Shown(want));
  try {
    const std::int32_t v = runframe::ConvertInteger(text);
    if (!want || v != *want) Fail(text, "ConvertInteger gives " + std::to_string(v) + ", the reference " + Shown(want));
  } catch (const runframe::InvalidInteger& e) {
    if (want) Fail(text, "ConvertInteger refuses, the reference gives " + Shown(want));
    if (e.Status() != runframe::ExitInvalidInteger) Fail(text, "wrong exit status");
    const std::string what = e.what();
    const std::string tail = "\" is an invalid integer";
    if (what.size() < tail.size() + 1 || what[0] != '"' ||
        what.compare(what.size() - tail.size(), tail.size(), tail) != 0) {
      Fail(text, "malformed report " + what);
    }
    // Control characters (C0, DEL and C1) are shown escaped; any other text
    // appears as given.
    if (Plain(text) && what != "\"" + std::string(text) + tail) Fail(text, "report " + what + " misquotes the text");
  }
  return 0;
}
