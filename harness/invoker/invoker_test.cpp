// SPDX-License-Identifier: GPL-2.0-or-later
// The invoker client against a scripted booster on a socket of its own: what
// it sends, and how it ends for each answer.
#include "qktest.h"

#include <protocol.h>

#include <gtest/gtest.h>

#include <cstdint>
#include <cstring>
#include <string>
#include <sys/socket.h>
#include <sys/stat.h>
#include <sys/un.h>
#include <thread>
#include <unistd.h>

namespace {

std::string word(uint32_t v)
{
    return std::string(reinterpret_cast<const char *>(&v), sizeof v);
}

// Accepts one invoker, reads its whole request up to the working directory
// the test expects at the end, then sends reply and closes.
class ScriptedBooster
{
public:
    ScriptedBooster(const std::string &path, const std::string &reply,
                    const std::string &requestEnd)
    {
        m_fd = socket(AF_UNIX, SOCK_STREAM, 0);
        sockaddr_un addr = {};
        addr.sun_family = AF_UNIX;
        strncpy(addr.sun_path, path.c_str(), sizeof addr.sun_path - 1);
        EXPECT_EQ(bind(m_fd, reinterpret_cast<sockaddr *>(&addr), sizeof addr), 0);
        EXPECT_EQ(listen(m_fd, 1), 0);
        m_thread = std::thread([this, reply, requestEnd] {
            const int c = accept(m_fd, nullptr, nullptr);
            char buffer[4096];
            ssize_t n;
            while (m_request.size() < requestEnd.size()
                   || m_request.compare(
                          m_request.size() - requestEnd.size(), requestEnd.size(), requestEnd)
                       != 0) {
                if ((n = read(c, buffer, sizeof buffer)) <= 0) {
                    break;
                }
                m_request.append(buffer, size_t(n));
            }
            if (!reply.empty()) {
                (void)!write(c, reply.data(), reply.size());
            }
            close(c);
        });
    }
    ~ScriptedBooster()
    {
        finish();
        close(m_fd);
    }
    // What the invoker sent, once the exchange is over.
    const std::string &request()
    {
        finish();
        return m_request;
    }

private:
    void finish()
    {
        if (m_thread.joinable()) {
            m_thread.join();
        }
    }

public:
private:
    int m_fd;
    std::thread m_thread;
    std::string m_request;
};

TEST(Invoker, EndsAsTheBoosterAnswers)
{
    const std::string accept = std::string(FERRUND_MAGIC_ACCEPT) + word(4242);
    struct Case
    {
        const char *name;
        bool wait;
        std::string reply;
        int status;
        std::string err;
    };
    const Case cases[] = {
        {"accepted, not waiting", false, accept, 0, ""},
        {"accepted, exit status 3", true, accept + FERRUND_MAGIC_EXIT + word(3), 3, ""},
        {"accepted, exit status 0", true, accept + FERRUND_MAGIC_EXIT + word(0), 0, ""},
        {"refused", true, "", 125, "ferrund-invoke: the booster refused the launch request\n"},
        {"bad answer",
         false,
         "NOPE" + word(1),
         125,
         "ferrund-invoke: the booster refused the launch request\n"},
        {"application died",
         true,
         accept,
         125,
         "ferrund-invoke: the application ended without an exit status\n"},
    };
    for (const Case &c : cases) {
        qk::TempDir dir;
        const std::string socketPath = dir.file("s");
        qk::RunResult r;
        {
            ScriptedBooster booster(
                socketPath, c.reply, word(uint32_t(dir.path().size())) + dir.path());
            qk::RunOptions o;
            o.clearEnv = true;
            o.env["ONLY"] = "this";
            o.cwd = dir.path();
            std::vector<std::string> argv = {INVOKER_PATH, "-s", socketPath};
            if (c.wait) {
                argv.push_back("-w");
            }
            argv.insert(argv.end(), {"/bin/true", "a b", ""});
            r = qk::run(argv, o);
        }
        EXPECT_EQ(r.status, c.status) << c.name;
        EXPECT_EQ(r.err, c.err) << c.name;
    }
}

TEST(Invoker, SendsTheRequestOfTheProtocol)
{
    qk::TempDir dir;
    const std::string socketPath = dir.file("s");
    const std::string cwd = dir.path();
    // argv[0] resolved to an absolute path, the other arguments as given,
    // the whole environment and the working directory.
    ASSERT_EQ(mkdir(dir.file("bin").c_str(), 0755), 0);
    const std::string app = dir.file("bin/app");
    qk::writeFile(app, "#!/bin/sh\n", 0755);
    const std::string path = "PATH=" + dir.file("none") + ":" + dir.file("bin");
    // The environment goes in the order the invoker holds it, which the
    // 32-bit emulator reverses.
    const std::string head = std::string(FERRUND_MAGIC_REQUEST) + word(FERRUND_PROTOCOL_VERSION)
        + word(FERRUND_WAIT_EXIT) + word(3) + word(uint32_t(app.size())) + app + word(3) + "a b"
        + word(0) + word(2);
    const std::string only = word(9) + "ONLY=this";
    const std::string pathEntry = word(uint32_t(path.size())) + path;
    const std::string tail = word(uint32_t(cwd.size())) + cwd;
    ScriptedBooster booster(socketPath,
                            std::string(FERRUND_MAGIC_ACCEPT) + word(1) + FERRUND_MAGIC_EXIT
                                + word(0),
                            word(uint32_t(cwd.size())) + cwd);
    qk::RunOptions o;
    o.clearEnv = true;
    o.env["ONLY"] = "this";
    o.env["PATH"] = path.substr(5);
    o.cwd = cwd;
    EXPECT_EQ(qk::run({INVOKER_PATH, "-w", "-s", socketPath, "app", "a b", ""}, o).status, 0);
    const std::string request = booster.request();
    if (request.find(pathEntry + only) != std::string::npos) {
        EXPECT_EQ(request, head + pathEntry + only + tail);
    } else {
        EXPECT_EQ(request, head + only + pathEntry + tail);
    }
}

// A listening socket that nobody accepts on, as when no booster waits on it.
class DeafSocket
{
public:
    DeafSocket(const std::string &path, int backlog, bool queueFull)
    {
        m_fd = socket(AF_UNIX, SOCK_STREAM, 0);
        sockaddr_un addr = {};
        addr.sun_family = AF_UNIX;
        strncpy(addr.sun_path, path.c_str(), sizeof addr.sun_path - 1);
        EXPECT_EQ(bind(m_fd, reinterpret_cast<sockaddr *>(&addr), sizeof addr), 0);
        EXPECT_EQ(listen(m_fd, backlog), 0);
        if (queueFull) {
            m_queued = socket(AF_UNIX, SOCK_STREAM | SOCK_NONBLOCK, 0);
            EXPECT_EQ(connect(m_queued, reinterpret_cast<sockaddr *>(&addr), sizeof addr), 0);
        }
    }
    ~DeafSocket()
    {
        if (m_queued >= 0) {
            close(m_queued);
        }
        close(m_fd);
    }

private:
    int m_fd;
    int m_queued = -1;
};

TEST(Invoker, GivesUpWhenNoBoosterTakesTheRequest)
{
    struct Case
    {
        const char *name;
        bool queueFull;
        size_t environmentBytes;
    };
    const Case cases[] = {
        {"queued, no answer", false, 0},
        {"queue full, connect would block", true, 0},
        {"request larger than the socket buffers", false, 1u << 20},
    };
    for (const Case &c : cases) {
        qk::TempDir dir;
        const std::string socketPath = dir.file("s");
        DeafSocket deaf(socketPath, c.queueFull ? 0 : 16, c.queueFull);
        qk::RunOptions o;
        o.clearEnv = true;
        for (size_t i = 0; i * 60000 < c.environmentBytes; ++i) {
            o.env["BIG" + std::to_string(i)] = std::string(60000, 'x');
        }
        o.timeoutSeconds = 20;
        const qk::RunResult r
            = qk::run({INVOKER_PATH, "-w", "-t", "1", "-s", socketPath, "/bin/true"}, o);
        EXPECT_EQ(r.status, 125) << c.name;
        EXPECT_EQ(r.err, "ferrund-invoke: no booster took the launch request within 1 s\n")
            << c.name;
    }
}

TEST(Invoker, RejectsABadTimeLimit)
{
    for (const char *limit : {"0", "-1", "x", "1x", "", "86401"}) {
        const qk::RunResult r = qk::run({INVOKER_PATH, "-t", limit, "/bin/true"});
        EXPECT_EQ(r.status, 125) << limit;
        EXPECT_EQ(r.err.rfind("Usage: ferrund-invoke", 0), 0u) << limit << ": " << r.err;
    }
}

TEST(Invoker, FailsWithoutABooster)
{
    qk::TempDir dir;
    const qk::RunResult r = qk::run({INVOKER_PATH, "-s", dir.file("none"), "/bin/true"});
    EXPECT_EQ(r.status, 125);
    EXPECT_EQ(r.err, "ferrund-invoke: cannot connect to the booster\n");
    const qk::RunResult missing
        = qk::run({INVOKER_PATH, "-s", dir.file("none"), "no-such-program-here"});
    EXPECT_EQ(missing.status, 125);
    EXPECT_EQ(missing.err, "ferrund-invoke: program not found\n");
}

} // namespace
