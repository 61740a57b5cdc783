#include "genexact/table_memory.hpp"

#include <algorithm>

#include "lattice/automorphisms.hpp"
#include "runframe/run_frame.hpp"

namespace genexact {
namespace {

// Whole megabytes, rounded up: a figure that reads as fitting must fit.
std::string Megabytes(std::uint64_t bytes) { return std::to_string((bytes + 999999) / 1000000) + " MB"; }

}  // namespace

std::uint64_t TableMemoryBytes(std::int64_t sizeA, std::int64_t sizeB, std::size_t elementBytes) {
  const auto a = static_cast<std::uint64_t>(std::max<std::int64_t>(sizeA, 0));
  const auto b = static_cast<std::uint64_t>(std::max<std::int64_t>(sizeB, 0));
  const std::uint64_t larger = std::max(a, b);
  const std::uint64_t flat = 2 * (a * a + b * b) * elementBytes;
  const std::uint64_t filled = 2 * larger * larger * sizeof(std::int32_t);
  const std::uint64_t orderSets = 2 * larger * ((larger + 63) / 64) * sizeof(std::uint64_t);
  return flat + filled + orderSets;
}

std::string TableMemoryLine(std::uint64_t bytes, std::optional<std::uint64_t> usable) {
  std::string line = "Memory for the tables: " + Megabytes(bytes) + " at most";
  if (usable) line += " (this machine has " + std::to_string(*usable / 1000000) + " MB)";
  return line;
}

void RefuseTablesBeyondMemory(std::uint64_t bytes, std::optional<std::uint64_t> usable) {
  if (!usable || bytes <= *usable) return;
  runframe::FatalStop("The tables need " + Megabytes(bytes) + " of memory, but this machine has " +
                      std::to_string(*usable / 1000000) + " MB: too large a lattice for it");
}

std::uint64_t PlanMemoryBytes(std::int64_t sizeA, std::int64_t sizeB, std::size_t elementBytes) {
  const auto maps = [&](std::int64_t size) {
    const auto s = static_cast<std::uint64_t>(std::max<std::int64_t>(size, 0));
    return std::min<std::uint64_t>(lattice::MaxListedAutomorphismBytes,
                                   lattice::MaxListedAutomorphisms * s * elementBytes);
  };
  // The orbit search of a factor holds a second copy of its maps, by element.
  return maps(sizeA) + maps(sizeB) + std::max(maps(sizeA), maps(sizeB));
}

std::string PlanMemoryLine(std::uint64_t bytes) {
  return "Memory for the plan: " + Megabytes(bytes) + " at most and " + std::to_string(PlanBytesPerOrbit) +
         " bytes for each orbit";
}

void RefusePlanBeyondMemory(std::uint64_t tableAndPlanBytes, std::optional<std::uint64_t> usable) {
  if (!usable || tableAndPlanBytes <= *usable) return;
  runframe::FatalStop("The tables and the plan need " + Megabytes(tableAndPlanBytes) +
                      " of memory, but this machine has " + std::to_string(*usable / 1000000) +
                      " MB: too large a lattice for it");
}

}  // namespace genexact
