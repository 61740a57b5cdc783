#pragma once
// Reading and checking the two operation-table files into a Product.
//
// A file for a lattice of `size` elements is read for exactly size*size lines
// of the form x&y=r1,r2; only the first 50 characters of a line count.  Any
// fault ends the run through FatalStop, or through the conversion error for a
// field that is not an integer.
#include <cstddef>
#include <cstdint>
#include <functional>
#include <string>

#include "lattice/operation_tables.hpp"
#include "lattice/product.hpp"
#include "runframe/input_file.hpp"
#include "runframe/run_context.hpp"

namespace lattice {

// Characters of a line that are read; the rest of the line is skipped.
inline constexpr std::size_t MaxLineLength = 50;

// The fatal messages of one of the two files.
struct TableFileMessages {
  const char* tooShort;
  const char* xRange;
  const char* yRange;
  const char* resultRange;
  const char* missingCell;     // some ordered pair was never given
  const char* notCommutative;  // an operation differs on (x, y) and (y, x)
  // Set (genexact): every message names this file, the line and what was
  // expected instead of the fixed texts above, which gencount and gensample
  // keep.
  const char* fileName = nullptr;
};

// The messages of a file named fileName, in the detailed form.
TableFileMessages DetailedMessages(const TableFileMessages& fixed, const char* fileName);

extern const TableFileMessages FirstFileMessages;
extern const TableFileMessages SecondFileMessages;

// One parsed line: x, y and the two results, all still unchecked against size.
struct TableLine {
  std::int32_t x, y, r1, r2;
};

// Reads one table file of a lattice of `size` elements into `tables`,
// checking every line, then that every cell was given and that both
// operations are commutative.  Faults end the run.  progress, when given, is
// called with the number of lines read every ProgressLines lines (Equ(8)'s
// 17139600 lines take seconds), and may throw to stop the reading.
inline constexpr std::size_t ProgressLines = std::size_t{1} << 16;
void ReadTableFile(runframe::InputFile& file, std::int32_t size, const TableFileMessages& messages,
                   OperationTables& tables, const std::function<void(std::size_t linesRead)>& progress = {});

// Parses the (already cut) text of one line; x is range-checked before y is
// parsed, and y before the results, so faults come in the order of the line.
// lineNumber (from 1) is for the detailed messages.
TableLine ParseTableLine(const std::string& line, std::int32_t size, const TableFileMessages& messages,
                         std::size_t lineNumber = 0);

// Sets the sizes from n and m, reads and checks both files, first the first
// one completely, and builds ProductPairs.
template <std::int32_t MaxSizeA>
void ReadOperationTables(runframe::RunContext& run, Product<MaxSizeA>& p);

}  // namespace lattice

#include "lattice/table_reader_impl.hpp"
