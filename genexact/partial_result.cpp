#include "genexact/partial_result.hpp"

#include <charconv>
#include <cstdio>
#include <fstream>
#include <sstream>
#include <vector>

namespace genexact {
namespace {

bool ToNumber(const std::string& text, std::uint64_t& value, int base = 10) {
  const char* end = text.data() + text.size();
  const auto [ptr, ec] = std::from_chars(text.data(), end, value, base);
  return ec == std::errc() && ptr == end && !text.empty();
}

std::vector<std::string> Words(const std::string& line) {
  std::vector<std::string> words;
  std::istringstream in(line);
  for (std::string w; in >> w;) words.push_back(w);
  return words;
}

}  // namespace

LoadStatus LoadPartialResult(const std::string& file, PartialResult& result) {
  std::ifstream in(file, std::ios::binary);
  if (!in) return LoadStatus::Missing;
  result = PartialResult{};
  std::vector<std::string> lines;
  for (std::string line; std::getline(in, line);) {
    if (!line.empty() && line.back() == '\r') line.pop_back();
    lines.push_back(line);
  }
  if (in.bad() || lines.size() < 5 || lines[0] != "genexact partial result 1") return LoadStatus::Damaged;
  const std::vector<std::string> fingerprint = Words(lines[1]);
  const std::vector<std::string> units = Words(lines[2]);
  const std::vector<std::string> shard = Words(lines[3]);
  std::uint64_t index = 0;
  std::uint64_t count = 0;
  if (fingerprint.size() != 2 || fingerprint[0] != "fingerprint" || !ToNumber(fingerprint[1], result.fingerprint, 16) ||
      units.size() != 2 || units[0] != "units" || !ToNumber(units[1], result.unitCount) || shard.size() != 3 ||
      shard[0] != "shard" || !ToNumber(shard[1], index) || !ToNumber(shard[2], count) || count < 1 || index < 1 ||
      index > count || count > 1000000) {
    return LoadStatus::Damaged;
  }
  result.shardIndex = static_cast<std::int32_t>(index);
  result.shardCount = static_cast<std::int32_t>(count);
  std::uint64_t unitLines = 0;
  for (std::size_t k = 4; k < lines.size(); ++k) {
    const std::vector<std::string> w = Words(lines[k]);
    std::uint64_t u = 0;
    std::uint64_t c = 0;
    if (w.size() == 3 && w[0] == "unit" && ToNumber(w[1], u) && ToNumber(w[2], c) && u < result.unitCount &&
        result.done.emplace(u, c).second) {
      ++unitLines;
      continue;
    }
    std::uint64_t expected = 0;
    if (w.size() == 2 && w[0] == "end" && ToNumber(w[1], expected) && expected == unitLines &&
        k + 1 == lines.size()) {
      return LoadStatus::Loaded;
    }
    return LoadStatus::Damaged;
  }
  return LoadStatus::Damaged;  // no end line: the file was cut
}

bool SavePartialResult(const std::string& file, const PartialResult& result) {
  std::string text = "genexact partial result 1\r\n";
  char hex[32];
  (void)std::snprintf(hex, sizeof hex, "%016llx", static_cast<unsigned long long>(result.fingerprint));
  text += "fingerprint " + std::string(hex) + "\r\n";
  text += "units " + std::to_string(result.unitCount) + "\r\n";
  text += "shard " + std::to_string(result.shardIndex) + " " + std::to_string(result.shardCount) + "\r\n";
  for (const auto& [u, c] : result.done) text += "unit " + std::to_string(u) + " " + std::to_string(c) + "\r\n";
  text += "end " + std::to_string(result.done.size()) + "\r\n";
  const std::string temporary = file + ".tmp";
  std::FILE* f = std::fopen(temporary.c_str(), "wb");
  if (f == nullptr) return false;
  const bool written = std::fwrite(text.data(), 1, text.size(), f) == text.size();
  const bool flushed = std::fflush(f) == 0;
  const bool closed = std::fclose(f) == 0;
  if (!written || !flushed || !closed) {
    (void)std::remove(temporary.c_str());  // a leftover .tmp file is harmless
    return false;
  }
  if (std::rename(temporary.c_str(), file.c_str()) == 0) return true;
  // Windows does not rename over an existing file; there the old file goes
  // first, and a crash in between leaves the complete .tmp file behind.
  (void)std::remove(file.c_str());
  return std::rename(temporary.c_str(), file.c_str()) == 0;
}

}  // namespace genexact
