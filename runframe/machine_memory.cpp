#include "runframe/machine_memory.hpp"

#include <fstream>
#include <sstream>
#include <vector>

#if defined(_WIN32)
#include <windows.h>
#else
#include <unistd.h>
#endif

namespace runframe {

namespace {

// A limit file's figure: digits alone on their line; anything else, "max"
// included, is no limit.
std::optional<std::uint64_t> LimitIn(const std::string& file) {
  std::ifstream in(file);
  std::string text;
  if (!in || !std::getline(in, text)) return std::nullopt;
  if (text.empty() || text.size() > 19 || text.find_first_not_of("0123456789") != std::string::npos) {
    return std::nullopt;
  }
  const std::uint64_t value = std::stoull(text);
  if (value >= (std::uint64_t{1} << 62)) return std::nullopt;
  return value;
}

void TakeLeast(std::optional<std::uint64_t>& least, std::optional<std::uint64_t> value) {
  if (value && (!least || *value < *least)) least = value;
}

// The group's directory and each of its ancestors up to the root, under base.
std::vector<std::string> GroupAndAncestors(const std::string& base, std::string path) {
  std::vector<std::string> dirs;
  while (!path.empty() && path.back() == '/') path.pop_back();
  for (;;) {
    dirs.push_back(base + path);
    const std::size_t slash = path.rfind('/');
    if (slash == std::string::npos) break;
    path.erase(slash);
  }
  return dirs;
}

}  // namespace

std::optional<std::uint64_t> PhysicalMemoryBytes() {
#if defined(_WIN32)
  MEMORYSTATUSEX status{};
  status.dwLength = sizeof status;
  if (GlobalMemoryStatusEx(&status) == 0) return std::nullopt;
  return static_cast<std::uint64_t>(status.ullTotalPhys);
#else
  const long pages = sysconf(_SC_PHYS_PAGES);
  const long pageSize = sysconf(_SC_PAGESIZE);
  if (pages <= 0 || pageSize <= 0) return std::nullopt;
  return static_cast<std::uint64_t>(pages) * static_cast<std::uint64_t>(pageSize);
#endif
}

std::optional<std::uint64_t> ControlGroupMemoryLimit(const std::string& membership, const std::string& root) {
  std::optional<std::uint64_t> least;
  std::istringstream lines(membership);
  for (std::string line; std::getline(lines, line);) {
    const std::size_t first = line.find(':');
    const std::size_t second = first == std::string::npos ? first : line.find(':', first + 1);
    if (second == std::string::npos) continue;
    const std::string id = line.substr(0, first);
    const std::string controllers = line.substr(first + 1, second - first - 1);
    const std::string path = line.substr(second + 1);
    if (path.empty() || path.front() != '/') continue;
    std::string base;
    std::string file;
    if (id == "0" && controllers.empty()) {
      base = root;
      file = "/memory.max";
    } else if (("," + controllers + ",").find(",memory,") != std::string::npos) {
      base = root + "/memory";
      file = "/memory.limit_in_bytes";
    } else {
      continue;
    }
    for (const std::string& dir : GroupAndAncestors(base, path)) TakeLeast(least, LimitIn(dir + file));
  }
  return least;
}

std::optional<std::uint64_t> UsableMemoryBytes() {
  std::optional<std::uint64_t> least = PhysicalMemoryBytes();
#if !defined(_WIN32)
  std::ifstream in("/proc/self/cgroup");
  std::stringstream membership;
  membership << in.rdbuf();
  TakeLeast(least, ControlGroupMemoryLimit(membership.str(), "/sys/fs/cgroup"));
#endif
  return least;
}

}  // namespace runframe
