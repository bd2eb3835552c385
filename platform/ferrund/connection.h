// SPDX-License-Identifier: GPL-2.0-or-later
#pragma once

#include <string>

class AppData;

// One invoker connected to a booster's socket (see protocol.h).
class Connection
{
public:
    // Takes over socketFd. In test mode nothing is written back to the peer,
    // so the descriptor may be a plain pipe.
    Connection(int socketFd, bool testMode);
    ~Connection();
    Connection(const Connection &) = delete;
    Connection &operator=(const Connection &) = delete;

    // True while the invoker is connected: the socket is open and the peer
    // has either data pending or not hung up.
    bool connected() const;

    // Reads one launch request into appData and acknowledges it. False when
    // the request is incomplete, malformed or too large.
    bool receiveApplicationData(AppData *appData);

    // Whether the invoker asked to get the exit status of the application.
    bool isReportAppExitStatusNeeded() const { return m_waitExit; }

    // Sends the application's exit status; false when it could not be sent.
    bool reportAppExitStatus(int status);

    void close();
    int fd() const { return m_fd; }

private:
    bool readFully(void *buffer, size_t size);
    bool readWord(unsigned &value);
    bool readString(std::string &value);
    bool writeMessage(const char *magic, unsigned value);

    int m_fd;
    bool m_testMode;
    bool m_waitExit = false;
};
