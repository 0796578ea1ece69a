#include "zone_line_reader.h"

#include <cstdio>
#include <cstring>
#include <system_error>

#include <zlib.h>

#include "run_messages.h"

namespace plexor
{
    // A stream of raw bytes. Read returns the number of bytes placed in the
    // buffer, 0 at the end of the data, or -1 on an error.
    class ByteSource
    {
    public:
        virtual ~ByteSource() = default;
        virtual std::ptrdiff_t Read(char* buffer, std::size_t size) = 0;
    };

    namespace
    {
        class FileSource final : public ByteSource
        {
        public:
            explicit FileSource(std::FILE* file)
                : m_file(file)
            {
                // Reads are large and go straight into the caller's buffer.
                std::setvbuf(m_file, nullptr, _IONBF, 0);
            }

            ~FileSource() override
            {
                std::fclose(m_file);
            }

            std::ptrdiff_t Read(char* buffer, std::size_t size) override
            {
                const std::size_t got = std::fread(buffer, 1, size, m_file);
                if (got == 0 && std::ferror(m_file))
                    return -1;
                return static_cast<std::ptrdiff_t>(got);
            }

        private:
            std::FILE* m_file;
        };

        class MemorySource final : public ByteSource
        {
        public:
            explicit MemorySource(std::string bytes)
                : m_bytes(std::move(bytes))
            {
            }

            std::ptrdiff_t Read(char* buffer, std::size_t size) override
            {
                const std::size_t count = std::min(size, m_bytes.size() - m_position);
                if (count > 0)
                    std::memcpy(buffer, m_bytes.data() + m_position, count);
                m_position += count;
                return static_cast<std::ptrdiff_t>(count);
            }

        private:
            std::string m_bytes;
            std::size_t m_position = 0;
        };

        // Puts already consumed bytes (the sniffed magic) back in front of a
        // source.
        class PrefixedSource final : public ByteSource
        {
        public:
            PrefixedSource(std::string prefix, std::unique_ptr<ByteSource> rest)
                : m_prefix(std::move(prefix))
                , m_rest(std::move(rest))
            {
            }

            std::ptrdiff_t Read(char* buffer, std::size_t size) override
            {
                if (m_position < m_prefix.size())
                {
                    const std::size_t count = std::min(size, m_prefix.size() - m_position);
                    std::memcpy(buffer, m_prefix.data() + m_position, count);
                    m_position += count;
                    return static_cast<std::ptrdiff_t>(count);
                }
                return m_rest->Read(buffer, size);
            }

        private:
            std::string m_prefix;
            std::size_t m_position = 0;
            std::unique_ptr<ByteSource> m_rest;
        };

        // Decompresses a gzip stream of one or more members. Anything after
        // a member that is not the start of another member, and a stream that
        // ends inside a member, is an error.
        class GzipSource final : public ByteSource
        {
        public:
            explicit GzipSource(std::unique_ptr<ByteSource> raw)
                : m_raw(std::move(raw))
                , m_input(kInputSize)
            {
                m_ok = inflateInit2(&m_stream, 16 + MAX_WBITS) == Z_OK;
            }

            ~GzipSource() override
            {
                if (m_ok)
                    inflateEnd(&m_stream);
            }

            std::ptrdiff_t Read(char* buffer, std::size_t size) override
            {
                if (!m_ok)
                    return -1;
                if (m_finished || size == 0)
                    return 0;
                // zlib counts in 32-bit units.
                const auto capacity = static_cast<uInt>(std::min<std::size_t>(size, 1u << 30));
                m_stream.next_out = reinterpret_cast<Bytef*>(buffer);
                m_stream.avail_out = capacity;
                while (m_stream.avail_out == capacity)
                {
                    if (m_stream.avail_in == 0)
                    {
                        const std::ptrdiff_t got = m_raw->Read(m_input.data(), m_input.size());
                        if (got < 0)
                            return Fail();
                        if (got == 0)
                        {
                            // The raw data ended: fine between members, an
                            // error inside one.
                            if (m_betweenMembers)
                            {
                                m_finished = true;
                                break;
                            }
                            return Fail();
                        }
                        m_stream.next_in = reinterpret_cast<Bytef*>(m_input.data());
                        m_stream.avail_in = static_cast<uInt>(got);
                    }
                    if (m_betweenMembers)
                    {
                        // Another member must start with the magic bytes;
                        // inflate checks the rest of its header.
                        if (!StartsNextMember())
                            return Fail();
                        m_betweenMembers = false;
                    }
                    const int result = inflate(&m_stream, Z_NO_FLUSH);
                    if (result == Z_STREAM_END)
                    {
                        if (inflateReset(&m_stream) != Z_OK)
                            return Fail();
                        m_betweenMembers = true;
                    }
                    else if (result != Z_OK && result != Z_BUF_ERROR)
                    {
                        return Fail();
                    }
                }
                return static_cast<std::ptrdiff_t>(capacity - m_stream.avail_out);
            }

        private:
            static constexpr std::size_t kInputSize = 256 * 1024;

