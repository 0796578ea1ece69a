#pragma once

// The entry points every kernel has, with the same names in each kernel's
// namespace (scan::reference, scan::sse2, scan::avx2) and the same answers.
// The kernel table (kernel.h) chooses one set for the run; tests and the
// differential fuzz target call each of them directly.
//
// - IndexBlocks: the positions of the LFs in whole 64-byte blocks
//   [from, to), written to out (room for every byte's position plus
//   kSpareLineEndWrites); returns how many.
// - IsPlainMasterText / IndexPlainMasterText: see master_lines.h.
// - ClassifyRecordLines: see record_lines.h.
// - FindSimpleNsLines: the search of SimpleNsLines::Find, into a clear
//   `out` whose withServers says whether the servers are wanted.

#include <cstddef>
#include <cstdint>

#include "scan/byte_scan.h"

#if (defined(__GNUC__) || defined(__clang__)) && defined(__x86_64__) && defined(PLEXOR_HAVE_SSE2)
#define PLEXOR_HAVE_AVX2_KERNEL 1
#endif

namespace plexor
{
    class LineEndIndex;
    struct RecordScanState;
    struct SimpleNsLines;
}

#define PLEXOR_KERNEL_ENTRY_POINTS                                                                                    \
    std::size_t IndexBlocks(const char* buffer, std::size_t from, std::size_t to, std::uint32_t* out);                \
    bool IsPlainMasterText(const char* data, std::size_t size, bool dotBefore);                                       \
    bool IndexPlainMasterText(const char* buffer, std::size_t from, std::size_t to, bool dotBefore,                   \
                              LineEndIndex& lineEnds);                                                                \
    std::uint64_t ClassifyRecordLines(const char* data, std::size_t begin, const std::uint32_t* ends, std::size_t n, \
                                      RecordScanState& state, std::uint8_t* prefixes);                                \
    void FindSimpleNsLines(const char* data, const LineEndIndex& lineEnds, SimpleNsLines& out);

namespace plexor::scan::reference
{
    PLEXOR_KERNEL_ENTRY_POINTS
}

#ifdef PLEXOR_HAVE_SSE2
namespace plexor::scan::sse2
{
    PLEXOR_KERNEL_ENTRY_POINTS
}
#endif

#ifdef PLEXOR_HAVE_AVX2_KERNEL
namespace plexor::scan::avx2
{
    PLEXOR_KERNEL_ENTRY_POINTS
}
#endif

#undef PLEXOR_KERNEL_ENTRY_POINTS
