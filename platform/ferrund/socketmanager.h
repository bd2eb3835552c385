// SPDX-License-Identifier: GPL-2.0-or-later
#pragma once

#include <map>
#include <string>

// The listening sockets of the boosters, one per socket path.
class SocketManager
{
public:
    SocketManager();
    ~SocketManager();
    SocketManager(const SocketManager &) = delete;
    SocketManager &operator=(const SocketManager &) = delete;

    // Creates (replacing a stale file) and listens on the Unix socket at
    // path; the descriptor, or -1 with the reason logged.
    int initSocket(const std::string &path);
    // The descriptor listening on path, or -1.
    int findSocket(const std::string &path) const;
    // Closes the socket on path and removes its file.
    void closeSocket(const std::string &path);
    // Closes every socket but the one on keep, leaving the files; for a
    // child process.
    void closeOthers(const std::string &keep);
    // Closes every socket; with unlinkFiles also removes the socket files.
    void closeAll(bool unlinkFiles);

private:
    std::map<std::string, int> m_sockets;
};
