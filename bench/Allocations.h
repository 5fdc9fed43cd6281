// Counts of what the process allocates through operator new (the libraries' allocations
// included), for benchmarks that report the allocations of one operation.
#pragma once

#include <cstdint>

namespace bench {
// Bytes and blocks allocated through operator new since the start of the process.
std::uint64_t BytesAllocated();
std::uint64_t BlocksAllocated();
} // namespace bench
