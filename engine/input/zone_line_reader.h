#pragma once

// Reads a zone file one line at a time. A line is the bytes up to the next
// LF, without the LF and without one CR directly before it; a last line
// without LF is still delivered, an empty line is delivered empty, lines have
// no length limit and every other byte (NUL included) is kept. A file that
// starts with the gzip magic bytes 1F 8B is decompressed on the fly (several
// gzip members in a row too) and yields the lines of the uncompressed data.

#include <algorithm>
#include <atomic>
#include <cstddef>
#include <cstdint>
#include <cstring>
#include <filesystem>
#include <memory>
#include <string>
#include <string_view>
#include <system_error>
#include <vector>

#include "input/byte_sources.h"
#include "input/byte_buffer.h"
#include "input/chunk_scan.h"
#include "scan/line_index.h"

namespace plexor
{
    class ReadAhead;

    class ZoneLineReader final
    {
    public:
        // `inflater` decompresses gzip files; tests choose one, runs take the
        // fastest.
        explicit ZoneLineReader(Inflater inflater = DefaultInflater());
        ~ZoneLineReader();
        ZoneLineReader(const ZoneLineReader&) = delete;
        ZoneLineReader& operator=(const ZoneLineReader&) = delete;

        // Opens a file for reading; false if it cannot be opened or is a
        // directory. Any file opened before is closed first.
        bool Open(const std::filesystem::path& path);
        // Reads the process's standard input (gzip detected on the stream
        // as for a file); false if it is closed. Its display path is
        // kStandardInputName.
        bool OpenStandardInput();
        // Reads from bytes held in memory (tests and fuzzing); the display
        // path is used in failure messages only.
        void OpenMemory(std::string bytes, std::string displayPath = "<memory>");
        void Close();
        bool IsOpen() const;

        // The next line, valid until the next call. False when no byte is
        // left, or when reading or decompressing failed (see Failed()).
        // kLineProbeBytes bytes from the line's start are readable however
        // short the line, so callers may copy or compare whole blocks.
        // Inline for the common case of a whole line already in the buffer.
        bool ReadLine(std::string_view& line)
        {
            if (m_nextLineEnd < m_lineEnds.size())
            {
                TakeLine(m_lineEnds[m_nextLineEnd++], line);
                return true;
            }
            return ReadLineSlow(line);
        }
        bool ReadLine(std::string& line);

        // The whole lines already in memory after the read position, for
        // callers that step through many lines without a call per line. Line
        // i runs from `begin` (i = 0) or ends[i - 1] + 1 up to its LF at
        // ends[i], positions in `data`; a CR before the LF is still among
        // these bytes. At least kLineProbeBytes readable bytes follow every
        // line's start. The run may be empty even though lines remain: then
        // ReadLine delivers the next one.
        // `findings`, when not null, holds what the scan of the layout
        // (FindChunkFindings) found for all the lines of the buffer; line i
        // here has index firstLine + i among them.
        struct LineRun
        {
            const char* data = nullptr;
            std::size_t begin = 0;
            const std::uint32_t* ends = nullptr;
            std::size_t count = 0;
            const ChunkFindings* findings = nullptr;
            std::size_t firstLine = 0;
        };
        LineRun BufferedLines() const
        {
            return {m_buffer.data(),
                    m_begin,
                    m_lineEnds.data() + m_nextLineEnd,
                    m_lineEnds.size() - m_nextLineEnd,
                    m_findings.get(),
                    m_nextLineEnd};
        }
        // Has `scan` (a layout's, which outlives the reader) find its
        // findings for what is read from now on: on the reading thread while
        // it is ahead, here otherwise. The findings stay with their lines
        // (LineRun::findings) until the next Open or Close.
        void FindChunkFindings(const ChunkScan& scan);
        // Moves the read position past the first `count` lines of
        // BufferedLines().
        void SkipBufferedLines(std::size_t count)
        {
            if (count == 0)
                return;
            m_nextLineEnd += count;
            m_begin = static_cast<std::size_t>(m_lineEnds[m_nextLineEnd - 1]) + 1;
        }

