#pragma once

// Names of plain master-file text (no escapes, no quotes): the short way to
// what ResolveMasterName does, for the reader and its shortcuts. Every
// position of a field has kLineProbeBytes readable bytes after it.

#include <cstddef>
#include <cstdint>
#include <cstring>
#include <string>
#include <string_view>

#include "scan/line_masks.h"

namespace plexor::master
{
    // A name field without escapes or quotes has an empty label when it
    // begins with a dot (other than the root's lone dot) or holds "..".
    inline bool HasEmptyLabel(const char* field, std::size_t size)
    {
        if (field[0] == '.')
            return size > 1;
        std::uint32_t dotBefore = 0;
        for (std::size_t i = 0; i < size; i += 32)
        {
            const std::size_t left = size - i;
            const std::uint32_t valid = left >= 32 ? ~std::uint32_t {0} : (std::uint32_t {1} << left) - 1;
            const std::uint32_t dots = scan::LineMasks::DotMask32(field + i) & valid;
            if (((dots & (dots >> 1)) | (dots & dotBefore)) != 0)
                return true;
            dotBefore = dots >> 31;
        }
        return false;
    }

    // ResolveMasterName for a field without escapes or quotes.
    // `noDotPairs`: the field is known to hold no "..".
    inline bool ResolvePlainName(std::string_view field, std::string_view origin, std::string& out,
                                 bool noDotPairs = false)
    {
        const std::size_t n = field.size();
        if (n == 1 && field[0] == '@')
        {
            out.assign(origin);
            return true;
        }
        if (noDotPairs ? field[0] == '.' && n > 1 : HasEmptyLabel(field.data(), n))
            return false;
        const bool absolute = field[n - 1] == '.';
        const std::size_t length = absolute ? n - 1 : n;
        const bool withOrigin = !absolute && !origin.empty();
        const std::size_t total = withOrigin ? length + 1 + origin.size() : length;
        out.resize(total);
        char* to = out.data();
        scan::LineMasks::CopyLower(field.data(), length, to);
        if (withOrigin)
        {
            to[length] = '.';
            std::memcpy(to + length + 1, origin.data(), origin.size());
        }
        out.resize(total);
        return true;
    }
}
