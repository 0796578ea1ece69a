#include "fuzz_support.h"

#include <cstdlib>

#include <zlib.h>

#include "fuzz_check.h"

namespace plexor::fuzz
{
    std::string_view WithoutByteOrderMark(std::string_view bytes)
    {
        constexpr std::string_view kMark = "\xEF\xBB\xBF";
        if (bytes.starts_with(kMark))
            bytes.remove_prefix(kMark.size());
        return bytes;
    }

    std::vector<std::string> ExpectedLines(std::string_view bytes)
    {
        bytes = WithoutByteOrderMark(bytes);
        std::vector<std::string> lines;
        std::size_t start = 0;
        for (;;)
        {
            const std::size_t lf = bytes.find('\n', start);
            if (lf == std::string_view::npos)
                break;
            std::string_view line = bytes.substr(start, lf - start);
            if (!line.empty() && line.back() == '\r')
                line.remove_suffix(1);
            lines.emplace_back(line);
            start = lf + 1;
        }
        if (start < bytes.size())
            lines.emplace_back(bytes.substr(start));
        return lines;
    }

    std::string Gzip(std::string_view data, int level)
    {
        z_stream stream {};
        PLEXOR_FUZZ_CHECK(deflateInit2(&stream, level, Z_DEFLATED, 16 + MAX_WBITS, 8, Z_DEFAULT_STRATEGY) == Z_OK);
        std::string out(deflateBound(&stream, static_cast<uLong>(data.size())) + 64, '\0');
        stream.next_in = reinterpret_cast<Bytef*>(const_cast<char*>(data.data()));
        stream.avail_in = static_cast<uInt>(data.size());
        stream.next_out = reinterpret_cast<Bytef*>(out.data());
        stream.avail_out = static_cast<uInt>(out.size());
        PLEXOR_FUZZ_CHECK(deflate(&stream, Z_FINISH) == Z_STREAM_END);
        out.resize(stream.total_out);
        deflateEnd(&stream);
        return out;
    }
}
