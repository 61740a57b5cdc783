#include "optables/equ_tables.hpp"

#include <algorithm>
#include <charconv>
#include <cstddef>
#include <filesystem>
#include <numeric>
#include <stdexcept>
#include <string>
#include <system_error>
#include <utility>

#include "runframe/atomic_file.hpp"

namespace optables {

lattice::OperationTables Renumber(const lattice::OperationTables& tables, const std::vector<int>& perm) {
  const std::size_t n = static_cast<std::size_t>(tables.size);
  if (perm.size() != n) throw std::invalid_argument("renumbering has the wrong length");
  std::vector<bool> seen(n, false);
  for (int v : perm) {
    if (v < 1 || v > tables.size || seen[static_cast<std::size_t>(v - 1)]) {
      throw std::invalid_argument("renumbering is not a permutation of 1.." + std::to_string(tables.size));
    }
    seen[static_cast<std::size_t>(v - 1)] = true;
  }

  lattice::OperationTables out;
  out.size = tables.size;
  out.first.assign(n * n, 0);
  out.second.assign(n * n, 0);
  auto to = [&](int x) { return perm[static_cast<std::size_t>(x - 1)]; };
  for (int x = 1; x <= tables.size; ++x) {
    for (int y = 1; y <= tables.size; ++y) {
      const std::size_t at = lattice::CellIndex(to(x), to(y), out.size);
      out.first[at] = to(tables.First(x, y));
      out.second[at] = to(tables.Second(x, y));
    }
  }
  return out;
}

std::vector<int> ShuffledOrder(int count, std::uint64_t seed) {
  if (count < 0) throw std::invalid_argument("cannot shuffle a negative count");
  std::vector<int> order(static_cast<std::size_t>(count));
  std::iota(order.begin(), order.end(), 0);
  SplitMix64 rng(seed);
  for (std::size_t i = order.size(); i > 1; --i) {
    const std::size_t j = static_cast<std::size_t>(rng.Below(i));
    std::swap(order[i - 1], order[j]);
  }
  return order;
}

std::vector<int> ShuffledNumbering(int size, std::uint64_t seed) {
  std::vector<int> perm = ShuffledOrder(size, seed);
  for (int& v : perm) ++v;
  return perm;
}

std::string_view LineEndText(LineEnd end) {
  switch (end) {
    case LineEnd::Lf:
      return "\n";
    case LineEnd::Cr:
      return "\r";
    case LineEnd::CrLf:
      break;
  }
  return "\r\n";
}

std::string RenderTableFile(const lattice::OperationTables& tables, const RenderOptions& options) {
  const int n = tables.size;
  const int pairs = n * n;
  std::vector<int> order;
  if (options.lineSeed) {
    order = ShuffledOrder(pairs, *options.lineSeed);
  } else {
    order.resize(static_cast<std::size_t>(pairs));
    std::iota(order.begin(), order.end(), 0);
  }

  const std::string_view eol = LineEndText(options.lineEnd);
  std::string text;
  text.reserve(static_cast<std::size_t>(pairs) * (16 + eol.size()));
  for (int pair : order) {
    const int x = pair / n + 1;
    const int y = pair % n + 1;
    int first = tables.First(x, y);
    int second = tables.Second(x, y);
    if (options.meetFirst) std::swap(first, second);
    text += std::to_string(x);
    text += '&';
    text += std::to_string(y);
    text += '=';
    text += std::to_string(first);
    text += ',';
    text += std::to_string(second);
    text += eol;
  }
  return text;
}

namespace {

int Digits(std::int32_t v) {
  int digits = 1;
  for (; v >= 10; v /= 10) ++digits;
  return digits;
}

// Appends the decimal digits of v at out; returns the end.
char* PutNumber(char* out, std::int32_t v) { return std::to_chars(out, out + 11, v).ptr; }

// "N MB (B bytes)", MB rounded up so that a shortage never reads as room.
std::string Megabytes(std::uint64_t bytes) {
  return std::to_string((bytes + 999999) / 1000000) + " MB (" + std::to_string(bytes) + " bytes)";
}

}  // namespace

std::uint64_t TableFileBytes(const lattice::OperationTables& tables, const RenderOptions& options) {
  const std::uint64_t eol = LineEndText(options.lineEnd).size();
  const auto n = static_cast<std::uint64_t>(tables.size);
  // Every element number stands n times as x and n times as y; "&", "=" and "," on every line.
  std::uint64_t bytes = n * n * (3 + eol);
  for (std::int32_t x = 1; x <= tables.size; ++x) bytes += 2 * n * static_cast<std::uint64_t>(Digits(x));
  for (const std::int32_t v : tables.first) bytes += static_cast<std::uint64_t>(Digits(v));
  for (const std::int32_t v : tables.second) bytes += static_cast<std::uint64_t>(Digits(v));
  return bytes;
}

bool RenderTableChunks(const lattice::OperationTables& tables, const RenderOptions& options, std::size_t chunkBytes,
                       const std::function<bool(std::string_view)>& take) {
  const std::size_t n = static_cast<std::size_t>(tables.size);
  const std::size_t pairs = n * n;
  std::vector<int> order;
  if (options.lineSeed) order = ShuffledOrder(static_cast<int>(pairs), *options.lineSeed);
  const std::string_view eol = LineEndText(options.lineEnd);
  // A line holds four numbers of at most 10 digits, three separators and the line end.
  const std::size_t longestLine = 4 * 10 + 3 + eol.size();
  std::string chunk(std::max(chunkBytes, longestLine), '\0');
  char* const begin = chunk.data();
  char* const limit = begin + chunk.size() - longestLine;
  char* out = begin;
  for (std::size_t k = 0; k < pairs; ++k) {
    const std::size_t pair = order.empty() ? k : static_cast<std::size_t>(order[k]);
    const auto x = static_cast<std::int32_t>(pair / n + 1);
    const auto y = static_cast<std::int32_t>(pair % n + 1);
    std::int32_t first = tables.first[pair];
    std::int32_t second = tables.second[pair];
    if (options.meetFirst) std::swap(first, second);
    out = PutNumber(out, x);
    *out++ = '&';
    out = PutNumber(out, y);
    *out++ = '=';
    out = PutNumber(out, first);
    *out++ = ',';
    out = PutNumber(out, second);
    for (const char c : eol) *out++ = c;
    if (out > limit) {
      if (!take(std::string_view(begin, static_cast<std::size_t>(out - begin)))) return false;
      out = begin;
    }
  }
  return out == begin || take(std::string_view(begin, static_cast<std::size_t>(out - begin)));
}

std::string WriteTableFiles(const lattice::OperationTables& tables, const WriteRequest& request,
                            const FreeSpaceProbe& probe) {
  const std::filesystem::path dir(request.dir);
  std::vector<std::string> paths;
  for (const char which : {'a', 'b'}) {
    if ((which == 'a' && !request.writeA) || (which == 'b' && !request.writeB)) continue;
    paths.push_back((dir / (std::to_string(request.k) + "-optable" + which + ".txt")).string());
  }
  // Said before a byte is written: a disk that fills half way through would
  // leave the run's time lost and the old tables as they were anyway.
  const std::uint64_t fileBytes = TableFileBytes(tables, request.render);
  const std::uint64_t needed = fileBytes * paths.size();
  std::uintmax_t available = 0;
  if (probe && probe(request.dir, available) == 0 && needed > available) {
    std::string names;
    for (const std::string& path : paths) names += (names.empty() ? "" : " and ") + path;
    return names + " would take " + Megabytes(needed) + ", but only " + Megabytes(available) + " are free in " +
           (request.dir.empty() ? std::string("the current folder") : request.dir) + "; nothing was written";
  }

  // Both files get the same text, rendered once; each is replaced as a whole only
  // once all of it is on the disk, so a failed write leaves the old tables, never a
  // cut one that would later read as a broken lattice.
  // Writers of the same tables (job array tasks sharing a folder) take
  // turns: each file has one temporary place, which another writer would
  // take away half way.  Locks in path order, so two writers never wait on
  // each other.
  std::vector<runframe::FileLock> locks(paths.size());
  for (std::size_t i = 0; i < paths.size(); ++i) {
    if (const int error = locks[i].AcquireWaiting(paths[i]); error != 0) {
      return "cannot write " + paths[i] + ": " + std::generic_category().message(error);
    }
  }
  std::vector<runframe::AtomicFileWriter> writers(paths.size());
  for (std::size_t i = 0; i < paths.size(); ++i) {
    if (const int error = writers[i].Open(paths[i]); error != 0) {
      return "cannot write " + paths[i] + ": " + std::generic_category().message(error);
    }
  }
  std::size_t failed = 0;
  int failure = 0;
  constexpr std::size_t ChunkBytes = std::size_t{1} << 20;
  (void)RenderTableChunks(tables, request.render, ChunkBytes, [&](std::string_view piece) {
    for (std::size_t i = 0; i < writers.size(); ++i) {
      if (const int error = writers[i].Write(piece); error != 0) {
        failed = i;
        failure = error;
        return false;
      }
    }
    return true;
  });
  for (std::size_t i = 0; failure == 0 && i < writers.size(); ++i) {
    if (const int error = writers[i].Commit(); error != 0) {
      failed = i;
      failure = error;
    }
  }
  if (failure != 0) return "cannot write " + paths[failed] + ": " + std::generic_category().message(failure);
  return {};
}

}  // namespace optables
