// SPDX-License-Identifier: GPL-2.0-or-later
#include "singleinstance.h"

#include <fcntl.h>
#include <sys/file.h>
#include <unistd.h>

SingleInstance::SingleInstance() = default;

SingleInstance::~SingleInstance()
{
    while (!m_locks.empty()) {
        unlock(m_locks.begin()->first);
    }
}

bool SingleInstance::lock(const std::string &lockPath)
{
    if (m_locks.count(lockPath)) {
        return true;
    }
    const int fd = open(lockPath.c_str(), O_RDWR | O_CREAT | O_CLOEXEC, 0600);
    if (fd < 0) {
        return false;
    }
    if (flock(fd, LOCK_EX | LOCK_NB) != 0) {
        (void)close(fd);
        return false;
    }
    m_locks[lockPath] = fd;
    return true;
}

void SingleInstance::unlock(const std::string &lockPath)
{
    const auto it = m_locks.find(lockPath);
    if (it == m_locks.end()) {
        return;
    }
    (void)unlink(lockPath.c_str());
    (void)close(it->second);
    m_locks.erase(it);
}

void SingleInstance::forget()
{
    for (const auto &l : m_locks) {
        (void)close(l.second);
    }
    m_locks.clear();
}
