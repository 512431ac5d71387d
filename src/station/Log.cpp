#include "Log.h"

#include <QByteArray>
#include <cstdio>

#ifdef Q_OS_UNIX
#include <cerrno>
#include <climits>
#include <csignal>
#include <fcntl.h>
#include <poll.h>
#include <unistd.h>
#endif

void Log::line(const QString& text)
{
    QByteArray bytes = text.toUtf8();
    bytes.replace('\n', ' ');
#ifdef Q_OS_UNIX
    // Up to PIPE_BUF bytes go into a pipe whole or not at all, and a pipe that polls writable
    // has room for them: the write below cannot block.
    if (bytes.size() > PIPE_BUF - 1)
        bytes.truncate(PIPE_BUF - 1);
    bytes += '\n';
    pollfd standardError{STDERR_FILENO, POLLOUT, 0};
    if (::poll(&standardError, 1, 0) != 1 || !(standardError.revents & POLLOUT))
        return;
    // A reader that has gone would end the program with SIGPIPE.
    static const bool pipeSignalIgnored = [] {
        std::signal(SIGPIPE, SIG_IGN);
        return true;
    }();
    Q_UNUSED(pipeSignalIgnored);
    ssize_t written;
    do {
        written = ::write(STDERR_FILENO, bytes.constData(), size_t(bytes.size()));
    } while (written < 0 && errno == EINTR);
#else
    bytes += '\n';
    std::fwrite(bytes.constData(), 1, size_t(bytes.size()), stderr);
    std::fflush(stderr);
#endif
}

void Log::takeQtMessages()
{
    qInstallMessageHandler(
        [](QtMsgType, const QMessageLogContext&, const QString& message) { line(message); });
}

void Log::ensureStandardStreams()
{
#ifdef Q_OS_UNIX
    for (int fd = STDIN_FILENO; fd <= STDERR_FILENO; ++fd) {
        if (::fcntl(fd, F_GETFD) == -1 && errno == EBADF) {
            const int opened = ::open("/dev/null", fd == STDIN_FILENO ? O_RDONLY : O_WRONLY);
            if (opened >= 0 && opened != fd) {
                ::dup2(opened, fd);
                ::close(opened);
            }
        }
    }
#endif
}
