// SPDX-License-Identifier: GPL-2.0-or-later
#include "connection.h"

#include "appdata.h"
#include "protocol.h"

#include <cerrno>
#include <cstdint>
#include <cstring>
#include <poll.h>
#include <sys/socket.h>
#include <unistd.h>
#include <vector>

namespace {

// A stalled invoker must not hold a warmed booster for ever.
const int ReadTimeoutMs = 10000;

} // namespace

Connection::Connection(int socketFd, bool testMode)
    : m_fd(socketFd)
    , m_testMode(testMode)
{ }

Connection::~Connection()
{
    close();
}

bool Connection::connected() const
{
    if (m_fd < 0) {
        return false;
    }
    pollfd p = {m_fd, POLLIN | POLLRDHUP, 0};
    if (poll(&p, 1, 0) < 0) {
        return false;
    }
    if (p.revents & (POLLERR | POLLNVAL)) {
        return false;
    }
    if (!(p.revents & (POLLHUP | POLLRDHUP | POLLIN))) {
        return true;
    }
    // Readable: either data is pending or the peer has gone.
    char c;
    ssize_t n = recv(m_fd, &c, 1, MSG_PEEK | MSG_DONTWAIT);
    if (n < 0 && errno == ENOTSOCK) {
        n = (p.revents & POLLIN) ? 1 : 0;
    }
    return n > 0;
}

bool Connection::readFully(void *buffer, size_t size)
{
    char *p = static_cast<char *>(buffer);
    while (size > 0) {
        pollfd pfd = {m_fd, POLLIN, 0};
        const int r = poll(&pfd, 1, ReadTimeoutMs);
        if (r < 0 && errno == EINTR) {
            continue;
        }
        if (r <= 0) {
            return false;
        }
        const ssize_t n = read(m_fd, p, size);
        if (n < 0 && errno == EINTR) {
            continue;
        }
        if (n <= 0) {
            return false;
        }
        p += n;
        size -= size_t(n);
    }
    return true;
}

bool Connection::readWord(unsigned &value)
{
    uint32_t v;
    if (!readFully(&v, sizeof v)) {
        return false;
    }
    value = v;
    return true;
}

bool Connection::readString(std::string &value)
{
    unsigned length;
    if (!readWord(length) || length > FERRUND_MAX_STRING) {
        return false;
    }
    value.assign(length, '\0');
    if (length > 0 && !readFully(value.data(), length)) {
        return false;
    }
    // The strings end up as C strings: an embedded NUL would cut them short.
    return value.find('\0') == std::string::npos;
}

bool Connection::receiveApplicationData(AppData *appData)
{
    if (m_fd < 0 || !appData) {
        return false;
    }
    char magic[4];
    unsigned version, flags, argc, envc;
    if (!readFully(magic, sizeof magic) || memcmp(magic, FERRUND_MAGIC_REQUEST, 4) != 0) {
        return false;
    }
    if (!readWord(version) || version != FERRUND_PROTOCOL_VERSION || !readWord(flags)) {
        return false;
    }
    if (!readWord(argc) || argc < 1 || argc > FERRUND_MAX_ARGS) {
        return false;
    }
    std::vector<std::string> arguments(argc);
    for (std::string &a : arguments) {
        if (!readString(a)) {
            return false;
        }
    }
    if (arguments.front().empty()) {
        return false;
    }
    if (!readWord(envc) || envc > FERRUND_MAX_ENV) {
        return false;
    }
    std::vector<std::string> environment(envc);
    for (std::string &e : environment) {
        if (!readString(e) || e.find('=') == std::string::npos) {
            return false;
        }
    }
    std::string cwd;
    if (!readString(cwd)) {
        return false;
    }
    appData->setArguments(arguments);
    appData->setEnvironment(environment);
    appData->setWorkingDirectory(cwd);
    m_waitExit = flags & FERRUND_WAIT_EXIT;
    if (!m_testMode && !writeMessage(FERRUND_MAGIC_ACCEPT, unsigned(getpid()))) {
        return false;
    }
    return true;
}

bool Connection::writeMessage(const char *magic, unsigned value)
{
    if (m_fd < 0) {
        return false;
    }
    char message[8];
    const uint32_t v = value;
    memcpy(message, magic, 4);
    memcpy(message + 4, &v, 4);
    size_t done = 0;
    while (done < sizeof message) {
        const ssize_t n = send(m_fd, message + done, sizeof message - done, MSG_NOSIGNAL);
        if (n < 0 && errno == EINTR) {
            continue;
        }
        if (n <= 0) {
            return false;
        }
        done += size_t(n);
    }
    return true;
}

bool Connection::reportAppExitStatus(int status)
{
    if (m_testMode) {
        return m_fd >= 0;
    }
    return writeMessage(FERRUND_MAGIC_EXIT, unsigned(status & 0xff));
}

void Connection::close()
{
    if (m_fd >= 0) {
        (void)::close(m_fd);
        m_fd = -1;
    }
}
