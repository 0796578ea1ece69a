#pragma once

// Helpers shared by the fuzz targets: the line rules of the zone line reader
// written out the simple way, and gzip compression of an input.

#include <cstddef>
#include <cstdint>
#include <string>
#include <string_view>
#include <vector>

namespace plexor::fuzz
{
    // `bytes` without the UTF-8 byte-order mark (EF BB BF) in front, when
    // they begin with one: the reader drops it from the front of the data it
    // reads (after gzip decoding; a mark further on, also at the start of a
    // later gzip member's data, is text).
    std::string_view WithoutByteOrderMark(std::string_view bytes);

    // The lines a zone line reader must deliver for these (uncompressed)
    // bytes: a byte-order mark in front is dropped; the rest is split at
    // every LF; one CR directly before an LF is dropped; a last piece without
    // LF is delivered when it is not empty.
    std::vector<std::string> ExpectedLines(std::string_view bytes);

    // `data` as one gzip member at the given compression level (0 to 9).
    std::string Gzip(std::string_view data, int level);

    // Takes bytes off the front of a fuzz input to steer the target.
    class InputCursor final
    {
    public:
        InputCursor(const std::uint8_t* data, std::size_t size)
            : m_data(reinterpret_cast<const char*>(data), size)
        {
        }

        // The next byte, or 0 when the input is used up.
        std::uint8_t Byte()
        {
            if (m_data.empty())
                return 0;
            const auto byte = static_cast<std::uint8_t>(m_data.front());
            m_data.remove_prefix(1);
            return byte;
        }

        // Up to `count` bytes.
        std::string_view Take(std::size_t count)
        {
            const std::string_view taken = m_data.substr(0, count);
            m_data.remove_prefix(taken.size());
            return taken;
        }

        std::string_view Rest() const { return m_data; }

    private:
        std::string_view m_data;
    };
}
