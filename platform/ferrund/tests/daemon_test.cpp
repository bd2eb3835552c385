// SPDX-License-Identifier: GPL-2.0-or-later
// The launcher library's daemon, entered through ferrund with a booster
// plug-in that needs no toolkit: launches, exit statuses, the replacement of
// used boosters, the single daemon per socket, a booster that dies at start,
// and its command line.
#include "qktest.h"

#include <gtest/gtest.h>

#include <string>
#include <sys/stat.h>

namespace {

size_t count(const std::string &text, const std::string &what)
{
    size_t n = 0;
    for (size_t at = text.find(what); at != std::string::npos; at = text.find(what, at + 1)) {
        ++n;
    }
    return n;
}

class Daemon : public ::testing::Test
{
protected:
    void SetUp() override
    {
        if (!qk::canUseMountNamespace()) {
            GTEST_SKIP() << "needs root and mount namespaces";
        }
    }

    qk::RunResult inNamespace(const std::vector<std::string> &command)
    {
        std::vector<std::string> argv
            = {INPLACE_PATH, "-b", FERRUND_LIBRARY, "/usr/lib/libferrund.so.0", "--"};
        argv.insert(argv.end(), command.begin(), command.end());
        qk::RunOptions o;
        o.env["TESTBOOSTER_SOCKET"] = "/tmp/testboosty";
        o.env["ASAN_OPTIONS"] = "detect_leaks=0";
        o.timeoutSeconds = 60;
        return qk::run(argv, o);
    }

    qk::TempDir m_dir;
};

TEST_F(Daemon, LaunchesInBoostersAndReplacesThem)
{
    const std::string notElf = m_dir.file("notelf");
    qk::writeFile(notElf, "#!/bin/sh\n", 0755);
    const qk::RunResult r = inNamespace({"bash",
                                         DAEMON_SESSION_SH,
                                         FERRUND_PATH,
                                         INVOKER_PATH,
                                         TESTBOOSTER_PATH,
                                         TESTAPP_PATH,
                                         notElf,
                                         m_dir.path()});
    const std::string log = qk::readFile(m_dir.file("daemon.log"));
    ASSERT_EQ(r.status, 0) << r.out << r.err << log;
    EXPECT_EQ(r.out,
              "waited=7\n"
              "not waiting=0\n"
              "not loadable=127\n"
              "second daemon=0\n" // the library's result is not ferrund's
              "daemon=0\n"
              "socket removed\n")
        << log;
    // The environment and working directory are the invoker's.
    EXPECT_EQ(qk::readFile(m_dir.file("daemon.out")),
              "app: [7] [two words] mark=from-invoker cwd=/tmp/work\n"
              "app: [0] mark=(unset) cwd=/tmp/work\n");
    EXPECT_EQ(count(log, "launched an application"), 3u) << log;
    EXPECT_EQ(count(log, "ferrund: cannot load " + notElf), 1u) << log;
    EXPECT_EQ(qk::readFile(m_dir.file("second.log")),
              "ferrund: another daemon serves /tmp/testboosty\n"
              "ferrund: no booster to run\n");
}

TEST_F(Daemon, RefusesInvokersAtOnceWhenABoosterDiedAtStart)
{
    // Without a booster that could take it, a request must not wait in the
    // socket's queue: the daemon gives the socket of u up once it has
    // reported the failure, no other booster keeps it open, and the invoker
    // fails to connect well before its limit. Booster t goes on serving.
    const char *const session = R"(
        mkfifo "$1/ready"
        TESTBOOSTER_U_SOCKET=/tmp/testboosty-u TESTBOOSTER_U_DIE_AT_START=1 DISPLAY=:0 \
            "$2" --ready-fd 3 --booster "$4" --booster "$5" 3> "$1/ready" > /dev/null 2> "$1/daemon.log" &
        daemon=$!
        exec 4< "$1/ready"
        read -r -t 30 -u 4 first
        read -r -t 30 -u 4 second
        printf '%s\n' "$first" "$second" | sed 's/ [0-9]*$//' | sort
        t=$(printf '%s\n' "$first" "$second" | sed -n 's/^ready t //p')
        "$3" -t 30 -s /tmp/testboosty-u "$6"
        echo "invoker=$?"
        [ -e /tmp/testboosty-u ] && echo "socket left" || echo "socket removed"
        for fd in /proc/$t/fd/*; do readlink "$fd"; done | sed -n 's/^socket:\[\([0-9]*\)\]$/\1/p' |
            while read -r inode; do awk -v i="$inode" '$7 == i { print $8 }' /proc/net/unix; done |
            sort | tr '\n' ' ' | sed 's/^/sockets of t: /; s/ $/\n/'
        "$3" -t 30 -s "$TESTBOOSTER_SOCKET" -w "$6" 3
        echo "t serves=$?"
        kill -TERM "$daemon"
        wait "$daemon"
        echo "daemon=$?"
    )";
    const qk::RunResult r = inNamespace({"bash",
                                         "-c",
                                         session,
                                         "session",
                                         m_dir.path(),
                                         FERRUND_PATH,
                                         INVOKER_PATH,
                                         TESTBOOSTER_PATH,
                                         TESTBOOSTER_U_PATH,
                                         TESTAPP_PATH});
    const std::string log = qk::readFile(m_dir.file("daemon.log"));
    EXPECT_EQ(r.out,
              "failed u\n"
              "ready t\n"
              "invoker=125\n"
              "socket removed\n"
              "sockets of t: /tmp/testboosty\n"
              "t serves=3\n"
              "daemon=0\n")
        << log;
    EXPECT_EQ(r.err, "ferrund-invoke: cannot connect to the booster\n");
    EXPECT_EQ(log, "ferrund: booster u died at start; not restarting it\n");
}

TEST_F(Daemon, CommandLine)
{
    struct Case
    {
        std::vector<std::string> args;
        std::string outStart;
        std::string err;
    };
    const Case cases[] = {
        {{"--help"}, "Usage: ferrund [--booster PLUGIN]...", ""},
        {{"-h", "--bogus"}, "Usage: ferrund", "ferrund: unknown argument --bogus\n"},
        {{"--bogus"}, "", "ferrund: unknown argument --bogus\n"},
        {{"--ready-fd", "x"}, "", "ferrund: bad readiness descriptor x\n"},
        {{"--ready-fd", ""}, "", "ferrund: bad readiness descriptor \n"},
        {{"--ready-fd", "99"}, "", "ferrund: bad readiness descriptor 99\n"}, // not open
        {{"--booster", FERRUND_LIBRARY},
         "",
         std::string("ferrund: ") + FERRUND_LIBRARY
             + " is not a booster plug-in\nferrund: no booster to run\n"},
    };
    for (const Case &c : cases) {
        std::vector<std::string> command = {"env", "DISPLAY=:0", FERRUND_PATH};
        command.insert(command.end(), c.args.begin(), c.args.end());
        const qk::RunResult r = inNamespace(command);
        EXPECT_EQ(r.status, 0) << c.args[0];
        EXPECT_EQ(r.out.rfind(c.outStart, 0), 0u) << r.out;
        EXPECT_EQ(r.err, c.err) << c.args[0];
    }
}

} // namespace
