#pragma once

// The one table of scanning kernels. Each kernel is a full set of the fast
// routines (kernels.h) that give the same answers:
//   reference  one byte at a time, compiled on every machine
//   sse2       16 bytes to a compare; every x86-64 processor
//   avx2       32 bytes to a compare, with BMI1, BMI2 and POPCNT
//              (x86-64 processors since about 2013-2015)
// The run uses the best kernel the processor has, chosen once, on first
// use. The environment variable PLEXOR_KERNEL (reference, sse2 or avx2)
// chooses another; a name that is not one of these, or a kernel this build
// or processor lacks, leaves the best one in use and a note to show
// (KernelNote).

#include <cstddef>
#include <cstdint>
#include <string>
#include <string_view>

#include "scan/kernels.h"

namespace plexor::scan
{
    enum class Kernel : std::uint8_t
    {
        Reference,
        Sse2,
        Avx2
    };
    inline constexpr Kernel kAllKernels[] = {Kernel::Reference, Kernel::Sse2, Kernel::Avx2};

    struct KernelTable
    {
        Kernel kernel;
        const char* name; // as for PLEXOR_KERNEL: "reference", "sse2", "avx2"
        std::size_t (*indexBlocks)(const char*, std::size_t, std::size_t, std::uint32_t*);
        bool (*isPlainMasterText)(const char*, std::size_t, bool);
        bool (*indexPlainMasterText)(const char*, std::size_t, std::size_t, bool, LineEndIndex&);
        std::uint64_t (*classifyRecordLines)(const char*, std::size_t, const std::uint32_t*, std::size_t,
                                             RecordScanState&, std::uint8_t*);
        void (*findSimpleNsLines)(const char*, const LineEndIndex&, SimpleNsLines&);
    };

    // The kernel's entry points, or nullptr when this build or processor
    // lacks it.
    const KernelTable* KernelFor(Kernel kernel);
    const char* KernelName(Kernel kernel);

    // The outcome of choosing with `requested` (PLEXOR_KERNEL; null or
    // empty: not set): the table and, when the request could not be
    // followed, a note that says why and what runs instead.
    struct KernelChoice
    {
        const KernelTable* table;
        std::string note;
    };
    KernelChoice ChooseKernel(const char* requested);

    // The kernel of this run: chosen once, from PLEXOR_KERNEL.
    const KernelTable& ActiveKernel();
    // The note of that choice, empty when PLEXOR_KERNEL was followed or not
    // set.
    const std::string& KernelNote();
}
