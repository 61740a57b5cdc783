#pragma once
// How much memory the machine has, so that a run can refuse tables that
// would not fit before it allocates them, instead of being killed half way.
#include <cstdint>
#include <optional>

namespace runframe {

// The machine's physical memory in bytes; empty when the system does not say.
std::optional<std::uint64_t> PhysicalMemoryBytes();

}  // namespace runframe
