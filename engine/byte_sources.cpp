#include "byte_sources.h"

#include <algorithm>
#include <cstring>
#include <vector>

#include <cerrno>

#ifndef _WIN32
#include <unistd.h>
#endif

#include <zlib.h>

namespace plexor
{
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
#ifdef _WIN32
                const std::size_t got = std::fread(buffer, 1, size, m_file);
                if (got == 0 && std::ferror(m_file))
                {
                    m_error = std::error_code(errno, std::generic_category());
                    return -1;
                }
                return static_cast<std::ptrdiff_t>(got);
#else
                // read() rather than fread(): a pipe then delivers what has
                // arrived instead of blocking until the buffer is full.
                for (;;)
                {
                    const ssize_t got = ::read(fileno(m_file), buffer, size);
                    if (got >= 0)
                        return static_cast<std::ptrdiff_t>(got);
                    if (errno != EINTR)
                    {
                        m_error = std::error_code(errno, std::generic_category());
                        return -1;
                    }
                }
#endif
            }

            std::error_code Error() const override { return m_error; }

        private:
            std::FILE* m_file;
            std::error_code m_error;
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

            std::error_code Error() const override { return m_rest->Error(); }

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

            // A failed read of the compressed bytes; empty for damaged data.
            std::error_code Error() const override { return m_raw->Error(); }

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
    }

    std::unique_ptr<ByteSource> MakeFileSource(std::FILE* file)
    {
        return std::make_unique<FileSource>(file);
    }

    std::unique_ptr<ByteSource> MakeMemorySource(std::string bytes)
    {
        return std::make_unique<MemorySource>(std::move(bytes));
    }

    std::unique_ptr<ByteSource> MakeDecodingSource(std::unique_ptr<ByteSource> raw)
    {
        // Sniff the gzip magic; the bytes read go back in front of the data.
        char magic[2];
        std::size_t have = 0;
        while (have < sizeof magic)
        {
            const std::ptrdiff_t got = raw->Read(magic + have, sizeof magic - have);
            if (got < 0)
                return nullptr;
            if (got == 0)
                break;
            have += static_cast<std::size_t>(got);
        }
        const bool gzip = have == 2 && static_cast<unsigned char>(magic[0]) == 0x1F
                       && static_cast<unsigned char>(magic[1]) == 0x8B;
        auto prefixed = std::make_unique<PrefixedSource>(std::string(magic, have), std::move(raw));
        if (gzip)
            return std::make_unique<GzipSource>(std::move(prefixed));
        return prefixed;
    }
}
