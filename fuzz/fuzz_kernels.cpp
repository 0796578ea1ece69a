// Fuzz target: the scanning kernels against each other. The same bytes go
// to every kernel this machine has (reference, sse2, avx2) and to the
// per-line masks this build compiles in; any difference aborts. The first
// input byte chooses where the bytes start against the 64-byte blocks,
// whether a dot comes before them, the size of the groups of lines
// classified at a time and the bytes that follow them in memory; the rest
// are the bytes, looked at as zone-file text:
// - the LFs of whole 64-byte blocks, and of any range through LineEndIndex;
// - whether the bytes are plain master-file text, alone and with the
//   line-end index;
// - each line's "LABEL NS " prefix and its repeats of the line before;
// - the simple NS lines of the bytes taken as one chunk.

#include <cstddef>
#include <cstdint>
#include <cstring>
#include <string>
#include <vector>

#include "fuzz_check.h"
#include "fuzz_support.h"
#include "scan/line_index.h"
#include "scan/record_lines.h"
#include "scan/master_lines.h"
#include "scan/kernel.h"
#include "scan/line_masks.h"
#include "scan/reference/masks.h"

using namespace plexor;

namespace
{
    // What one kernel makes of the bytes.
    struct Findings
    {
        std::vector<std::uint32_t> blockLineEnds;
        std::vector<std::uint32_t> lineEnds;
        bool plain = false;
        bool indexedPlain = false;
        std::vector<std::uint32_t> indexedLineEnds;
        std::vector<std::uint8_t> prefixes;
        std::vector<std::uint64_t> repeats;
        std::size_t lastPrefix = 0;
        bool simpleFound = false;
        std::uint32_t lastOwnerSize = 0;
        std::vector<std::uint32_t> simpleEntries; // line, offset, length of each
        std::vector<std::uint32_t> simpleServers; // line, offset, length of each, searched with servers
        std::vector<std::uint32_t> entriesWithServers; // the entries of that search

        bool operator==(const Findings&) const = default;
    };

    std::vector<std::uint32_t> Positions(const LineEndIndex& index)
    {
        return {index.data(), index.data() + index.size()};
    }

    // Line k runs from `begin` (k = 0) or ends[k - 1] + 1 to ends[k].
    void Classify(const scan::KernelTable& kernel, const char* data, const LineEndIndex& lineEnds,
                  std::size_t group, Findings& out)
    {
        RecordScanState state;
        out.prefixes.assign(lineEnds.size(), 0);
        for (std::size_t first = 0; first < lineEnds.size(); first += group)
        {
            const std::size_t n = std::min(group, lineEnds.size() - first);
            const std::size_t begin = first == 0 ? 0 : lineEnds[first - 1] + std::size_t {1};
            out.repeats.push_back(kernel.classifyRecordLines(data, begin, lineEnds.data() + first, n, state,
                                                             out.prefixes.data() + first));
        }
        out.lastPrefix = state.prefix;
    }

    Findings Scan(const scan::KernelTable& kernel, const std::string& buffer, std::size_t from, std::size_t size,
                  bool dotBefore, std::size_t group)
    {
        Findings out;
        const char* data = buffer.data();
        const std::size_t to = from + size;
        const std::size_t blocksEnd = from + size / 64 * 64;
        out.blockLineEnds.resize(size + detail::kSpareLineEndWrites);
        out.blockLineEnds.resize(kernel.indexBlocks(data, from, blocksEnd, out.blockLineEnds.data()));
        LineEndIndex lineEnds;
        lineEnds.Add(data, from, to, kernel.indexBlocks);
        out.lineEnds = Positions(lineEnds);
        out.plain = kernel.isPlainMasterText(data + from, size, dotBefore);
        LineEndIndex indexed;
        out.indexedPlain = kernel.indexPlainMasterText(data, from, to, dotBefore, indexed);
        out.indexedLineEnds = Positions(indexed);
        if (!lineEnds.empty())
        {
            // Positions relative to the bytes' start, as a chunk's are.
            LineEndIndex chunk;
            chunk.Add(data + from, 0, size, kernel.indexBlocks);
            Classify(kernel, data + from, chunk, group, out);
            SimpleNsLines simple;
            kernel.findSimpleNsLines(data + from, chunk, simple);
            out.simpleFound = simple.found;
            out.lastOwnerSize = simple.lastOwnerSize;
            for (const SimpleNsLines::Entry& e : simple.entries)
                out.simpleEntries.insert(out.simpleEntries.end(), {e.line, e.ownerOffset, e.ownerLength});
            SimpleNsLines withServers;
            withServers.withServers = true;
            kernel.findSimpleNsLines(data + from, chunk, withServers);
            PLEXOR_FUZZ_CHECK(withServers.found == simple.found);
            for (const SimpleNsLines::Entry& e : withServers.entries)
                out.entriesWithServers.insert(out.entriesWithServers.end(), {e.line, e.ownerOffset, e.ownerLength});
            PLEXOR_FUZZ_CHECK(out.entriesWithServers == out.simpleEntries);
            for (const SimpleNsLines::Server& e : withServers.servers)
                out.simpleServers.insert(out.simpleServers.end(), {e.line, e.offset, e.length});
        }
        return out;
    }

