#pragma once

// A named pipe as the zone file, held open for writing: the run reads what
// the test writes into it and waits for more, so it stays active until the
// test closes the pipe (the run then sees the end of the file). POSIX only.

#include <QtGlobal>

#ifdef Q_OS_UNIX
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <QByteArray>
#include <QFile>
#include <QString>

namespace plexor::test
{
    class ZonePipe final
    {
    public:
        // `firstLines`, when given, are written at once.
        explicit ZonePipe(const QString& path, const QByteArray& firstLines = {})
        {
            const QByteArray name = QFile::encodeName(path);
            if (::mkfifo(name.constData(), 0600) == 0)
                m_fd = ::open(name.constData(), O_RDWR | O_NONBLOCK);
            if (!firstLines.isEmpty() && !Write(firstLines))
                Close();
        }

        ~ZonePipe() { Close(); }
        ZonePipe(const ZonePipe&) = delete;
        ZonePipe& operator=(const ZonePipe&) = delete;

        bool IsOpen() const { return m_fd >= 0; }

        void Queue(const QByteArray& bytes) { m_pending += bytes; }

        // Writes as much as the pipe takes now; true once all is written.
        bool Pump()
        {
            while (m_fd >= 0 && m_written < m_pending.size())
            {
                const ssize_t count = ::write(m_fd, m_pending.constData() + m_written,
                                              static_cast<std::size_t>(m_pending.size() - m_written));
                if (count <= 0)
                    return false;
                m_written += count;
            }
            return m_fd >= 0;
        }

        // Queue and Pump: true once the bytes are all in the pipe.
        bool Write(const QByteArray& bytes)
        {
            Queue(bytes);
            return Pump();
        }

        void Close()
        {
            if (m_fd >= 0)
                ::close(m_fd);
            m_fd = -1;
        }

    private:
        int m_fd = -1;
        QByteArray m_pending;
        qsizetype m_written = 0;
    };
}
#endif