            // True when the pending input begins with 1F 8B. The first byte of
            // the magic may be the last of the input buffer; then the second
            // is fetched.
            bool StartsNextMember()
            {
                if (static_cast<unsigned char>(m_stream.next_in[0]) != 0x1F)
                    return false;
                if (m_stream.avail_in >= 2)
                    return static_cast<unsigned char>(m_stream.next_in[1]) == 0x8B;
                m_input[0] = static_cast<char>(0x1F);
                const std::ptrdiff_t got = m_raw->Read(m_input.data() + 1, m_input.size() - 1);
                if (got <= 0)
                    return false;
                m_stream.next_in = reinterpret_cast<Bytef*>(m_input.data());
                m_stream.avail_in = static_cast<uInt>(got + 1);
                return static_cast<unsigned char>(m_input[1]) == 0x8B;
            }

            std::ptrdiff_t Fail()
            {
                m_ok = false;
                inflateEnd(&m_stream);
                return -1;
            }

            std::unique_ptr<ByteSource> m_raw;
            std::vector<char> m_input;
            z_stream m_stream {};
            bool m_ok = false;
            bool m_betweenMembers = false;
            bool m_finished = false;
        };

        std::FILE* OpenForReading(const std::filesystem::path& path)
        {
#ifdef _WIN32
            return _wfopen(path.c_str(), L"rb");
#else
            return std::fopen(path.c_str(), "rb");
#endif
        }
    }

    ZoneLineReader::ZoneLineReader() = default;
    ZoneLineReader::~ZoneLineReader() = default;

    bool ZoneLineReader::Open(const std::filesystem::path& path)
    {
        Close();
        m_displayPath = PathText(path);
        std::error_code error;
        if (std::filesystem::is_directory(path, error))
            return false;
        std::FILE* file = OpenForReading(path);
        if (file == nullptr)
            return false;
        Attach(std::make_unique<FileSource>(file));
        return true;
    }

    void ZoneLineReader::OpenMemory(std::string bytes, std::string displayPath)
    {
        Close();
        m_displayPath = std::move(displayPath);
        Attach(std::make_unique<MemorySource>(std::move(bytes)));
    }

    void ZoneLineReader::Attach(std::unique_ptr<ByteSource> raw)
    {
        m_eof = false;
        m_failed = false;
        m_begin = m_end = m_scanned = 0;
        if (m_buffer.size() != kInitialBufferSize)
            m_buffer = std::vector<char>(kInitialBufferSize);

        // Sniff the gzip magic; the bytes read go back in front of the data.
        char magic[2];
        std::size_t have = 0;
        while (have < sizeof magic)
        {
            const std::ptrdiff_t got = raw->Read(magic + have, sizeof magic - have);
            if (got < 0)
            {
                m_failed = true;
                m_eof = true;
                m_source = std::move(raw);
                return;
            }
            if (got == 0)
                break;
            have += static_cast<std::size_t>(got);
        }
        const bool gzip = have == 2 && static_cast<unsigned char>(magic[0]) == 0x1F
                       && static_cast<unsigned char>(magic[1]) == 0x8B;
        auto prefixed = std::make_unique<PrefixedSource>(std::string(magic, have), std::move(raw));
        if (gzip)
            m_source = std::make_unique<GzipSource>(std::move(prefixed));
        else
            m_source = std::move(prefixed);
    }

    void ZoneLineReader::Close()
    {
        m_source.reset();
        m_buffer = std::vector<char>();
        m_begin = m_end = m_scanned = 0;
        m_eof = true;
    }

    bool ZoneLineReader::IsOpen() const
    {
        return m_source != nullptr;
    }

    bool ZoneLineReader::Refill()
    {
        if (m_eof || !m_source)
            return false;
        if (m_begin > 0)
        {
            // Move the partial line to the front.
            const std::size_t pending = m_end - m_begin;
            if (pending > 0)
                std::memmove(m_buffer.data(), m_buffer.data() + m_begin, pending);
            m_scanned -= m_begin;
            m_end = pending;
            m_begin = 0;
        }
        if (m_end == m_buffer.size())
            m_buffer.resize(m_buffer.size() * 2); // a line longer than the buffer
        const std::ptrdiff_t got = m_source->Read(m_buffer.data() + m_end, m_buffer.size() - m_end);
        if (got <= 0)
        {
            m_eof = true;
            m_failed = got < 0;
            return false;
        }
        m_end += static_cast<std::size_t>(got);
        return true;
    }

    bool ZoneLineReader::ReadLine(std::string_view& line)
    {
        for (;;)
        {
            const char* data = m_buffer.data();
            const void* lf = m_scanned < m_end ? std::memchr(data + m_scanned, '\n', m_end - m_scanned) : nullptr;
            if (lf != nullptr)
            {
                const std::size_t at = static_cast<std::size_t>(static_cast<const char*>(lf) - data);
                std::size_t length = at - m_begin;
                if (length > 0 && data[at - 1] == '\r')
                    --length;
                line = std::string_view(data + m_begin, length);
                m_begin = m_scanned = at + 1;
                return true;
            }
            m_scanned = m_end;
            if (!Refill())
            {
                // A read error ends the input: the partial line before it is
                // not delivered, since it may be cut short.
                if (m_failed || m_begin == m_end)
                    return false;
                line = std::string_view(m_buffer.data() + m_begin, m_end - m_begin);
                m_begin = m_scanned = m_end;
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
