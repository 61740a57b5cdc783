// libFuzzer target: the table reader on arbitrary bytes.
//
// The first byte chooses the lattice: (byte + 1) % 5 + 1 is the k of Equ(k),
// so the seeds can start with a readable "1".."5"; a byte of 128 or more reads
// with the second file's messages.  The rest of the input is the file.
//
// Every outcome must be the one the independent model predicts: the same
// fatal message, the same text in a failed conversion, the same tables.  An
// accepted file must be complete, in range and commutative, and the closure
// must run on it without a sanitizer report.  Anything else aborts.
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <string>
#include <string_view>
#include <vector>

#include "fuzz/table_reader_model.hpp"
#include "lattice/closure.hpp"
#include "lattice/product.hpp"
#include "lattice/table_reader.hpp"
#include "runframe/abrupt_end.hpp"
#include "runframe/input_file.hpp"
#include "runframe/run_frame.hpp"

namespace {

using tablemodel::Fault;

[[noreturn]] void Fail(const std::string& what) {
  std::fprintf(stderr, "table_reader_fuzz: %s\n", what.c_str());
  std::fflush(stderr);
  std::abort();
}

Fault FaultOfMessage(const std::string& message, const lattice::TableFileMessages& m) {
  if (message == m.tooShort) return Fault::TooShort;
  if (message == m.xRange) return Fault::XRange;
  if (message == m.yRange) return Fault::YRange;
  if (message == m.resultRange) return Fault::ResultRange;
  if (message == m.missingCell) return Fault::MissingCell;
  if (message == m.notCommutative) return Fault::NotCommutative;
  Fail("fatal stop with a message that is not the file's: " + message);
}

// Control characters appear escaped in the report, so only a plain text can
// be compared character for character.
bool Plain(const std::string& text) {
  for (unsigned char c : text) {
    if ((c < 0x20 && c != '\t') || c == 0x7f || (c >= 0x80 && c <= 0x9f)) return false;
  }
  return true;
}

void CheckInvalidReport(const runframe::InvalidInteger& e, const std::string& expectedText) {
  const std::string what = e.what();
  const std::string tail = "\" is an invalid integer";
  if (e.Status() != runframe::ExitInvalidInteger) Fail("conversion failure with a wrong exit status");
  if (what.size() < tail.size() + 1 || what[0] != '"' ||
      what.compare(what.size() - tail.size(), tail.size(), tail) != 0) {
    Fail("malformed conversion report: " + what);
  }
  if (Plain(expectedText) && what != "\"" + expectedText + tail) {
    Fail("conversion report " + what + " but the field is \"" + expectedText + "\"");
  }
}

// The closure on accepted tables (as factor A, with Equ(1) as factor B) from a
// few seed sets: its precondition is exactly what the reader guarantees.
void CloseOnTables(std::int32_t k, const lattice::OperationTables& tables, std::uint64_t mix) {
  static auto* product = new lattice::Product<52>();
  auto& p = *product;
  lattice::SetSizes(p, k, 1);
  for (std::int32_t x = 1; x <= tables.size; ++x) {
    for (std::int32_t y = 1; y <= tables.size; ++y) {
      p.factorA.firstOp[x][y] = static_cast<lattice::FactorElement>(tables.First(x, y));
      p.factorA.secondOp[x][y] = static_cast<lattice::FactorElement>(tables.Second(x, y));
    }
  }
  p.factorB.firstOp[1][1] = 1;
  p.factorB.secondOp[1][1] = 1;
  lattice::BuildProductPairs(p);
  const std::int32_t n = p.productSize;
  for (int round = 0; round < 4; ++round) {
    lattice::ClearMembers(p);
    const std::int32_t seeds = n < 4 ? n : 4;
    for (std::int32_t t = 0; t < seeds; ++t) {
      // Distinct seed elements: step through 1..n from a mixed start.
      mix = mix * 6364136223846793005ULL + 1442695040888963407ULL;
      std::int32_t index = static_cast<std::int32_t>((mix >> 33) % static_cast<std::uint64_t>(n)) + 1;
      while (p.MemberMatrix[p.ProductPairs[static_cast<std::size_t>(index)].a][1] != 0) index = index % n + 1;
      const lattice::ProductElement e = p.ProductPairs[static_cast<std::size_t>(index)];
      p.MemberMatrix[e.a][e.b] = 1;
      p.PairList.entries[static_cast<std::size_t>(++p.PairList.count)] = e;
    }
    lattice::SubuniverseClosure(p);
    if (p.PairList.count < seeds || p.PairList.count > n) Fail("closure count outside 1..N");
  }
  lattice::ClearMembers(p);
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  if (size == 0) return 0;
  const std::int32_t k = (data[0] + 1) % 5 + 1;
  const std::int32_t latticeSize = lattice::BellNumbers[static_cast<std::size_t>(k)];
  const lattice::TableFileMessages& messages =
      data[0] >= 128 ? lattice::SecondFileMessages : lattice::FirstFileMessages;
  const std::string_view bytes(reinterpret_cast<const char*>(data) + 1, size - 1);

  // fmemopen needs a writable buffer that outlives the stream.
  std::vector<char> buffer(bytes.begin(), bytes.end());
  buffer.push_back('\0');
  std::FILE* stream = fmemopen(buffer.data(), bytes.size(), "rb");
  if (stream == nullptr) Fail("fmemopen failed");
  runframe::InputFile file("the fuzz input");
  file.Attach(stream);

  const tablemodel::Outcome want = tablemodel::ReadModel(bytes, latticeSize);
  lattice::OperationTables tables;
  try {
    lattice::ReadTableFile(file, latticeSize, messages, tables);
  } catch (const runframe::FatalStopRequest& stop) {
    const Fault got = FaultOfMessage(stop.message, messages);
    if (got != want.fault) Fail("fatal stop \"" + stop.message + "\" where the model says otherwise");
    return 0;
  } catch (const runframe::InvalidInteger& e) {
    if (want.fault != Fault::InvalidInteger)
      Fail(std::string("conversion failure where the model says otherwise: ") + e.what());
    CheckInvalidReport(e, want.invalidText);
    return 0;
  }
  // Any other exception escapes and aborts the run: it is a finding too.

  if (want.fault != Fault::None) Fail("accepted a file the model refuses");
  const std::vector<std::int32_t>& firstOp = tables.first;
  const std::vector<std::int32_t>& secondOp = tables.second;
  const auto cells = static_cast<std::size_t>(latticeSize) * static_cast<std::size_t>(latticeSize);
  if (tables.size != latticeSize) Fail("tables of the wrong size");
  if (firstOp.size() != cells || secondOp.size() != cells) Fail("tables of the wrong size");
  for (std::size_t c = 0; c < cells; ++c) {
    if (firstOp[c] < 1 || firstOp[c] > latticeSize || secondOp[c] < 1 || secondOp[c] > latticeSize) {
      Fail("accepted a cell outside 1..size");
    }
  }
  const auto s = static_cast<std::size_t>(latticeSize);
  for (std::size_t x = 0; x < s; ++x) {
    for (std::size_t y = 0; y < s; ++y) {
      if (firstOp[x * s + y] != firstOp[y * s + x] || secondOp[x * s + y] != secondOp[y * s + x]) {
        Fail("accepted a table that is not commutative");
      }
    }
  }
  if (firstOp != want.firstOp || secondOp != want.secondOp) Fail("tables differ from the model's");
  std::uint64_t mix = size;
  for (std::size_t i = 0; i < size && i < 64; ++i) mix = mix * 31 + data[i];
  CloseOnTables(k, tables, mix);
  return 0;
}
