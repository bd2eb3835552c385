// SPDX-License-Identifier: GPL-2.0-or-later
#include "eventhandler.h"

#include "booster.h"
#include "connection.h"

#include <cerrno>
#include <poll.h>

namespace {

const int IdleTimeoutMs = 10000;

} // namespace

EventHandler::EventHandler(Booster *parent)
    : m_parent(parent)
{ }

EventHandler::~EventHandler() = default;

void EventHandler::runEventLoop()
{
    Connection *connection = m_parent->connection();
    if (!connection || connection->fd() < 0) {
        return;
    }
    pollfd fds[2] = {
        {connection->fd(), POLLIN | POLLRDHUP, 0},
        {m_parent->daemonFd(), 0, 0}, // write end: reports POLLERR once the daemon is gone
    };
    const nfds_t count = fds[1].fd >= 0 ? 2 : 1;
    for (;;) {
        const int r = poll(fds, count, IdleTimeoutMs);
        if (r < 0 && errno == EINTR) {
            continue;
        }
        return;
    }
}
