// SPDX-License-Identifier: GPL-2.0-or-later
#include "socketmanager.h"

#include "logger.h"

#include <cerrno>
#include <cstring>
#include <sys/socket.h>
#include <sys/un.h>
#include <unistd.h>

SocketManager::SocketManager() = default;

SocketManager::~SocketManager()
{
    closeAll(false);
}

int SocketManager::initSocket(const std::string &path)
{
    const int existing = findSocket(path);
    if (existing >= 0) {
        return existing;
    }
    sockaddr_un addr = {};
    addr.sun_family = AF_UNIX;
    if (path.empty() || path.size() >= sizeof addr.sun_path) {
        Logger::logError("ferrund: bad socket path %s", path.c_str());
        return -1;
    }
    memcpy(addr.sun_path, path.c_str(), path.size() + 1);
    const int fd = socket(AF_UNIX, SOCK_STREAM | SOCK_CLOEXEC, 0);
    if (fd < 0) {
        Logger::logError("ferrund: socket: %s", strerror(errno));
        return -1;
    }
    (void)unlink(path.c_str());
    if (bind(fd, reinterpret_cast<sockaddr *>(&addr), sizeof addr) != 0 || listen(fd, 16) != 0) {
        Logger::logError("ferrund: cannot listen on %s: %s", path.c_str(), strerror(errno));
        (void)close(fd);
        return -1;
    }
    m_sockets[path] = fd;
    return fd;
}

int SocketManager::findSocket(const std::string &path) const
{
    const auto it = m_sockets.find(path);
    return it == m_sockets.end() ? -1 : it->second;
}

void SocketManager::closeSocket(const std::string &path)
{
    const auto it = m_sockets.find(path);
    if (it == m_sockets.end()) {
        return;
    }
    (void)close(it->second);
    (void)unlink(path.c_str());
    m_sockets.erase(it);
}

void SocketManager::closeOthers(const std::string &keep)
{
    for (auto it = m_sockets.begin(); it != m_sockets.end();) {
        if (it->first == keep) {
            ++it;
            continue;
        }
        (void)close(it->second);
        it = m_sockets.erase(it);
    }
}

void SocketManager::closeAll(bool unlinkFiles)
{
    for (const auto &s : m_sockets) {
        (void)close(s.second);
        if (unlinkFiles) {
            (void)unlink(s.first.c_str());
        }
    }
    m_sockets.clear();
}