        // True when the input goes on after the read position: a byte is
        // left (the next ReadLine delivers it), or reading on failed, or a
        // pipe or device has nothing buffered (it is never waited for).
        // Nothing is lost; the next ReadLine starts where it would have.
        bool HasMoreInput();

        // True once a read or decompression error has ended the input; the
        // lines delivered before it are intact.
        bool Failed() const { return m_failed; }
        // Why Open returned false or why reading failed: the system's error,
        // or empty when the data itself was bad (a damaged gzip stream).
        const std::error_code& Error() const { return m_error; }
        // The path as given to Open, as UTF-8 text, for messages.
        const std::string& DisplayPath() const { return m_displayPath; }

        // The bytes taken from the file so far, as stored (compressed bytes
        // for a gzip file), counted where they are read. Safe to read from
        // any thread while a run reads the file, for progress display.
        std::uint64_t RawBytesRead() const { return m_rawBytesRead.load(std::memory_order_relaxed); }
        // The stored size of the input when it is known before reading (a
        // regular file, or bytes in memory), 0 otherwise (a pipe or device).
        // Set by Open and left as it is until the next Open.
        std::uint64_t RawSize() const { return m_rawSize; }

        static constexpr const char* kStandardInputName = "(standard input)";

        // The read buffer of bytes in memory, pipes and devices; it grows
        // only for lines longer than this. Regular files are read in chunks
        // (see ReadAhead).
        static constexpr std::size_t kInitialBufferSize = 1 << 20;
        // Another size of that buffer for the next Open (at least 16 bytes):
        // fuzz targets start thousands of runs a second on small zones, and
        // reach the refills with a small buffer.
        void SetInitialBufferSize(std::size_t bytes) { m_initialBufferSize = std::max<std::size_t>(bytes, 16); }

    private:
        // The line from m_begin to the LF at `lf`, without one CR before it.
        void TakeLine(std::size_t lf, std::string_view& line)
        {
            const char* data = m_buffer.data();
            std::size_t length = lf - m_begin;
            if (length > 0 && data[lf - 1] == '\r')
                --length;
            line = std::string_view(data + m_begin, length);
            m_begin = lf + 1;
        }

        // Starts reading an opened file; `regular` chooses the read-ahead.
        void Start(std::FILE* file, bool regular);
        bool ReadLineSlow(std::string_view& line);
        bool Refill();
        bool RefillFromSource();
        bool RefillFromReadAhead();
        // Finds the LFs in the buffer from m_indexed to m_end.
        void IndexNewBytes();

        // Bytes in memory, pipes and devices are read directly from
        // m_source; regular files through m_readAhead, on a thread of its own.
        Inflater m_inflater;
        std::unique_ptr<ByteSource> m_source;
        std::unique_ptr<ReadAhead> m_readAhead;
        bool m_open = false;
        ByteBuffer m_buffer;
        // The LFs in m_buffer; those from m_nextLineEnd on are unread.
        LineEndIndex m_lineEnds;
        // The layout's scan (FindChunkFindings), and what it found for
        // m_lineEnds; null before the first.
        const ChunkScan* m_scan = nullptr;
        std::unique_ptr<ChunkFindings> m_findings;
        std::size_t m_initialBufferSize = kInitialBufferSize;
        std::size_t m_nextLineEnd = 0;
        std::size_t m_begin = 0;   // start of the unread data
        std::size_t m_end = 0;     // end of the data in the buffer
        // Every LF before this position is in m_lineEnds. Only a buffer too
        // large for the index's positions (a line of gigabytes) leaves LFs
        // unindexed; those are searched for when needed.
        std::size_t m_indexed = 0;
        bool m_eof = true;
        bool m_failed = false;
        std::error_code m_error;
        bool m_mayBlock = false; // a pipe or device
        std::string m_displayPath;
        std::atomic<std::uint64_t> m_rawBytesRead {0};
        std::uint64_t m_rawSize = 0;
    };
}
