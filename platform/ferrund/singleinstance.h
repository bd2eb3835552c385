// SPDX-License-Identifier: GPL-2.0-or-later
#pragma once

#include <map>
#include <string>

// Named process-wide locks, held until released or the process ends; the
// daemon uses one per socket path so that a second daemon cannot take over
// the sockets of a running one.
class SingleInstance
{
public:
    SingleInstance();
    ~SingleInstance();
    SingleInstance(const SingleInstance &) = delete;
    SingleInstance &operator=(const SingleInstance &) = delete;

    // Takes the lock file lockPath; false when another process holds it or
    // it cannot be created.
    bool lock(const std::string &lockPath);
    void unlock(const std::string &lockPath);
    // Drops every lock without removing the files; for a child process.
    void forget();

private:
    std::map<std::string, int> m_locks;
};
