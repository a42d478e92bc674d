#pragma once
// Heap allocations of the whole process, counted by the replaced global
// operator new of the benchmark binary.

#include <cstdint>

namespace zrn::bench {

std::uint64_t allocationCount();

} // namespace zrn::bench
