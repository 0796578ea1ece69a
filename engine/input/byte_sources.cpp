#include "input/byte_sources.h"

#include <algorithm>
#include <cstdint>
#include <cstring>
#include <iterator>
#include <vector>

#include <cerrno>

#ifndef _WIN32
#include <unistd.h>
#endif

#include <zlib.h>

#ifdef PLEXOR_HAVE_ISAL
#include <isa-l/igzip_lib.h>
#endif

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

        enum class InflateStep
        {
            Progress,  // took input or gave output (or both); the member goes on
            MemberEnd, // the member's data is out and its trailer checked
            Error
        };

        // zlib's inflate on one gzip member at a time: it reads the member's
        // header and checks its trailer (CRC-32 and length).
        class ZlibMemberInflater final
        {
        public:
            ZlibMemberInflater() { m_ok = inflateInit2(&m_stream, 16 + MAX_WBITS) == Z_OK; }
            ~ZlibMemberInflater()
            {
                if (m_ok)
                    inflateEnd(&m_stream);
            }
            ZlibMemberInflater(const ZlibMemberInflater&) = delete;
            ZlibMemberInflater& operator=(const ZlibMemberInflater&) = delete;

            bool Ok() const { return m_ok; }
            void SetInput(unsigned char* data, std::uint32_t size)
            {
                m_stream.next_in = data;
                m_stream.avail_in = size;
            }
            const unsigned char* NextIn() const { return m_stream.next_in; }
            std::uint32_t AvailIn() const { return m_stream.avail_in; }
            void SetOutput(char* buffer, std::uint32_t size)
            {
                m_stream.next_out = reinterpret_cast<Bytef*>(buffer);
                m_stream.avail_out = size;
            }
            std::uint32_t AvailOut() const { return m_stream.avail_out; }

            InflateStep Inflate()
            {
                const int result = inflate(&m_stream, Z_NO_FLUSH);
                if (result == Z_STREAM_END)
                    return InflateStep::MemberEnd;
                return result == Z_OK || result == Z_BUF_ERROR ? InflateStep::Progress : InflateStep::Error;
            }

            // Ready for the next member; the pending input stays.
            bool StartMember() { return inflateReset(&m_stream) == Z_OK; }

        private:
            z_stream m_stream {};
            bool m_ok = false;
        };

