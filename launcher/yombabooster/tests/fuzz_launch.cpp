// SPDX-License-Identifier: GPL-2.0-or-later
// Sends arbitrary bytes as a launch request to the booster, in boot mode and
// through its event loop, over a socket pair per input. A reference reader of
// the invoker protocol, written here, says whether the request is complete
// and well formed: then the booster must take exactly its data, otherwise
// refuse it and close the connection. Either way it must take the next
// well-formed request.
#include "yombabooster.h"

#include <appdata.h>
#include <connection.h>
#include <protocol.h>

#include <cerrno>
#include <cstdint>
#include <cstdlib>
#include <cstring>
#include <string>
#include <sys/socket.h>
#include <unistd.h>
#include <vector>

namespace {

void check(bool ok)
{
    if (!ok) {
        abort();
    }
}

struct Request
{
    bool valid = false;
    bool waitExit = false;
    std::vector<std::string> arguments;
    std::vector<std::string> environment;
    std::string workingDirectory;
};

class Reader
{
public:
    Reader(const uint8_t *data, size_t size)
        : m_data(data)
        , m_size(size)
    { }

    bool word(uint32_t &value)
    {
        if (m_size - m_at < 4) {
            return false;
        }
        memcpy(&value, m_data + m_at, 4);
        m_at += 4;
        return true;
    }

    bool string(std::string &value)
    {
        uint32_t length;
        if (!word(length) || length > FERRUND_MAX_STRING || m_size - m_at < length) {
            return false;
        }
        value.assign(reinterpret_cast<const char *>(m_data + m_at), length);
        m_at += length;
        return value.find('\0') == std::string::npos;
    }

private:
    const uint8_t *m_data;
    size_t m_size;
    size_t m_at = 0;
};

Request parse(const uint8_t *data, size_t size)
{
    Request r;
    Reader in(data, size);
    uint32_t magic, version, flags, argc, envc;
    uint32_t expectedMagic;
    memcpy(&expectedMagic, FERRUND_MAGIC_REQUEST, 4);
    if (!in.word(magic) || magic != expectedMagic || !in.word(version)
        || version != FERRUND_PROTOCOL_VERSION || !in.word(flags) || !in.word(argc) || argc < 1
        || argc > FERRUND_MAX_ARGS) {
        return r;
    }
    r.arguments.resize(argc);
    for (std::string &a : r.arguments) {
        if (!in.string(a)) {
            return r;
        }
    }
    if (r.arguments[0].empty() || !in.word(envc) || envc > FERRUND_MAX_ENV) {
        return r;
    }
    r.environment.resize(envc);
    for (std::string &e : r.environment) {
        if (!in.string(e) || e.find('=') == std::string::npos) {
            return r;
        }
    }
    r.valid = in.string(r.workingDirectory);
    r.waitExit = flags & FERRUND_WAIT_EXIT;
    return r;
}

struct Outcome
{
    bool result;
    std::string reply; // what the invoker read
    bool closed; // the invoker saw the end of the connection
};

// One request over a fresh socket pair whose sending side is shut after it.
Outcome send(Booster &booster, const uint8_t *data, size_t size)
{
    int fds[2];
    check(socketpair(AF_UNIX, SOCK_STREAM, 0, fds) == 0);
    check(size == 0 || write(fds[0], data, size) == ssize_t(size));
    check(shutdown(fds[0], SHUT_WR) == 0);

    Outcome o;
    o.result = booster.receiveDataFromInvoker(fds[1]);
    char buffer[64];
    ssize_t n;
    while ((n = recv(fds[0], buffer, sizeof buffer, MSG_DONTWAIT)) > 0) {
        o.reply.append(buffer, size_t(n));
    }
    // A booster that leaves part of the request unread resets the connection.
    check(n == 0 || errno == EAGAIN || errno == ECONNRESET);
    o.closed = n == 0 || errno == ECONNRESET;
    // As the booster's run loop does after each request.
    booster.setConnection(nullptr);
    close(fds[0]);
    return o;
}

std::string acceptance()
{
    std::string a(FERRUND_MAGIC_ACCEPT);
    const uint32_t pid = uint32_t(getpid());
    return a.append(reinterpret_cast<const char *>(&pid), sizeof pid);
}

void checkAccepted(Booster &booster, const Request &expected)
{
    const AppData *app = booster.appData();
    check(app->argc() == int(expected.arguments.size()));
    for (size_t i = 0; i < expected.arguments.size(); ++i) {
        check(app->argv()[i] && app->argv()[i] == expected.arguments[i]);
    }
    check(app->argv()[expected.arguments.size()] == nullptr);
    check(app->environment() == expected.environment);
    check(app->workingDirectory() == expected.workingDirectory);
}

// A request that every booster must take, whatever came before it.
const uint8_t nextRequest[] = {
    'F', 'R', 'N', 'V', 1,   0, 0, 0, 0,   0,   0,   0, // version 1, no flags
    1,   0,   0,   0,   4,   0, 0, 0, '/', 'a', 'p', 'p', // argv: "/app"
    1,   0,   0,   0,   3,   0, 0, 0, 'A', '=', '1', // env: "A=1"
    1,   0,   0,   0,   '/', // cwd "/"
};

void checkBooster(Booster &booster, const uint8_t *data, size_t size)
{
    const Request expected = parse(data, size);
    const Outcome o = send(booster, data, size);
    check(o.result == expected.valid);
    if (expected.valid) {
        checkAccepted(booster, expected);
        check(o.reply == acceptance());
        check(o.closed != expected.waitExit);
    } else if (size == 0 && !booster.bootMode()) {
        // Nobody came: nothing to refuse and nothing closed.
        check(o.reply.empty() && !o.closed);
    } else {
        check(o.reply.empty() && o.closed);
    }

    const Outcome next = send(booster, nextRequest, sizeof nextRequest);
    check(next.result && next.reply == acceptance() && next.closed);
    checkAccepted(booster, parse(nextRequest, sizeof nextRequest));
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t *data, size_t size)
{
    static YombaBooster *boosters[2];
    if (!boosters[0]) {
        static char name[] = "fuzz";
        static char *argv[] = {name, nullptr};
        for (int boot = 0; boot < 2; ++boot) {
            boosters[boot] = new YombaBooster;
            boosters[boot]->initialize(1, argv, -1, -1, nullptr, boot == 1);
        }
    }
    for (YombaBooster *booster : boosters) {
        checkBooster(*booster, data, size);
    }
    return 0;
}
