#include "scan/master_lines.h"

#include "scan/kernel.h"

namespace plexor
{
    bool IsPlainMasterText(const char* data, std::size_t size, bool dotBefore)
    {
        return scan::ActiveKernel().isPlainMasterText(data, size, dotBefore);
    }

    bool IndexPlainMasterText(const char* buffer, std::size_t from, std::size_t to, bool dotBefore,
                              LineEndIndex& lineEnds)
    {
        return scan::ActiveKernel().indexPlainMasterText(buffer, from, to, dotBefore, lineEnds);
    }

    void SimpleNsLines::Find(const char* data, const LineEndIndex& lineEnds, bool servers)
    {
        Clear();
        withServers = servers;
        scan::ActiveKernel().findSimpleNsLines(data, lineEnds, *this);
    }
}