#ifdef PLEXOR_HAVE_ISAL
        // Reads a gzip member's header (RFC 1952) byte by byte, in whatever
        // pieces it arrives: the magic, method 8 (deflate), no reserved flag,
        // and the optional extra field, name, comment and header checksum,
        // which is checked.
        class GzipHeaderReader final
        {
        public:
            // Takes header bytes from the front of [data, data + size) and
            // returns how many it took; then Done() or Failed() may be set.
            std::size_t Take(const unsigned char* data, std::size_t size)
            {
                std::size_t taken = 0;
                while (taken < size && m_part != Part::Done && m_part != Part::Failed)
                {
                    const unsigned char byte = data[taken++];
                    if (m_part != Part::HeaderCrc)
                        m_crc = crc32(m_crc, &byte, 1);
                    TakeByte(byte);
                }
                return taken;
            }

            bool Done() const { return m_part == Part::Done; }
            bool Failed() const { return m_part == Part::Failed; }
            void Restart() { *this = GzipHeaderReader(); }

        private:
            enum class Part
            {
                Fixed,       // magic, method, flags, time, extra flags, system
                ExtraLength, // two bytes, little-endian
                Extra,
                Name,    // up to a zero byte
                Comment, // up to a zero byte
                HeaderCrc,
                Done,
                Failed
            };

            static constexpr unsigned kHeaderCrcFlag = 0x02;
            static constexpr unsigned kExtraFlag = 0x04;
            static constexpr unsigned kNameFlag = 0x08;
            static constexpr unsigned kCommentFlag = 0x10;
            static constexpr unsigned kReservedFlags = 0xE0;

            void TakeByte(unsigned char byte)
            {
                switch (m_part)
                {
                case Part::Fixed:
                    if ((m_count == 0 && byte != 0x1F) || (m_count == 1 && byte != 0x8B) || (m_count == 2 && byte != 8)
                        || (m_count == 3 && (byte & kReservedFlags) != 0))
                    {
                        m_part = Part::Failed;
                        return;
                    }
                    if (m_count == 3)
                        m_flags = byte;
                    if (++m_count == 10)
                        NextPart(Part::ExtraLength);
                    return;
                case Part::ExtraLength:
                    m_length |= static_cast<std::uint32_t>(byte) << (8 * m_count);
                    if (++m_count == 2)
                        NextPart(m_length > 0 ? Part::Extra : Part::Name);
                    return;
                case Part::Extra:
                    if (++m_count == m_length)
                        NextPart(Part::Name);
                    return;
                case Part::Name:
                    if (byte == 0)
                        NextPart(Part::Comment);
                    return;
                case Part::Comment:
                    if (byte == 0)
                        NextPart(Part::HeaderCrc);
                    return;
                case Part::HeaderCrc:
                    if (byte != ((m_headerCrc >> (8 * m_count)) & 0xFF))
                    {
                        m_part = Part::Failed;
                        return;
                    }
                    if (++m_count == 2)
                        NextPart(Part::Done);
                    return;
                case Part::Done:
                case Part::Failed:
                    return;
                }
            }

            // Moves on to `part`, or past it when the flags leave it out.
            void NextPart(Part part)
            {
                m_count = 0;
                if (part == Part::ExtraLength && (m_flags & kExtraFlag) == 0)
                    part = Part::Name;
                if (part == Part::Extra && m_length == 0)
                    part = Part::Name;
                if (part == Part::Name && (m_flags & kNameFlag) == 0)
                    part = Part::Comment;
                if (part == Part::Comment && (m_flags & kCommentFlag) == 0)
                    part = Part::HeaderCrc;
                if (part == Part::HeaderCrc)
                {
                    if ((m_flags & kHeaderCrcFlag) == 0)
                        part = Part::Done;
                    m_headerCrc = static_cast<std::uint32_t>(m_crc);
                }
                m_part = part;
            }

            Part m_part = Part::Fixed;
            std::uint32_t m_count = 0; // bytes of the current part so far
            std::uint32_t m_length = 0; // of the extra field
            unsigned m_flags = 0;
            uLong m_crc = crc32(0, nullptr, 0); // of the header bytes so far
            std::uint32_t m_headerCrc = 0;
        };

        // ISA-L's igzip inflate on one gzip member at a time. The header is
        // read here (ISA-L 2.30 wrongly rejects a header checksum that spans
        // two of its calls); ISA-L, with crc_flag ISAL_GZIP_NO_HDR_VER,
        // inflates the data and checks the trailer: the CRC-32 and the length
        // (modulo 2^32) of the member's data.
        class IsalMemberInflater final
        {
        public:
            IsalMemberInflater()
                : m_state(std::make_unique<inflate_state>())
            {
                isal_inflate_init(m_state.get());
                m_state->crc_flag = ISAL_GZIP_NO_HDR_VER;
            }

            bool Ok() const { return true; }
            void SetInput(unsigned char* data, std::uint32_t size)
            {
                m_state->next_in = data;
                m_state->avail_in = size;
            }
            const unsigned char* NextIn() const { return m_state->next_in; }
            std::uint32_t AvailIn() const { return m_state->avail_in; }
            void SetOutput(char* buffer, std::uint32_t size)
            {
                m_state->next_out = reinterpret_cast<std::uint8_t*>(buffer);
                m_state->avail_out = size;
            }
            std::uint32_t AvailOut() const { return m_state->avail_out; }

            InflateStep Inflate()
            {
                inflate_state& state = *m_state;
                if (!m_header.Done())
                {
                    const std::size_t taken = m_header.Take(state.next_in, state.avail_in);
                    state.next_in += taken;
                    state.avail_in -= static_cast<std::uint32_t>(taken);
                    if (m_header.Failed())
                        return InflateStep::Error;
                    if (!m_header.Done() || state.avail_in == 0)
                        return InflateStep::Progress;
                }
                const int result = isal_inflate(&state);
                if (result < 0 || result == ISAL_NEED_DICT)
                    return InflateStep::Error;
                return state.block_state == ISAL_BLOCK_FINISH ? InflateStep::MemberEnd : InflateStep::Progress;
            }

            // Ready for the next member (the length check counts from 0
            // again); the reset clears the input and output too, so they are
            // put back.
            bool StartMember()
            {
                inflate_state& state = *m_state;
                std::uint8_t* nextIn = state.next_in;
                const std::uint32_t availIn = state.avail_in;
                std::uint8_t* nextOut = state.next_out;
                const std::uint32_t availOut = state.avail_out;
                isal_inflate_reset(&state);
                state.crc_flag = ISAL_GZIP_NO_HDR_VER;
                state.next_in = nextIn;
                state.avail_in = availIn;
                state.next_out = nextOut;
                state.avail_out = availOut;
                m_header.Restart();
                return true;
            }

        private:
            std::unique_ptr<inflate_state> m_state; // tens of kilobytes
            GzipHeaderReader m_header;
        };
