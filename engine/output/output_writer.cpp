#include "output/output_writer.h"

#include <cerrno>
#include <cstring>
#include <system_error>

#ifdef _WIN32
#include <fcntl.h>
#include <io.h>
#else
#include <unistd.h>
#endif

#include "scan/path_text.h"

namespace plexor
{
    namespace
    {
        std::FILE* CreateForWriting(const std::filesystem::path& path)
        {
#ifdef _WIN32
            return _wfopen(path.c_str(), L"wb");
#else
            return std::fopen(path.c_str(), "wb");
#endif
        }
    }

    void OutputWriter::AllocateBuffer()
    {
        if (!m_buffer)
            m_buffer.reset(new char[kBufferSize]);
        m_capacity = kBufferSize;
    }

    OutputWriter::~OutputWriter()
    {
        Close();
    }

    bool OutputWriter::Create(const std::filesystem::path& path)
    {
        Close();
        m_failed = false;
        m_error.clear();
        m_displayPath = PathText(path);
        std::error_code error;
        if (std::filesystem::is_directory(path, error))
        {
            m_error = std::make_error_code(std::errc::is_a_directory);
            return false;
        }
        errno = 0;
        m_file = CreateForWriting(path);
        if (m_file == nullptr)
        {
            m_error = std::error_code(errno, std::generic_category());
            return false;
        }
        // The writer buffers itself; stdio passes each block straight on.
        std::setvbuf(m_file, nullptr, _IONBF, 0);
        AllocateBuffer();
        m_used = 0;
        return true;
    }

    bool OutputWriter::OpenStandardOutput()
    {
        Close();
        m_failed = false;
        m_displayPath = kStandardOutputName;
        std::fflush(stdout);
#ifdef _WIN32
        const int fd = _dup(_fileno(stdout));
        if (fd < 0)
            return false;
        _setmode(fd, _O_BINARY);
        m_file = _fdopen(fd, "wb");
        if (m_file == nullptr)
            _close(fd);
#else
        const int fd = ::dup(STDOUT_FILENO);
        if (fd < 0)
            return false;
        m_file = ::fdopen(fd, "wb");
        if (m_file == nullptr)
            ::close(fd);
#endif
        if (m_file == nullptr)
            return false;
        std::setvbuf(m_file, nullptr, _IONBF, 0);
        AllocateBuffer();
        m_used = 0;
        return true;
    }

    void OutputWriter::CreateInMemory(std::string& sink, std::string displayPath)
    {
        Close();
        m_failed = false;
        m_error.clear();
        m_displayPath = std::move(displayPath);
        sink.clear();
        m_memorySink = &sink;
        AllocateBuffer();
        m_used = 0;
    }

    void OutputWriter::CreateForSink(OutputSink& sink, std::string displayPath)
    {
        Close();
        m_failed = false;
        m_error.clear();
        m_displayPath = std::move(displayPath);
        m_sink = &sink;
        AllocateBuffer();
        m_used = 0;
    }

    void OutputWriter::Fail(int errorNumber)
    {
        if (!m_failed && errorNumber != 0)
            m_error = std::error_code(errorNumber, std::generic_category());
        m_failed = true;
    }

    bool OutputWriter::WriteOut(const char* data, std::size_t size)
    {
        if (!IsOpen())
            m_failed = true;
        if (m_failed)
            return false;
        if (m_memorySink != nullptr)
        {
            m_memorySink->append(data, size);
            return true;
        }
        if (m_sink != nullptr)
        {
            if (size > 0 && !m_sink->Write(std::string_view(data, size)))
                Fail(EIO);
            return !m_failed;
        }
        errno = 0;
        if (size > 0 && std::fwrite(data, 1, size, m_file) != size)
            Fail(errno);
        return !m_failed;
    }

    bool OutputWriter::WriteSlow(std::string_view bytes)
    {
        if (m_failed)
            return false;
        if (bytes.size() > m_capacity - m_used)
        {
            if (!Flush())
                return false;
            if (bytes.size() >= m_capacity)
                return WriteOut(bytes.data(), bytes.size());
        }
        std::memcpy(m_buffer.get() + m_used, bytes.data(), bytes.size());
        m_used += bytes.size();
        return true;
    }

    bool OutputWriter::Flush()
    {
        if (m_failed)
            return false;
        const std::size_t used = m_used;
        m_used = 0;
        if (!WriteOut(m_buffer.get(), used))
            return false;
        if (m_file != nullptr && std::fflush(m_file) != 0)
            Fail(errno);
        return !m_failed;
    }

    bool OutputWriter::WriteAndFlush(std::string_view bytes)
    {
        if (m_used > 0)
            return Write(bytes) && Flush();
        if (!WriteOut(bytes.data(), bytes.size()))
            return false;
        if (m_file != nullptr && std::fflush(m_file) != 0)
            Fail(errno);
        return !m_failed;
    }

    bool OutputWriter::Close()
    {
        if (!IsOpen())
            return !m_failed;
        if (!m_failed)
            Flush();
        errno = 0;
        if (m_file != nullptr && std::fclose(m_file) != 0)
            Fail(errno);
        m_file = nullptr;
        m_memorySink = nullptr;
        m_sink = nullptr;
        m_buffer.reset();
        m_capacity = 0;
        m_used = 0;
        return !m_failed;
    }
}
