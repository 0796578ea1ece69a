// The reference kernel: every fast routine one byte at a time, the plain
// reading the other kernels are tested against. Compiled on every machine.

#include "scan/kernels.h"

#include <algorithm>
#include <bit>
#include <cstring>

#include "scan/line_index.h"
#include "scan/record_lines.h"
#include "scan/master_lines.h"
#include "scan/generic/line_feeds.h"
#include "scan/generic/simple_ns_lines.h"
#include "scan/reference/masks.h"

namespace plexor::scan::reference
{
    std::size_t IndexBlocks(const char* buffer, std::size_t from, std::size_t to, std::uint32_t* out)
    {
        return generic::IndexBlocks<Masks>(buffer, from, to, out);
    }

    bool IsPlainMasterText(const char* data, std::size_t size, bool dotBefore)
    {
        for (std::size_t i = 0; i < size; ++i)
        {
            if (IsSpecial(data[i]) || (data[i] == '.' && (i == 0 ? dotBefore : data[i - 1] == '.')))
                return false;
        }
        return true;
    }

    bool IndexPlainMasterText(const char* buffer, std::size_t from, std::size_t to, bool dotBefore,
                              LineEndIndex& lineEnds)
    {
        lineEnds.Add(buffer, from, to, &IndexBlocks);
        return IsPlainMasterText(buffer + from, to - from, dotBefore);
    }

    std::uint64_t ClassifyRecordLines(const char* data, std::size_t begin, const std::uint32_t* ends, std::size_t n,
                                      RecordScanState& state, std::uint8_t* prefixes)
    {
        std::uint64_t repeats = 0;
        std::size_t start = begin;
        for (std::size_t k = 0; k < n; ++k)
        {
            const std::size_t end = ends[k];
            const std::size_t length = end - start;
            const char* line = data + start;
            const auto differ = ~static_cast<std::uint32_t>(Masks::EqualMask32(line, state.previous));
            const bool repeat = detail::RepeatsPrefix(differ, length, state.prefix);
            const auto* blank = static_cast<const char*>(std::memchr(line, ' ', kRecordProbeBytes));
            const std::size_t prefix = detail::RecordPrefixAt(
                line, length, blank != nullptr ? static_cast<std::size_t>(blank - line) : kRecordProbeBytes);
            repeats |= static_cast<std::uint64_t>(repeat) << k;
            prefixes[k] = static_cast<std::uint8_t>(prefix);
            std::memcpy(state.previous, line, kRecordProbeBytes);
            state.prefix = prefix;
            start = end + 1;
        }
        return repeats;
    }

    void FindSimpleNsLines(const char* data, const LineEndIndex& lineEnds, SimpleNsLines& out)
    {
        generic::FindSimpleNsLines<Masks>(data, lineEnds, out);
    }
}
