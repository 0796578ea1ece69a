#include "scan/record_lines.h"

#include "scan/kernel.h"

namespace plexor
{
    std::uint64_t ClassifyRecordLines(const char* data, std::size_t begin, const std::uint32_t* ends, std::size_t n,
                                      RecordScanState& state, std::uint8_t* prefixes)
    {
        return scan::ActiveKernel().classifyRecordLines(data, begin, ends, n, state, prefixes);
    }
}
