#include "input/zone_line_reader.h"

#include <algorithm>
#include <cerrno>
#include <cstdio>
#include <cstring>
#include <system_error>

#ifdef _WIN32
#include <fcntl.h>
#include <io.h>
#include <sys/stat.h>
#else
#include <sys/stat.h>
#include <unistd.h>
#endif

#include "input/byte_sources.h"
#include "input/read_ahead.h"
#include "scan/path_text.h"

namespace plexor
{
    namespace
    {
        std::FILE* OpenForReading(const std::filesystem::path& path)
        {
#ifdef _WIN32
            return _wfopen(path.c_str(), L"rb");
#else
            return std::fopen(path.c_str(), "rb");
#endif
        }

        // Counts the bytes that pass from the file to whatever reads it
        // (the gzip decoder, or the line reader itself).
        class CountingSource final : public ByteSource
        {
        public:
            CountingSource(std::unique_ptr<ByteSource> raw, std::atomic<std::uint64_t>& count)
                : m_raw(std::move(raw))
                , m_count(count)
            {
            }

            std::ptrdiff_t Read(char* buffer, std::size_t size) override
            {
                const std::ptrdiff_t got = m_raw->Read(buffer, size);
                if (got > 0)
                    m_count.fetch_add(static_cast<std::uint64_t>(got), std::memory_order_relaxed);
                return got;
            }

            std::error_code Error() const override { return m_raw->Error(); }

        private:
            std::unique_ptr<ByteSource> m_raw;
            std::atomic<std::uint64_t>& m_count;
        };
    }

    ZoneLineReader::ZoneLineReader(Inflater inflater)
        : m_inflater(inflater)
    {
    }

    ZoneLineReader::~ZoneLineReader() = default;

    bool ZoneLineReader::Open(const std::filesystem::path& path)
    {
        Close();
        m_displayPath = PathText(path);
        m_error.clear();
        std::error_code error;
        if (std::filesystem::is_directory(path, error))
        {
            m_error = std::make_error_code(std::errc::is_a_directory);
            return false;
        }
        errno = 0;
        std::FILE* file = OpenForReading(path);
        if (file == nullptr)
        {
            m_error = std::error_code(errno, std::generic_category());
            return false;
        }
        const bool regular = std::filesystem::is_regular_file(path, error);
        const std::uintmax_t size = regular ? std::filesystem::file_size(path, error) : 0;
        m_rawSize = regular && !error ? static_cast<std::uint64_t>(size) : 0;
        Start(file, regular);
        return true;
    }

    bool ZoneLineReader::OpenStandardInput()
    {
        Close();
        m_displayPath = kStandardInputName;
        m_error.clear();
        m_rawSize = 0;
        // A copy of the descriptor, so that closing the reader leaves the
        // process's standard input as it was.
#ifdef _WIN32
        const int fd = _dup(_fileno(stdin));
        if (fd < 0)
            return false;
        _setmode(fd, _O_BINARY);
        struct _stat64 status {};
        const bool regular = _fstat64(fd, &status) == 0 && (status.st_mode & _S_IFREG) != 0;
        if (regular)
        {
            // Redirected from a file: what is left of it from the current
            // position, in 64 bits.
            const __int64 position = _lseeki64(fd, 0, SEEK_CUR);
            if (position >= 0 && position <= status.st_size)
                m_rawSize = static_cast<std::uint64_t>(status.st_size - position);
        }
        std::FILE* file = _fdopen(fd, "rb");
#else
        const int fd = ::dup(STDIN_FILENO);
        if (fd < 0)
        {
            m_error = std::error_code(errno, std::generic_category());
            return false;
        }
        struct stat status {};
        const bool regular = ::fstat(fd, &status) == 0 && S_ISREG(status.st_mode);
        if (regular)
        {
            // Redirected from a file: what is left of it from the current
            // position.
            const off_t position = ::lseek(fd, 0, SEEK_CUR);
            if (position >= 0 && position <= status.st_size)
                m_rawSize = static_cast<std::uint64_t>(status.st_size - position);
        }
        std::FILE* file = ::fdopen(fd, "rb");
#endif
        if (file == nullptr)
        {
            m_error = std::error_code(errno, std::generic_category());
#ifdef _WIN32
            _close(fd);
#else
            ::close(fd);
#endif
            m_rawSize = 0;
            return false;
        }
        Start(file, regular);
        return true;
    }

