#include "lattice/table_reader.hpp"

#include "runframe/abrupt_end.hpp"
#include "runframe/int_conversion.hpp"
#include "runframe/run_frame.hpp"

namespace lattice {

const TableFileMessages FirstFileMessages = {
    "First input file is too short",        "Corrupt 1st input file (code xZt4aq)",
    "Corrupt 1st input file (code xZt4bq)", "Corrupt 1st input file (code xZt4cq)",
    "Corrupt 1st input file (code xZt4dq)", "Corrupt 1st input file (code xZt4eq)",
};

const TableFileMessages SecondFileMessages = {
    "Second input file is too short",      "Corrupt 2nd input file (code Zt4aq)", "Corrupt 2nd input file (code Zt4bq)",
    "Corrupt 2nd input file (code Zt4cq)", "Corrupt 2nd input file (code Zt4dq)", "Corrupt 2nd input file (code Zt4eq)",
};

namespace {

// The text before the first `separator` in rest[from..], converted; from moves
// past the separator.  A missing separator leaves an empty field, whose
// conversion fails.
std::int32_t TakeField(const std::string& line, std::size_t& from, char separator) {
  const std::size_t at = line.find(separator, from);
  if (at == std::string::npos) throw runframe::InvalidInteger("");
  const std::int32_t value = runframe::ConvertInteger(std::string_view(line).substr(from, at - from));
  from = at + 1;
  return value;
}

// "FILE line N: " of a detailed message.
std::string Where(const TableFileMessages& m, std::size_t lineNumber) {
  return runframe::Printable(m.fileName) + " line " + std::to_string(lineNumber) + ": ";
}

// "is not an element 1..size (a table of size elements, read as x&y=r1,r2)".
std::string NotAnElement(std::int32_t size) {
  return "is not an element 1.." + std::to_string(size) + " of the " + std::to_string(size) + "-element table";
}

std::string Pair(std::int32_t x, std::int32_t y) { return std::to_string(x) + "&" + std::to_string(y); }

}  // namespace

TableFileMessages DetailedMessages(const TableFileMessages& fixed, const char* fileName) {
  TableFileMessages m = fixed;
  m.fileName = fileName;
  return m;
}

TableLine ParseTableLine(const std::string& line, std::int32_t size, const TableFileMessages& messages,
                         std::size_t lineNumber) {
  const bool detailed = messages.fileName != nullptr;
  TableLine t{};
  std::size_t from = 0;
  try {
    t.x = TakeField(line, from, '&');
    if (t.x < 1 || t.x > size) {
      if (!detailed) runframe::FatalStop(messages.xRange);
      runframe::FatalStop(Where(messages, lineNumber) + "the first number, " + std::to_string(t.x) + ", " +
                          NotAnElement(size));
    }
    t.y = TakeField(line, from, '=');
    if (t.y < 1 || t.y > size) {
      if (!detailed) runframe::FatalStop(messages.yRange);
      runframe::FatalStop(Where(messages, lineNumber) + "the second number, " + std::to_string(t.y) + ", " +
                          NotAnElement(size));
    }
    // Both results are converted before either is range-checked.
    t.r1 = TakeField(line, from, ',');
    t.r2 = runframe::ConvertInteger(std::string_view(line).substr(from));
  } catch (const runframe::InvalidInteger& e) {
    if (!detailed) throw;
    // The same abrupt end, told where and what the line should be.
    throw runframe::AbruptEnd(runframe::ExitInvalidInteger,
                              Where(messages, lineNumber) + e.what() + " (x&y=r1,r2; no blank after a number)");
  }
  if (t.r1 < 1 || t.r1 > size || t.r2 < 1 || t.r2 > size) {
    if (!detailed) runframe::FatalStop(messages.resultRange);
    const std::int32_t bad = t.r1 < 1 || t.r1 > size ? t.r1 : t.r2;
    runframe::FatalStop(Where(messages, lineNumber) + "the result " + std::to_string(bad) + " " + NotAnElement(size));
  }
  return t;
}

void ReadTableFile(runframe::InputFile& file, std::int32_t size, const TableFileMessages& messages,
                   OperationTables& tables, const std::function<void(std::size_t linesRead)>& progress) {
  const auto cells = static_cast<std::size_t>(size) * static_cast<std::size_t>(size);
  tables.size = size;
  // 0 marks a cell no line has given yet; every given value is at least 1.
  tables.first.assign(cells, 0);
  tables.second.assign(cells, 0);
  std::string line;
  line.reserve(MaxLineLength);
  const bool detailed = messages.fileName != nullptr;
  for (std::size_t k = 0; k < cells; ++k) {
    if (progress && k % ProgressLines == 0 && k > 0) progress(k);
    if (file.AtEnd()) {
      if (!detailed) runframe::FatalStop(messages.tooShort);
      runframe::FatalStop(runframe::Printable(messages.fileName) + " has " + std::to_string(k) +
                          " lines, but a table of " + std::to_string(size) + " elements needs " +
                          std::to_string(cells) + " (one per ordered pair); --sizes gives the size, or --tables " +
                          "the right file");
    }
    file.ReadLine(line, MaxLineLength);
    const TableLine t = ParseTableLine(line, size, messages, k + 1);
    const std::size_t cell = CellIndex(t.x, t.y, size);
    tables.first[cell] = t.r1;
    tables.second[cell] = t.r2;
  }
  // A repeated pair leaves another cell without a value; the closure must never
  // see one.  It also relies on both operations being commutative.
  for (std::size_t cell = 0; cell < cells; ++cell) {
    if (tables.first[cell] != 0 && tables.second[cell] != 0) continue;
    if (!detailed) runframe::FatalStop(messages.missingCell);
    const auto x = static_cast<std::int32_t>(cell / static_cast<std::size_t>(size)) + 1;
    const auto y = static_cast<std::int32_t>(cell % static_cast<std::size_t>(size)) + 1;
    runframe::FatalStop(runframe::Printable(messages.fileName) + ": no line gives the pair " + Pair(x, y) +
                        " (another pair is given twice)");
  }
  for (std::int32_t x = 1; x <= size; ++x) {
    for (std::int32_t y = x + 1; y <= size; ++y) {
      const std::size_t xy = CellIndex(x, y, size);
      const std::size_t yx = CellIndex(y, x, size);
      if (tables.first[xy] != tables.first[yx] || tables.second[xy] != tables.second[yx]) {
        if (!detailed) runframe::FatalStop(messages.notCommutative);
        runframe::FatalStop(runframe::Printable(messages.fileName) + ": " + Pair(x, y) + "=" +
                            std::to_string(tables.first[xy]) + "," + std::to_string(tables.second[xy]) + " but " +
                            Pair(y, x) + "=" + std::to_string(tables.first[yx]) + "," +
                            std::to_string(tables.second[yx]) + "; both operations must be commutative");
      }
    }
  }
}

}  // namespace lattice
