#include "genexact/orbit_file.hpp"

#include <string_view>

#include "genexact/checked_text.hpp"
#include "runframe/atomic_file.hpp"

namespace genexact::inline GENEXACT_WIDTH {

namespace {

constexpr std::string_view Header = "genexact orbit lists 1";
// Equ(8) has about 5 million orbits at about 30 bytes a line.
constexpr std::size_t MaxFileBytes = std::size_t{2} << 30;
constexpr std::size_t MaxLine = 120;

// The blank-separated words of a line, at most `most` of them.
std::size_t Split(std::string_view line, std::string_view* words, std::size_t most) {
  std::size_t n = 0;
  while (!line.empty()) {
    const std::size_t start = line.find_first_not_of(' ');
    if (start == std::string_view::npos) break;
    line.remove_prefix(start);
    const std::size_t end = line.find(' ');
    if (n == most) return most + 1;
    words[n++] = line.substr(0, end);
    if (end == std::string_view::npos) break;
    line.remove_prefix(end);
  }
  return n;
}

bool ParseSet(std::string_view* w, std::size_t n, std::int32_t factorSize, GeneratingSet& set) {
  std::uint64_t size = 0;
  if (n != 4 || w[0] != "set" || !ToNumber(w[1], size) || size < 1 || size > SubsetSize ||
      !ToNumber(w[2], set.orbitSize) || set.orbitSize == 0) {
    return false;
  }
  set.size = static_cast<int>(size);
  set.elements = {};
  std::string_view list = w[3];
  for (int i = 0; i < set.size; ++i) {
    const std::size_t comma = list.find(',');
    if ((comma == std::string_view::npos) != (i + 1 == set.size)) return false;
    std::uint64_t e = 0;
    if (!ToNumber(list.substr(0, comma), e) || e < 1 || e > static_cast<std::uint64_t>(factorSize)) return false;
    set.elements[static_cast<std::size_t>(i)] = static_cast<Element>(e - 1);
    if (i > 0 && set.elements[static_cast<std::size_t>(i)] <= set.elements[static_cast<std::size_t>(i - 1)]) {
      return false;
    }
    if (comma != std::string_view::npos) list.remove_prefix(comma + 1);
  }
  return true;
}

void AppendSet(std::string& text, const GeneratingSet& s) {
  text += "set ";
  text += std::to_string(s.size);
  text += ' ';
  text += std::to_string(s.orbitSize);
  text += ' ';
  for (int i = 0; i < s.size; ++i) {
    if (i > 0) text += ',';
    text += std::to_string(static_cast<unsigned>(s.elements[static_cast<std::size_t>(i)]) + 1);
  }
  text += "\r\n";
}

}  // namespace

std::uint64_t FactorFingerprint(const FactorLattice& factor) {
  std::uint64_t h = 1469598103934665603ULL;
  const auto add = [&h](std::uint64_t x) {
    for (int k = 0; k < 8; ++k) {
      h ^= (x >> (8 * k)) & 0xFF;
      h *= 1099511628211ULL;
    }
  };
  add(static_cast<std::uint64_t>(factor.size));
  for (const Element e : factor.join) add(e);
  for (const Element e : factor.meet) add(e);
  return h;
}

LoadStatus LoadOrbitFile(const std::string& file, OrbitFileContent& content, int& errnoValue) {
  content.clear();
  std::string text;
  std::string_view rest;
  if (const LoadStatus read = ReadCheckedFile(file, MaxFileBytes, MaxLine, text, rest, errnoValue);
      read != LoadStatus::Loaded) {
    return read;
  }
  std::uint64_t lines = 0;
  bool ended = false;
  SavedOrbits* current = nullptr;
  std::uint64_t setsLeft = 0;
  while (!rest.empty()) {
    const std::size_t eol = rest.find('\n');
    std::string_view line = rest.substr(0, eol);
    rest.remove_prefix(eol == std::string_view::npos ? rest.size() : eol + 1);
    if (!line.empty() && line.back() == '\r') line.remove_suffix(1);
    if (ended) return LoadStatus::Damaged;  // nothing after the end line
    if (lines++ == 0) {
      if (line != Header) return LoadStatus::Damaged;
      continue;
    }
    std::string_view w[8];
    const std::size_t n = Split(line, w, 7);
    if (setsLeft > 0) {
      GeneratingSet set;
      if (!ParseSet(w, n, current->size, set)) return LoadStatus::Damaged;
      (current->complete ? current->sets : current->partial.found).push_back(set);
      --setsLeft;
      continue;
    }
    std::uint64_t fingerprint = 0;
    std::uint64_t size = 0;
    if (n >= 5 && w[0] == "factor" && ToNumber(w[1], fingerprint, 16) && ToNumber(w[2], size) && size >= 1 &&
        size <= static_cast<std::uint64_t>(MaxWidthElements)) {
      SavedOrbits saved;
      saved.size = static_cast<std::int32_t>(size);
      if (n == 5 && w[3] == "complete" && ToNumber(w[4], setsLeft)) {
        saved.complete = true;
      } else if (!(n == 7 && w[3] == "partial" && ToNumber(w[4], saved.partial.lastLevelSets) &&
                   ToNumber(w[5], saved.partial.extended) && saved.partial.extended <= saved.partial.lastLevelSets &&
                   ToNumber(w[6], setsLeft))) {
        return LoadStatus::Damaged;
      }
      const auto [at, fresh] = content.emplace(fingerprint, std::move(saved));
      if (!fresh) return LoadStatus::Damaged;
      current = &at->second;
      continue;
    }
    std::uint64_t expected = 0;
    if (n == 2 && w[0] == "end" && ToNumber(w[1], expected) && expected == lines) {
      ended = true;
      continue;
    }
    return LoadStatus::Damaged;
  }
  return ended ? LoadStatus::Loaded : LoadStatus::Damaged;
}

std::string OrbitFileText(const OrbitFileContent& content) {
  std::string text = std::string(Header) + "\r\n";
  std::uint64_t lines = 1;
  for (const auto& [fingerprint, saved] : content) {
    text += "factor " + Hex16(fingerprint) + " " + std::to_string(saved.size);
    const std::vector<GeneratingSet>& sets = saved.complete ? saved.sets : saved.partial.found;
    if (saved.complete) {
      text += " complete " + std::to_string(sets.size()) + "\r\n";
    } else {
      text += " partial " + std::to_string(saved.partial.lastLevelSets) + " " + std::to_string(saved.partial.extended) +
              " " + std::to_string(sets.size()) + "\r\n";
    }
    for (const GeneratingSet& s : sets) AppendSet(text, s);
    lines += 1 + sets.size();
  }
  text += "end " + std::to_string(lines + 1) + "\r\n";
  return WithChecksum(std::move(text));
}

}  // namespace genexact::inline GENEXACT_WIDTH