    // The masks of the per-line code against the reference masks: at every
    // position of the first bytes, then at every 16th (the masks look at up
    // to 64 bytes, so every byte is still seen, at several places in them).
    void CheckLineMasks(const std::string& buffer, std::size_t from, std::size_t size)
    {
        using Fast = scan::LineMasks;
        using Plain = scan::reference::Masks;
        for (std::size_t at = from; at <= from + size; at += at < from + 128 ? 1 : 16)
        {
            const char* p = buffer.data() + at;
            const std::size_t left = std::min<std::size_t>(from + size - at, 64);
            PLEXOR_FUZZ_CHECK(Fast::LineFeedMask64(p) == Plain::LineFeedMask64(p));
            PLEXOR_FUZZ_CHECK(Fast::SeparatorMask64(p) == Plain::SeparatorMask64(p));
            PLEXOR_FUZZ_CHECK(Fast::SpecialMask32(p) == Plain::SpecialMask32(p));
            PLEXOR_FUZZ_CHECK(Fast::DotMask32(p) == Plain::DotMask32(p));
            PLEXOR_FUZZ_CHECK(Fast::EqualMask64(p, buffer.data() + from) == Plain::EqualMask64(p, buffer.data() + from));
            PLEXOR_FUZZ_CHECK(Fast::HasUpperAscii(p, left) == Plain::HasUpperAscii(p, left));
            PLEXOR_FUZZ_CHECK(Fast::FindSeparator(p, left) == Plain::FindSeparator(p, left));
            PLEXOR_FUZZ_CHECK(Fast::FindSpecial(p, left) == Plain::FindSpecial(p, left));
            char fast[64];
            char plain[64];
            Fast::CopyLower(p, left, fast);
            Plain::CopyLower(p, left, plain);
            PLEXOR_FUZZ_CHECK(std::memcmp(fast, plain, left) == 0);
        }
    }
}

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size)
{
    plexor::fuzz::InputCursor input(data, size);
    const std::uint8_t flags = input.Byte();
    const std::size_t from = flags & 7;         // off the 64-byte blocks by up to 7 bytes
    const bool dotBefore = (flags & 8) != 0;
    constexpr std::size_t kGroups[] = {64, 1, 7, 63};
    const std::size_t group = kGroups[(flags >> 4) & 3];
    constexpr char kFillers[] = {'\0', '\n', '.', ' '};
    const char filler = kFillers[(flags >> 6) & 3];
    const std::string_view bytes = input.Rest();
    if (bytes.size() > LineEndIndex::kMaxPosition - 256)
        return 0;

    // The bytes, and as many readable bytes after them as every search may
    // look at.
    std::string buffer(from, 'x');
    buffer.append(bytes);
    buffer.append(kLineProbeBytes + 64, filler);

    const Findings expected =
        Scan(*scan::KernelFor(scan::Kernel::Reference), buffer, from, bytes.size(), dotBefore, group);
    for (const scan::Kernel kernel : scan::kAllKernels)
    {
        if (const scan::KernelTable* table = scan::KernelFor(kernel))
            PLEXOR_FUZZ_CHECK(Scan(*table, buffer, from, bytes.size(), dotBefore, group) == expected);
    }
    CheckLineMasks(buffer, from, bytes.size());
    return 0;
}