    void ZoneLineReader::Start(std::FILE* file, bool regular)
    {
        m_open = true;
        m_eof = false;
        m_failed = false;
        m_rawBytesRead.store(0, std::memory_order_relaxed);
        errno = 0;
        std::unique_ptr<ByteSource> decoded =
            MakeDecodingSource(std::make_unique<CountingSource>(MakeFileSource(file), m_rawBytesRead), m_inflater);
        if (!decoded)
        {
            // Opened, but not even its first bytes could be read; the
            // failed read left its reason in errno.
            if (errno != 0)
                m_error = std::error_code(errno, std::generic_category());
            m_eof = true;
            m_failed = true;
            return;
        }
        if (regular)
        {
            m_readAhead = std::make_unique<ReadAhead>(std::move(decoded));
        }
        else
        {
            // A pipe or device may block in a read for ever; it is read on
            // the worker's own thread, so that closing never waits for it.
            m_source = std::move(decoded);
            m_mayBlock = true;
            m_buffer = ByteBuffer(m_initialBufferSize + kLineProbeBytes);
        }
    }

    void ZoneLineReader::OpenMemory(std::string bytes, std::string displayPath)
    {
        Close();
        m_displayPath = std::move(displayPath);
        m_error.clear();
        m_open = true;
        m_eof = false;
        m_failed = false;
        m_rawSize = bytes.size();
        m_rawBytesRead.store(0, std::memory_order_relaxed);
        m_source = MakeDecodingSource(
            std::make_unique<CountingSource>(MakeMemorySource(std::move(bytes)), m_rawBytesRead), m_inflater);
        m_buffer = ByteBuffer(m_initialBufferSize + kLineProbeBytes);
    }

    void ZoneLineReader::Close()
    {
        m_readAhead.reset();
        m_source.reset();
        m_buffer = ByteBuffer();
        m_lineEnds = LineEndIndex();
        m_scan = nullptr;
        m_findings.reset();
        m_nextLineEnd = 0;
        m_begin = m_end = m_indexed = 0;
        m_eof = true;
        m_open = false;
        m_mayBlock = false;
    }

    bool ZoneLineReader::IsOpen() const
    {
        return m_open;
    }

    bool ZoneLineReader::Refill()
    {
        if (m_eof)
            return false;
        return m_readAhead ? RefillFromReadAhead() : RefillFromSource();
    }

    void ZoneLineReader::FindChunkFindings(const ChunkScan& scan)
    {
        // Extractors ask at every call: only a change reaches the reading
        // thread.
        if (m_scan == &scan)
            return;
        m_scan = &scan;
        // Findings of another scan's kind give way to clear ones: the lines
        // buffered now are then read without them.
        scan.Prepare(m_findings);
        if (m_readAhead)
            m_readAhead->FindChunkFindings(&scan);
    }

    void ZoneLineReader::IndexNewBytes()
    {
        if (m_end > LineEndIndex::kMaxPosition)
            return; // found by ReadLineSlow's own search instead
        m_lineEnds.Add(m_buffer.data(), m_indexed, m_end);
        m_indexed = m_end;
    }

    bool ZoneLineReader::RefillFromSource()
    {
        // Every LF read so far has been taken: the buffer holds at most the
        // start of one line, which moves to the front.
        m_lineEnds.clear();
        if (m_findings)
            m_findings->Clear();
        m_nextLineEnd = 0;
        if (m_begin > 0)
        {
            const std::size_t pending = m_end - m_begin;
            if (pending > 0)
                std::memmove(m_buffer.data(), m_buffer.data() + m_begin, pending);
            m_indexed -= m_begin;
            m_end = pending;
            m_begin = 0;
        }
        if (m_end + kLineProbeBytes == m_buffer.size())
            m_buffer.resize((m_buffer.size() - kLineProbeBytes) * 2 + kLineProbeBytes); // a line longer than the buffer
        const std::ptrdiff_t got = m_source->Read(m_buffer.data() + m_end, m_buffer.size() - kLineProbeBytes - m_end);
        if (got <= 0)
        {
            m_eof = true;
            m_failed = got < 0;
            if (m_failed)
                m_error = m_source->Error();
            return false;
        }
        const std::size_t before = m_end;
        m_end += static_cast<std::size_t>(got);
        if (m_scan == nullptr || m_end > LineEndIndex::kMaxPosition)
        {
            IndexNewBytes();
            return true;
        }
        // What the reading thread finds for chunks read ahead, found here for
        // the whole buffer: its unfinished first line (at the front) came
        // from the buffer before. Every LF before the new bytes has been
        // taken.
        const ChunkBytes bytes {m_buffer.data(), before, m_end, before, before > 0 && m_buffer[before - 1] == '.'};
        m_scan->FindOnReader(bytes, false, *m_findings, m_lineEnds, *m_findings);
        m_indexed = m_end;
        return true;
    }

