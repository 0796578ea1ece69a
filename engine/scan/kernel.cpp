#include "scan/kernel.h"

#include <cstdlib>

namespace plexor::scan
{
    namespace
    {
        // Best first.
        constexpr KernelTable kReference {Kernel::Reference,
                                          "reference",
                                          &reference::IndexBlocks,
                                          &reference::IsPlainMasterText,
                                          &reference::IndexPlainMasterText,
                                          &reference::ClassifyRecordLines,
                                          &reference::FindSimpleNsLines};
#ifdef PLEXOR_HAVE_SSE2
        constexpr KernelTable kSse2 {Kernel::Sse2,
                                     "sse2",
                                     &sse2::IndexBlocks,
                                     &sse2::IsPlainMasterText,
                                     &sse2::IndexPlainMasterText,
                                     &sse2::ClassifyRecordLines,
                                     &sse2::FindSimpleNsLines};
#endif
#ifdef PLEXOR_HAVE_AVX2_KERNEL
        constexpr KernelTable kAvx2 {Kernel::Avx2,
                                     "avx2",
                                     &avx2::IndexBlocks,
                                     &avx2::IsPlainMasterText,
                                     &avx2::IndexPlainMasterText,
                                     &avx2::ClassifyRecordLines,
                                     &avx2::FindSimpleNsLines};

        bool ProcessorHasAvx2Kernel()
        {
            __builtin_cpu_init();
            return __builtin_cpu_supports("avx2") && __builtin_cpu_supports("bmi")
                && __builtin_cpu_supports("bmi2") && __builtin_cpu_supports("popcnt");
        }
#endif

        const KernelTable& BestKernel()
        {
#ifdef PLEXOR_HAVE_AVX2_KERNEL
            if (ProcessorHasAvx2Kernel())
                return kAvx2;
#endif
#ifdef PLEXOR_HAVE_SSE2
            return kSse2;
#else
            return kReference;
#endif
        }

        const KernelChoice& ActiveChoice()
        {
            static const KernelChoice choice = ChooseKernel(std::getenv("PLEXOR_KERNEL"));
            return choice;
        }
    }

    const KernelTable* KernelFor(Kernel kernel)
    {
        switch (kernel)
        {
        case Kernel::Reference:
            return &kReference;
        case Kernel::Sse2:
#ifdef PLEXOR_HAVE_SSE2
            return &kSse2;
#else
            return nullptr;
#endif
        case Kernel::Avx2:
#ifdef PLEXOR_HAVE_AVX2_KERNEL
            return ProcessorHasAvx2Kernel() ? &kAvx2 : nullptr;
#else
            return nullptr;
#endif
        }
        return nullptr;
    }

    const char* KernelName(Kernel kernel)
    {
        switch (kernel)
        {
        case Kernel::Reference:
            return "reference";
        case Kernel::Sse2:
            return "sse2";
        case Kernel::Avx2:
            return "avx2";
        }
        return "";
    }

    KernelChoice ChooseKernel(const char* requested)
    {
        const KernelTable& best = BestKernel();
        if (requested == nullptr || *requested == '\0')
            return {&best, {}};
        const std::string_view name(requested);
        for (const Kernel kernel : kAllKernels)
        {
            if (name != KernelName(kernel))
                continue;
            if (const KernelTable* table = KernelFor(kernel))
                return {table, {}};
            return {&best, "PLEXOR_KERNEL=" + std::string(name) + ": this processor or build has no such kernel; using "
                               + best.name};
        }
        return {&best, "PLEXOR_KERNEL=" + std::string(name) + ": unknown kernel (reference, sse2 or avx2); using "
                           + best.name};
    }

    const KernelTable& ActiveKernel()
    {
        return *ActiveChoice().table;
    }

    const std::string& KernelNote()
    {
        return ActiveChoice().note;
    }
}
