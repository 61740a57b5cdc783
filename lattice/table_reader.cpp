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

}  // namespace

TableLine ParseTableLine(const std::string& line, std::int32_t size, const TableFileMessages& messages) {
  TableLine t{};
  std::size_t from = 0;
  t.x = TakeField(line, from, '&');
  if (t.x < 1 || t.x > size) runframe::FatalStop(messages.xRange);
  t.y = TakeField(line, from, '=');
  if (t.y < 1 || t.y > size) runframe::FatalStop(messages.yRange);
  // Both results are converted before either is range-checked.
  t.r1 = TakeField(line, from, ',');
  t.r2 = runframe::ConvertInteger(std::string_view(line).substr(from));
  if (t.r1 < 1 || t.r1 > size || t.r2 < 1 || t.r2 > size) runframe::FatalStop(messages.resultRange);
  return t;
}

void ReadTableFile(runframe::InputFile& file, std::int32_t size, const TableFileMessages& messages,
                   OperationTables& tables) {
  const auto cells = static_cast<std::size_t>(size) * static_cast<std::size_t>(size);
  tables.size = size;
  // 0 marks a cell no line has given yet; every given value is at least 1.
  tables.first.assign(cells, 0);
  tables.second.assign(cells, 0);
  std::string line;
  line.reserve(MaxLineLength);
  for (std::size_t k = 0; k < cells; ++k) {
    if (file.AtEnd()) runframe::FatalStop(messages.tooShort);
    file.ReadLine(line, MaxLineLength);
    const TableLine t = ParseTableLine(line, size, messages);
    const std::size_t cell = CellIndex(t.x, t.y, size);
    tables.first[cell] = t.r1;
    tables.second[cell] = t.r2;
  }
  // A repeated pair leaves another cell without a value; the closure must never
  // see one.  It also relies on both operations being commutative.
  for (std::size_t cell = 0; cell < cells; ++cell) {
    if (tables.first[cell] == 0 || tables.second[cell] == 0) runframe::FatalStop(messages.missingCell);
  }
  for (std::int32_t x = 1; x <= size; ++x) {
    for (std::int32_t y = x + 1; y <= size; ++y) {
      const std::size_t xy = CellIndex(x, y, size);
      const std::size_t yx = CellIndex(y, x, size);
      if (tables.first[xy] != tables.first[yx] || tables.second[xy] != tables.second[yx]) {
        runframe::FatalStop(messages.notCommutative);
      }
    }
  }
}

}  // namespace lattice
