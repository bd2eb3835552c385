// SPDX-License-Identifier: GPL-2.0-or-later
// The frame's exits, seen from outside through the probe program.
#include "qktest.h"

#include <gtest/gtest.h>

#include <string>

namespace {

qk::RunResult probe(const std::vector<std::string> &args, qk::RunOptions options = {})
{
    std::vector<std::string> argv = {PROBE_PATH};
    argv.insert(argv.end(), args.begin(), args.end());
    options.env["LC_ALL"] = options.env.count("LC_ALL") ? options.env["LC_ALL"] : "C";
    return qk::run(argv, options);
}

std::string programName()
{
    return PROBE_PATH;
}

TEST(CloseStdout, ClosedStdoutWithNothingWrittenIsNotAnError)
{
    qk::RunOptions o;
    o.closeStdout = true;
    auto r = probe({"1", "exit", "3"}, o);
    EXPECT_EQ(r.status, 3);
    EXPECT_EQ(r.err, "");
}

TEST(CloseStdout, LostOutputIsReported)
{
    const struct
    {
        bool closed;
        const char *path;
        const char *failureStatus;
        int status;
        const char *reason;
    } cases[] = {
        {false, "/dev/full", "1", 1, "No space left on device"},
        {false, "/dev/full", "2", 2, "No space left on device"},
        {true, "", "2", 2, "Bad file descriptor"},
    };
    for (const auto &c : cases) {
        qk::RunOptions o;
        o.closeStdout = c.closed;
        o.stdoutPath = c.path;
        auto r = probe({c.failureStatus, "print", "hello\n"}, o);
        EXPECT_EQ(r.status, c.status) << c.path;
        EXPECT_EQ(r.err, programName() + ": write error: " + c.reason + "\n") << c.path;
    }
}

TEST(CloseStdout, SuccessfulOutputKeepsTheProgramStatus)
{
    auto r = probe({"1", "print", "hello\n"});
    EXPECT_EQ(r.status, 0);
    EXPECT_EQ(r.out, "hello\n");
    EXPECT_EQ(r.err, "");
}

TEST(MemoryExhausted, EndsWithTheFailureStatus)
{
    std::string longName(2000, 'n');
    for (const char *status : {"1", "2"}) {
        qk::RunOptions o;
        o.env["FAILALLOC_ABOVE"] = "1000";
        auto r = probe({status, "quote", longName}, o);
        EXPECT_EQ(r.status, std::stoi(status));
        EXPECT_EQ(r.out, "");
        EXPECT_EQ(r.err, programName() + ": memory exhausted\n");
    }
    qk::RunOptions o;
    o.env["FAILALLOC_ABOVE"] = "10";
    auto r = probe({"2", "strdup", longName}, o);
    EXPECT_EQ(r.status, 2);
    EXPECT_EQ(r.err, programName() + ": memory exhausted\n");
}

TEST(MatchArgumentOrDie, ReportsListsAndCallsTheHook)
{
    const std::string list = "Valid arguments are:\n"
                             "  - `none', `off'\n"
                             "  - `simple', `never'\n"
                             "  - `existing', `nil'\n"
                             "  - `numbered', `t'\n"
                             "Try 'probe --help' for more information.\n";
    auto bad = probe({"1", "keyword", "foo"});
    EXPECT_EQ(bad.status, 1);
    EXPECT_EQ(bad.err, programName() + ": invalid argument `foo' for `backup type'\n" + list);

    auto ambiguous = probe({"1", "keyword", "n"});
    EXPECT_EQ(ambiguous.status, 1);
    EXPECT_EQ(ambiguous.err, programName() + ": ambiguous argument `n' for `backup type'\n" + list);

    auto good = probe({"1", "keyword", "nu"});
    EXPECT_EQ(good.status, 0);
    EXPECT_EQ(good.out, "numbered\n");
}

TEST(VersionText, WholeText)
{
    auto r = probe({"1", "version"});
    EXPECT_EQ(r.status, 0);
    EXPECT_EQ(r.out,
              "probe (quellkit) 1.0\n"
              "Copyright (C) 2026 the Quellkit developers.\n"
              "Licence: GNU General Public License, version 2 or any later version.\n"
              "You may share and change this program under those terms.\n"
              "It comes with no warranty of any kind.\n"
              "\n"
              "Written by Ada Example.\n");
}

TEST(VersionText, NoAuthorAborts)
{
    auto r = probe({"1", "version", "none"});
    EXPECT_TRUE(r.signaled);
    EXPECT_EQ(r.status, 128 + 6);
}

TEST(Catalog, GermanMessagesFromTheInstalledPlace)
{
    if (!qk::canUseMountNamespace()) {
        GTEST_SKIP() << "needs root and mount namespaces";
    }
    qk::RunOptions o;
    o.env["LC_ALL"] = "de_DE.UTF-8";
    o.binds = {{LOCALE_DIR, "/usr/share/locale"}};
    auto r = probe({"1", "keyword", "foo"}, o);
    EXPECT_EQ(r.status, 1);
    EXPECT_EQ(r.err.substr(0, r.err.find('\n') + 1),
              programName() + ": ungültiges Argument „foo“ für „backup type“\n");
    EXPECT_NE(r.err.find("Gültige Argumente sind:\n  - `none', `off'\n"), std::string::npos);

    auto q = probe({"1", "quote", "caf\xc3\xa9 \xe2\x80\x9c"}, o);
    EXPECT_EQ(q.out, "„café \\““\n");
}

} // namespace