    bool ZoneLineReader::RefillFromReadAhead()
    {
        const std::size_t partial = m_end - m_begin;
        ByteBuffer chunk;
        ReadAhead::Findings findings;
        m_nextLineEnd = 0;
        const std::ptrdiff_t got = m_readAhead->Next(chunk, findings);
        // The unfinished line in front came from the chunk before, which the
        // reading thread may not have looked at (its end is where the chunk
        // before ended, so no byte before it counts).
        const bool lookedAt = !findings.lineEnds.empty();
        if (got <= 0)
        {
            m_lineEnds.clear();
            if (m_findings)
                m_findings->Clear();
            m_eof = true;
            m_failed = got < 0;
            if (m_failed)
                m_error = m_readAhead->Error();
            return false;
        }
        const auto size = static_cast<std::size_t>(got);
        constexpr std::size_t kHeadroom = ReadAhead::kHeadroom;
        if (partial <= kHeadroom)
        {
            // The unfinished line goes in front of the new chunk's bytes; the
            // chunk becomes the buffer, with no further copy, and its LFs
            // were found on the reading thread. The chunk before goes back at
            // once.
            const std::size_t start = kHeadroom - partial;
            if (partial > 0)
                std::memcpy(chunk.data() + start, m_buffer.data() + m_begin, partial);
            // The buffer before goes back at once; its findings once the
            // scan has seen what they say of the unfinished line.
            m_readAhead->Recycle(std::move(m_buffer), {});
            ReadAhead::Findings used;
            used.lineEnds = std::move(m_lineEnds);
            used.layout = std::move(m_findings);
            m_buffer = std::move(chunk);
            m_lineEnds = std::move(findings.lineEnds);
            m_findings = std::move(findings.layout);
            m_begin = start;
            m_end = m_indexed = kHeadroom + size;
            // The unfinished line holds no LF, so the chunk's own bytes are
            // all there is to index when the reading thread left it; the
            // layout's scan completes its findings for the unfinished line
            // and for what the reading thread left.
            if (m_scan != nullptr)
            {
                m_scan->Prepare(m_findings);
                if (!used.layout)
                    m_scan->Prepare(used.layout);
                const ChunkBytes bytes {m_buffer.data(), kHeadroom, m_end, partial,
                                        partial > 0 && m_buffer[kHeadroom - 1] == '.'};
                m_scan->FindOnReader(bytes, lookedAt, *used.layout, m_lineEnds, *m_findings);
            }
            else if (!lookedAt)
            {
                m_lineEnds.Add(m_buffer.data(), kHeadroom, m_end);
            }
            m_readAhead->Recycle({}, std::move(used));
            return true;
        }

        // A line longer than the headroom collects in the own buffer.
        if (m_begin > 0)
            std::memmove(m_buffer.data(), m_buffer.data() + m_begin, partial);
        m_indexed -= m_begin;
        m_begin = 0;
        if (m_buffer.size() < partial + size + kLineProbeBytes)
            m_buffer.resize(std::max(m_buffer.size() * 2, partial + size + kLineProbeBytes));
        std::memcpy(m_buffer.data() + partial, chunk.data() + kHeadroom, size);
        m_end = partial + size;
        m_lineEnds.clear(); // the chunk's positions do not apply to this buffer
        if (m_findings)
            m_findings->Clear();
        m_readAhead->Recycle(std::move(chunk), std::move(findings));
        IndexNewBytes();
        return true;
    }

    bool ZoneLineReader::HasMoreInput()
    {
        if (m_begin < m_end)
            return true;
        if (m_eof)
            return m_failed;
        // A pipe or device may keep a read waiting for ever: whether it goes
        // on is not known, so it is taken to.
        if (m_mayBlock)
            return true;
        // Nothing unread is buffered: a refill keeps what it reads for the
        // next line.
        return Refill() || m_failed;
    }

    bool ZoneLineReader::ReadLineSlow(std::string_view& line)
    {
        for (;;)
        {
            if (m_nextLineEnd < m_lineEnds.size())
            {
                TakeLine(m_lineEnds[m_nextLineEnd++], line);
                return true;
            }
            if (m_indexed < m_end)
            {
                // A buffer beyond the index's reach: search it directly.
                const std::size_t from = std::max(m_begin, m_indexed);
                const void* lf = std::memchr(m_buffer.data() + from, '\n', m_end - from);
                if (lf != nullptr)
                {
                    TakeLine(static_cast<std::size_t>(static_cast<const char*>(lf) - m_buffer.data()), line);
                    m_indexed = m_begin; // the LFs after it are still to be searched
                    return true;
                }
                m_indexed = m_end;
            }
            if (!Refill())
            {
                // A read error ends the input: the partial line before it is
                // not delivered, since it may be cut short.
                if (m_failed || m_begin == m_end)
                    return false;
                line = std::string_view(m_buffer.data() + m_begin, m_end - m_begin);
                m_begin = m_indexed = m_end;
                return true;
            }
        }
    }

    bool ZoneLineReader::ReadLine(std::string& line)
    {
        std::string_view view;
        if (!ReadLine(view))
            return false;
        line.assign(view);
        return true;
    }
}
