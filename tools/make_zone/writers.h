#pragma once

// Where make_zone's lines go: a writer of one line at a time for the two old
// registry layouts, a block writer for the master-file forms, and the output
// file's opening and closing with their error messages.

#include <cstdint>
#include <cstdio>
#include <cstring>
#include <charconv>
#include <functional>
#include <string>
#include <string_view>
#include <utility>
#include <vector>

namespace make_zone
{
    // One library call per line: the old registry layouts, whose zones are
    // small.
    class LineWriter final
    {
    public:
        LineWriter(std::FILE* file, bool crlf)
            : m_file(file)
            , m_eol(crlf ? "\r\n" : "\n")
        {
        }

        void Line(const std::string& text)
        {
            std::fwrite(text.data(), 1, text.size(), m_file);
            std::fwrite(m_eol.data(), 1, m_eol.size(), m_file);
            ++m_lines;
        }

        std::uint64_t lines() const { return m_lines; }

    private:
        std::FILE* m_file;
        std::string_view m_eol;
        std::uint64_t m_lines = 0;
    };

    // Output of the master-file forms: a large buffer written out in blocks,
    // so that a whole registry zone (a gigabyte and more) goes out at disk
    // speed rather than at the speed of a library call per field.
    class BlockWriter final
    {
    public:
        BlockWriter(std::FILE* file, bool crlf)
            : BlockWriter([file](std::string_view block) { std::fwrite(block.data(), 1, block.size(), file); }, crlf)
        {
        }

        // Blocks go to `sink` (a compressor, for one).
        BlockWriter(std::function<void(std::string_view)> sink, bool crlf)
            : m_sink(std::move(sink))
            , m_eol(crlf ? "\r\n" : "\n")
            , m_buffer(kSize)
        {
        }

        void Put(std::string_view text)
        {
            if (text.size() > kSize - m_used)
            {
                Flush();
                if (text.size() > kSize)
                {
                    m_sink(text);
                    return;
                }
            }
            std::memcpy(m_buffer.data() + m_used, text.data(), text.size());
            m_used += text.size();
        }

        void PutNumber(std::uint64_t value)
        {
            char digits[20];
            const auto result = std::to_chars(digits, digits + sizeof digits, value);
            Put(std::string_view(digits, static_cast<std::size_t>(result.ptr - digits)));
        }

        void EndLine()
        {
            Put(m_eol);
            ++m_lines;
        }

        void Line(std::string_view text)
        {
            Put(text);
            EndLine();
        }

        void Flush()
        {
            m_sink(std::string_view(m_buffer.data(), m_used));
            m_used = 0;
        }

        std::uint64_t lines() const { return m_lines; }

    private:
        static constexpr std::size_t kSize = std::size_t(1) << 20;
        std::function<void(std::string_view)> m_sink;
        std::string_view m_eol;
        std::vector<char> m_buffer;
        std::size_t m_used = 0;
        std::uint64_t m_lines = 0;
    };

    // Creates the file at `path`, has `write` fill it and closes it. Returns
    // 0, or 1 after a message on standard error when the file cannot be
    // created or written.
    int WriteZoneFile(const std::string& path, const std::function<void(std::FILE*)>& write);
}
