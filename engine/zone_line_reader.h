#pragma once

// Reads a zone file one line at a time. A line is the bytes up to the next
// LF, without the LF and without one CR directly before it; a last line
// without LF is still delivered, an empty line is delivered empty, lines have
// no length limit and every other byte (NUL included) is kept. A file that
// starts with the gzip magic bytes 1F 8B is decompressed on the fly (several
// gzip members in a row too) and yields the lines of the uncompressed data.

#include <cstddef>
#include <cstdint>
#include <cstring>
#include <filesystem>
#include <memory>
#include <string>
#include <string_view>
#include <vector>

#include "byte_scan.h"

namespace plexor
{
    class ByteSource;
    class ReadAhead;

    class ZoneLineReader final
    {
    public:
        ZoneLineReader();
        ~ZoneLineReader();
        ZoneLineReader(const ZoneLineReader&) = delete;
        ZoneLineReader& operator=(const ZoneLineReader&) = delete;

        // Opens a file for reading; false if it cannot be opened or is a
        // directory. Any file opened before is closed first.
        bool Open(const std::filesystem::path& path);
        // Reads from bytes held in memory (tests and fuzzing); the display
        // path is used in failure messages only.
        void OpenMemory(std::string bytes, std::string displayPath = "<memory>");
        void Close();
        bool IsOpen() const;

        // The next line, valid until the next call. False when no byte is
        // left, or when reading or decompressing failed (see Failed()).
        // Inline for the common case of a whole line already in the buffer.
        bool ReadLine(std::string_view& line)
        {
            if (m_nextLineEnd < m_lineEnds.size())
            {
                TakeLine(m_lineEnds[m_nextLineEnd++], line);
                return true;
            }
            if (m_scanned < m_end)
            {
                const std::size_t lf =
                    m_scanned + scan::FindByte(m_buffer.data() + m_scanned, m_end - m_scanned, '\n');
                if (lf < m_end)
                {
                    TakeLine(lf, line);
                    return true;
                }
            }
            return ReadLineSlow(line);
        }
        bool ReadLine(std::string& line);

        // True once a read or decompression error has ended the input; the
        // lines delivered before it are intact.
        bool Failed() const { return m_failed; }
        // The path as given to Open, as UTF-8 text, for messages.
        const std::string& DisplayPath() const { return m_displayPath; }

        // The read buffer of bytes in memory; it grows only for lines
        // longer than this. Regular files are read in chunks (see ReadAhead).
        static constexpr std::size_t kInitialBufferSize = 1 << 20;

    private:
        // The line from m_begin to the LF at `lf`, without one CR before it.
        void TakeLine(std::size_t lf, std::string_view& line)
        {
            const char* data = m_buffer.data();
            std::size_t length = lf - m_begin;
            if (length > 0 && data[lf - 1] == '\r')
                --length;
            line = std::string_view(data + m_begin, length);
            m_begin = m_scanned = lf + 1;
        }

        bool ReadLineSlow(std::string_view& line);
        bool Refill();
        bool RefillFromSource();
        bool RefillFromReadAhead();

        // Bytes in memory, pipes and devices are read directly from
        // m_source; regular files through m_readAhead, on a thread of its own.
        std::unique_ptr<ByteSource> m_source;
        std::unique_ptr<ReadAhead> m_readAhead;
        bool m_open = false;
        std::vector<char> m_buffer;
        std::vector<char> m_spare; // the chunk before, handed back for reuse
        // The LFs of the chunk in m_buffer from m_nextLineEnd on, when the
        // read-ahead found them; empty otherwise.
        std::vector<std::uint32_t> m_lineEnds;
        std::vector<std::uint32_t> m_spareLineEnds;
        std::size_t m_nextLineEnd = 0;
        std::size_t m_begin = 0;   // start of the unread data
        std::size_t m_end = 0;     // end of the data in the buffer
        std::size_t m_scanned = 0; // data from m_begin to here holds no LF
        bool m_eof = true;
        bool m_failed = false;
        std::string m_displayPath;
    };
}
