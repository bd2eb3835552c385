// SPDX-License-Identifier: GPL-2.0-or-later
// getplatik against fixtures put in place of /etc/platik in a private mount
// namespace.
#include "platik.h"
#include "qktest.h"

#include <gtest/gtest.h>

#include <sstream>

#include <sys/stat.h>
#include <unistd.h>

namespace {

// How /etc/platik looks to the probe.
enum class Board { Missing, Content, Unreadable, Directory };

qk::RunResult probeWith(Board board, const std::string &content, const std::string &mode = "read",
                        const std::vector<std::string> &extra = {})
{
    qk::RunOptions o;
    o.overlays = {"/etc"};
    o.prepare = [board, content]() {
        unlink("/etc/platik");
        rmdir("/etc/platik");
        if (board == Board::Directory) {
            mkdir("/etc/platik", 0755);
        } else if (board != Board::Missing) {
            FILE *f = fopen("/etc/platik", "w");
            if (!f || fwrite(content.data(), 1, content.size(), f) != content.size()) {
                _exit(127);
            }
            fclose(f);
            chmod("/etc/platik", board == Board::Unreadable ? 0 : 0644);
        }
    };
    o.dropPrivileges = board == Board::Unreadable;
    std::vector<std::string> argv = {PROBE_PATH, mode};
    argv.insert(argv.end(), extra.begin(), extra.end());
    return qk::run(argv, o);
}

class Platik : public ::testing::Test
{
protected:
    void SetUp() override
    {
        if (!qk::canUseMountNamespace()) {
            GTEST_SKIP() << "needs root and mount namespaces";
        }
    }
};

const char openMessage[] = "Unable to open /etc/platik.\n";
const char readMessage[] = "Unable to read from /etc/platik.\n";

TEST_F(Platik, FirstLineOrAMessage)
{
    const std::string longLine(300, 'b');
    const struct
    {
        const char *what;
        Board board;
        std::string content;
        std::string out;
        const char *err;
    } cases[] = {
        {"name and newline", Board::Content, "snowboard-a1\n", "[snowboard-a1\n]\n", ""},
        {"no final newline", Board::Content, "snowboard-a1", "[snowboard-a1]\n", ""},
        {"second line ignored", Board::Content, "one\ntwo\n", "[one\n]\n", ""},
        {"empty first line", Board::Content, "\nname\n", "[\n]\n", ""},
        {"long first line",
         Board::Content,
         longLine + "\n",
         "[" + longLine.substr(0, 255) + "]\n",
         ""},
        {"empty file", Board::Content, "", "null\n", readMessage},
        {"missing file", Board::Missing, "", "null\n", openMessage},
        {"unreadable file", Board::Unreadable, "secret\n", "null\n", openMessage},
        {"directory", Board::Directory, "", "null\n", readMessage},
    };
    for (const auto &c : cases) {
        auto r = probeWith(c.board, c.content);
        EXPECT_EQ(r.status, 0) << c.what;
        EXPECT_EQ(r.out, c.out) << c.what;
        EXPECT_EQ(r.err, c.err) << c.what;
    }
}

TEST_F(Platik, NoDescriptorLeftOpen)
{
    for (Board board : {Board::Content, Board::Missing, Board::Directory}) {
        auto r = probeWith(board, "", "repeat", {"50"});
        EXPECT_EQ(r.status, 0);
        EXPECT_EQ(r.out, "0\n");
    }
}

TEST_F(Platik, EveryFailedAllocationLeavesNothingOpenOrAllocated)
{
    auto r = probeWith(Board::Content, "name", "nomem");
    ASSERT_EQ(r.status, 0);
    std::istringstream lines(r.out);
    std::string result, left;
    int calls = 0;
    bool nameBufferFailed = false;
    while (std::getline(lines, result) && std::getline(lines, left)) {
        ++calls;
        SCOPED_TRACE("allocation " + std::to_string(calls));
        // A failed read buffer only makes the stream unbuffered.
        EXPECT_TRUE(result == "null" || result == "[name]") << result;
        EXPECT_EQ(left, "0 0") << "descriptors and blocks left";
        nameBufferFailed |= result == "null";
    }
    EXPECT_GE(calls, 2) << r.out;
    EXPECT_TRUE(nameBufferFailed);
}

TEST_F(Platik, NothingLeakedUnderValgrind)
{
#ifdef QK_SANITIZE
    GTEST_SKIP() << "valgrind does not run sanitizer builds; LeakSanitizer watches them";
#else
    if (qk::underEmulation()) {
        GTEST_SKIP() << "valgrind does not run under the 32-bit emulator";
    }
    for (Board board : {Board::Content, Board::Missing, Board::Directory}) {
        qk::RunOptions o;
        o.overlays = {"/etc"};
        o.prepare = [board]() {
            unlink("/etc/platik");
            if (board == Board::Directory) {
                mkdir("/etc/platik", 0755);
            } else if (board == Board::Content) {
                FILE *f = fopen("/etc/platik", "w");
                fputs("name\n", f);
                fclose(f);
            }
        };
        auto r = qk::run({"valgrind",
                          "-q",
                          "--leak-check=full",
                          "--errors-for-leak-kinds=all",
                          "--track-fds=yes",
                          "--error-exitcode=3",
                          PROBE_PATH,
                          "repeat",
                          "3"},
                         o);
        EXPECT_EQ(r.status, 0) << r.err;
        EXPECT_EQ(r.err.find("Open file descriptor"), std::string::npos) << r.err;
    }
#endif
}

TEST(PlatikLibrary, OneExportAndOnlyLibc)
{
    auto d = qk::run({"readelf", "-d", "-W", LIBRARY_PATH});
    ASSERT_EQ(d.status, 0) << d.err;
    EXPECT_NE(d.out.find("Library soname: [libplatik.so.1]"), std::string::npos);
    std::vector<std::string> needed;
    for (size_t at = d.out.find("Shared library: ["); at != std::string::npos;
         at = d.out.find("Shared library: [", at + 1)) {
        size_t start = at + 17;
        needed.push_back(d.out.substr(start, d.out.find(']', start) - start));
    }
    for (const auto &lib : needed) {
#ifdef QK_SANITIZE
        if (lib.rfind("libasan", 0) == 0 || lib.rfind("libubsan", 0) == 0) {
            continue;
        }
#endif
        EXPECT_EQ(lib, "libc.so.6");
    }
    EXPECT_FALSE(needed.empty());

    auto s = qk::run({"nm", "-D", "--defined-only", LIBRARY_PATH});
    ASSERT_EQ(s.status, 0) << s.err;
    EXPECT_EQ(s.out.substr(s.out.find(' ') + 1), "T getplatik\n");
}

} // namespace
