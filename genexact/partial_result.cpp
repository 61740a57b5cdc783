#include "genexact/partial_result.hpp"

#include <cerrno>
#include <sstream>
#include <string_view>
#include <utility>
#include <vector>

#include "genexact/checked_text.hpp"
#include "runframe/atomic_file.hpp"

namespace genexact {
namespace {

std::vector<std::string> Words(const std::string& line) {
  std::vector<std::string> words;
  std::istringstream in(line);
  for (std::string w; in >> w;) words.push_back(w);
  return words;
}

constexpr const char* Header = "genexact partial result 2";
// Far beyond any real file (a few dozen bytes per unit), and read only that far.
constexpr std::size_t MaxFileBytes = std::size_t{256} << 20;

}  // namespace

LoadStatus LoadPartialResult(const std::string& file, PartialResult& result) {
  int ignored = 0;
  return LoadPartialResult(file, result, ignored);
}

LoadStatus LoadPartialResult(const std::string& file, PartialResult& result, int& errnoValue) {
  result = PartialResult{};
  std::string text;
  std::string_view content;
  if (const LoadStatus read = ReadCheckedFile(file, MaxFileBytes, MaxPartialLine, text, content, errnoValue);
      read != LoadStatus::Loaded) {
    return read;
  }
  std::vector<std::string> lines;
  std::istringstream in{std::string(content)};
  for (std::string line; std::getline(in, line);) {
    if (!line.empty() && line.back() == '\r') line.pop_back();
    lines.push_back(line);
  }
  if (lines.size() < 5 || lines[0] != Header) return LoadStatus::Damaged;
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
    if (w.size() == 2 && w[0] == "end" && ToNumber(w[1], expected) && expected == unitLines && k + 1 == lines.size()) {
      return LoadStatus::Loaded;
    }
    return LoadStatus::Damaged;
  }
  return LoadStatus::Damaged;  // no end line: the file was cut
}

std::string PartialResultText(const PartialResult& result) {
  std::string text = std::string(Header) + "\r\n";
  text += "fingerprint " + Hex16(result.fingerprint) + "\r\n";
  text += "units " + std::to_string(result.unitCount) + "\r\n";
  text += "shard " + std::to_string(result.shardIndex) + " " + std::to_string(result.shardCount) + "\r\n";
  for (const auto& [u, c] : result.done) text += "unit " + std::to_string(u) + " " + std::to_string(c) + "\r\n";
  text += "end " + std::to_string(result.done.size()) + "\r\n";
  return WithChecksum(std::move(text));
}

int SavePartialResult(const std::string& file, const PartialResult& result) {
  return runframe::ReplaceFileAtomically(file, PartialResultText(result));
}

}  // namespace genexact