#endif

        // Decompresses a gzip stream of one or more members with one of the
        // member inflaters above. Anything after a member that is not the
        // start of another member, and a stream that ends inside a member, is
        // an error.
        template <typename MemberInflater>
        class GzipSource final : public ByteSource
        {
        public:
            GzipSource(std::unique_ptr<ByteSource> raw, std::size_t inputBytes)
                : m_raw(std::move(raw))
                , m_input(std::max<std::size_t>(inputBytes, 2))
            {
                m_ok = m_inflater.Ok();
            }

            std::ptrdiff_t Read(char* buffer, std::size_t size) override
            {
                if (!m_ok)
                    return -1;
                if (m_finished || size == 0)
                    return 0;
                // Both inflaters count in 32-bit units.
                const auto capacity = static_cast<std::uint32_t>(std::min<std::size_t>(size, 1u << 30));
                m_inflater.SetOutput(buffer, capacity);
                while (m_inflater.AvailOut() == capacity)
                {
                    if (m_inflater.AvailIn() == 0)
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
                        m_inflater.SetInput(reinterpret_cast<unsigned char*>(m_input.data()),
                                            static_cast<std::uint32_t>(got));
                    }
                    if (m_betweenMembers)
                    {
                        // Another member must start with the magic bytes;
                        // the inflater checks the rest of its header.
                        if (!StartsNextMember())
                            return Fail();
                        m_betweenMembers = false;
                    }
                    const std::uint32_t availIn = m_inflater.AvailIn();
                    const InflateStep step = m_inflater.Inflate();
                    if (step == InflateStep::Error)
                        return Fail();
                    if (step == InflateStep::MemberEnd)
                    {
                        if (!m_inflater.StartMember())
                            return Fail();
                        m_betweenMembers = true;
                    }
                    else if (m_inflater.AvailIn() == availIn && m_inflater.AvailOut() == capacity)
                    {
                        // Input to go on with and room for output, yet no
                        // progress: damaged data must not spin for ever.
                        return Fail();
                    }
                }
                return static_cast<std::ptrdiff_t>(capacity - m_inflater.AvailOut());
            }

            // A failed read of the compressed bytes; empty for damaged data.
            std::error_code Error() const override { return m_raw->Error(); }

        private:
            // True when the pending input begins with 1F 8B. The first byte of
            // the magic may be the last of the input buffer; then the second
            // is fetched.
            bool StartsNextMember()
            {
                const unsigned char* next = m_inflater.NextIn();
                if (next[0] != 0x1F)
                    return false;
                if (m_inflater.AvailIn() >= 2)
                    return next[1] == 0x8B;
                m_input[0] = static_cast<char>(0x1F);
                const std::ptrdiff_t got = m_raw->Read(m_input.data() + 1, m_input.size() - 1);
                if (got <= 0)
                    return false;
                m_inflater.SetInput(reinterpret_cast<unsigned char*>(m_input.data()),
                                    static_cast<std::uint32_t>(got + 1));
                return static_cast<unsigned char>(m_input[1]) == 0x8B;
            }

            std::ptrdiff_t Fail()
            {
                m_ok = false;
                return -1;
            }

            std::unique_ptr<ByteSource> m_raw;
            std::vector<char> m_input;
            MemberInflater m_inflater;
            bool m_ok = false;
            bool m_betweenMembers = false;
            bool m_finished = false;
        };

        // The text without a UTF-8 byte-order mark in front, as Windows
        // editors write one: it is no part of the first line. Reads no
        // further than the first byte that differs from the mark, so a pipe
        // is not waited on for more.
        std::unique_ptr<ByteSource> WithoutByteOrderMark(std::unique_ptr<ByteSource> text)
        {
            static constexpr char kMark[] = {'\xEF', '\xBB', '\xBF'};
            char head[sizeof kMark];
            std::size_t have = 0;
            while (have < sizeof kMark)
            {
                // A failed read fails again, and is reported, when the
                // reader asks.
                const std::ptrdiff_t got = text->Read(head + have, sizeof kMark - have);
                if (got <= 0)
                    break;
                have += static_cast<std::size_t>(got);
                if (std::memcmp(head, kMark, have) != 0)
                    break;
            }
            if (have == sizeof kMark && std::memcmp(head, kMark, have) == 0)
                return text;
            return std::make_unique<PrefixedSource>(std::string(head, have), std::move(text));
        }

        constexpr Inflater kInflaters[] = {
            Inflater::Zlib,
#ifdef PLEXOR_HAVE_ISAL
            Inflater::Isal,
#endif
        };
    }

    std::span<const Inflater> AvailableInflaters()
    {
        return kInflaters;
    }

    Inflater DefaultInflater()
    {
        return kInflaters[std::size(kInflaters) - 1];
    }

    const char* InflaterName(Inflater inflater)
    {
        return inflater == Inflater::Isal ? "isal" : "zlib";
    }

    std::unique_ptr<ByteSource> MakeFileSource(std::FILE* file)
    {
        return std::make_unique<FileSource>(file);
    }

    std::unique_ptr<ByteSource> MakeMemorySource(std::string bytes)
    {
        return std::make_unique<MemorySource>(std::move(bytes));
    }

    std::unique_ptr<ByteSource> MakeDecodingSource(std::unique_ptr<ByteSource> raw, Inflater inflater,
                                                   std::size_t gzipInputBytes)
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
        if (!gzip)
            return WithoutByteOrderMark(std::move(prefixed));
#ifdef PLEXOR_HAVE_ISAL
        if (inflater == Inflater::Isal)
            return WithoutByteOrderMark(
                std::make_unique<GzipSource<IsalMemberInflater>>(std::move(prefixed), gzipInputBytes));
#else
        (void)inflater;
#endif
        return WithoutByteOrderMark(
            std::make_unique<GzipSource<ZlibMemberInflater>>(std::move(prefixed), gzipInputBytes));
    }
}
