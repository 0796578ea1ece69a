#pragma once

// The output file: created empty (an existing file is truncated), written in
// binary so every byte reaches the file unchanged. Writes are buffered; every
// write, flush and close is checked, and the first failure sticks.

#include <cstddef>
#include <cstdio>
#include <cstring>
#include <filesystem>
#include <memory>
#include <string>
#include <string_view>
#include <system_error>
#include <vector>

namespace plexor
{
    // Where a writer opened with CreateForSink hands its bytes, a flush at a
    // time (a run over many zones combines their outputs so).
    class OutputSink
    {
    public:
        virtual ~OutputSink() = default;
        // False when the bytes could not be taken; the writer then fails.
        virtual bool Write(std::string_view bytes) = 0;
    };

    class OutputWriter final
    {
    public:
        OutputWriter() = default;
        ~OutputWriter();
        OutputWriter(const OutputWriter&) = delete;
        OutputWriter& operator=(const OutputWriter&) = delete;

        // Creates or truncates the file; false if that is not possible or the
        // path names a directory. Any file opened before is closed first.
        bool Create(const std::filesystem::path& path);
        // Writes to the process's standard output instead of a file, through
        // a copy of its descriptor that Close closes; false if it is closed.
        // Its display path is kStandardOutputName.
        bool OpenStandardOutput();
        // Collects the bytes in the given string instead of a file (tests and
        // fuzzing); the string must outlive the writer's use of it.
        void CreateInMemory(std::string& sink, std::string displayPath = "<memory>");
        // Hands the bytes to `sink` instead of a file; the sink must outlive
        // the writer's use of it. A refused write fails the writer (EIO).
        void CreateForSink(OutputSink& sink, std::string displayPath);
        bool IsOpen() const { return m_file != nullptr || m_memorySink != nullptr || m_sink != nullptr; }

        // Each returns false once any write, flush or close has failed.
        // Inline for the common case of bytes that fit the buffer.
        bool Write(std::string_view bytes)
        {
            if (bytes.size() <= m_capacity - m_used && !m_failed)
            {
                std::memcpy(m_buffer.get() + m_used, bytes.data(), bytes.size());
                m_used += bytes.size();
                return true;
            }
            return WriteSlow(bytes);
        }
        bool Flush();
        // Write(bytes) then Flush(), taking the bytes straight from the
        // caller's memory when nothing else is buffered.
        bool WriteAndFlush(std::string_view bytes);
        // Flushes and closes; false if that or anything before it failed.
        bool Close();

        bool Failed() const { return m_failed; }
        // Why Create returned false or the first failure happened: the
        // system's error, or empty when there is none.
        const std::error_code& Error() const { return m_error; }
        const std::string& DisplayPath() const { return m_displayPath; }

        static constexpr std::size_t kBufferSize = 256 * 1024;
        static constexpr const char* kStandardOutputName = "(standard output)";

    private:
        void AllocateBuffer();
        bool WriteSlow(std::string_view bytes);
        bool WriteOut(const char* data, std::size_t size);
        // Marks the writer failed; the first failure's errno is kept.
        void Fail(int errorNumber);

        std::FILE* m_file = nullptr;
        std::string* m_memorySink = nullptr;
        OutputSink* m_sink = nullptr;
        // Not value-initialised: only the part a run fills is ever touched.
        std::unique_ptr<char[]> m_buffer;
        std::size_t m_capacity = 0;
        std::size_t m_used = 0;
        bool m_failed = false;
        std::error_code m_error;
        std::string m_displayPath;
    };
}
