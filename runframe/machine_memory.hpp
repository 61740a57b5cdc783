#pragma once
// How much memory a run may use, so that it can refuse tables that would not
// fit before it allocates them, instead of being killed half way.
#include <cstdint>
#include <optional>
#include <string>

namespace runframe {

// The machine's physical memory in bytes; empty when the system does not say.
std::optional<std::uint64_t> PhysicalMemoryBytes();

// The memory this process may use: the lesser of the physical memory and
// the memory limit of its control group, which batch systems such as Slurm
// set to what a job asked for; a process beyond that limit is killed without
// a word.  An address-space limit (ulimit -v) is left out: it also holds the
// program, its stacks and its allocator's reserves, and an allocation beyond
// it fails and is reported as out of memory.  Empty when none is known.
std::optional<std::uint64_t> UsableMemoryBytes();

// The least memory limit of a control group and its ancestors: membership is
// the text of /proc/self/cgroup ("0::/path" for version 2, "N:memory:/path"
// for version 1) and root where the control groups are mounted
// (/sys/fs/cgroup).  Reads memory.max (v2) or memory.limit_in_bytes (v1) of
// the group, of each ancestor and of the root, as a container shows its own
// group there; "max" and figures of 2^62 and more are no limit.  Empty when
// no file gives one.
std::optional<std::uint64_t> ControlGroupMemoryLimit(const std::string& membership, const std::string& root);

}  // namespace runframe
