// SPDX-License-Identifier: GPL-2.0-or-later
// The built program against tables of command lines: exit status and the
// exact message on standard error.
#include <gtest/gtest.h>

#include "qktest.h"

#include <dirent.h>
#include <fcntl.h>
#include <grp.h>
#include <sys/socket.h>
#include <sys/stat.h>
#include <sys/sysmacros.h>
#include <sys/un.h>
#include <unistd.h>

#include <iostream>
#include <memory>
#include <string>
#include <vector>

namespace {

struct Case
{
    std::vector<std::string> words;
    int status;
    std::string message; // after "PROGRAM: ", without the newline
};

std::string describe(const std::vector<std::string> &words)
{
    std::string s;
    for (const auto &w : words) {
        s += (s.empty() ? "" : " ") + ("[" + w + "]");
    }
    return s.empty() ? "(no words)" : s;
}

// Files of every type and mode the unary tests tell apart. A word "@name"
// stands for the file name in the fixture directory.
class Fixture
{
public:
    Fixture()
    {
        // Readable and searchable for the unprivileged runs too.
        chmod(dir.path().c_str(), 0755);
        qk::writeFile(file("reg"), "data\n", 0644);
        qk::writeFile(file("empty"), "", 0644);
        qk::writeFile(file("exec"), "#!/bin/sh\n", 0755);
        qk::writeFile(file("ownerexec"), "#!/bin/sh\n", 0744);
        qk::writeFile(file("noaccess"), "secret\n", 0000);
        qk::writeFile(file("suid"), "x", 04755);
        qk::writeFile(file("sgid"), "x", 02755);
        qk::writeFile(file("nobodys"), "x", 0644);
        EXPECT_EQ(chown(file("nobodys").c_str(), 65534, 65534), 0);
        EXPECT_EQ(mkdir(file("dir").c_str(), 0755), 0);
        EXPECT_EQ(mkdir(file("sticky").c_str(), 0755), 0);
        EXPECT_EQ(chmod(file("sticky").c_str(), 01777), 0);
        qk::writeFile(file("stickyfile"), "x", 0644);
        EXPECT_EQ(chmod(file("stickyfile").c_str(), 01644), 0);
        EXPECT_EQ(symlink("reg", file("link").c_str()), 0);
        EXPECT_EQ(symlink("missing", file("dangling").c_str()), 0);
        EXPECT_EQ(link(file("reg").c_str(), file("hard").c_str()), 0);
        EXPECT_EQ(mkfifo(file("fifo").c_str(), 0644), 0);
        makeSocket();
        blockDevice = findBlockDevice();
        // Times that differ only in the nanoseconds.
        qk::writeFile(file("old"), "o", 0644);
        qk::writeFile(file("new"), "n", 0644);
        setTime("old", 1000000000, 100);
        setTime("new", 1000000000, 101);
        // Links whose own times lie on the other side of their targets'.
        EXPECT_EQ(symlink("old", file("oldlink").c_str()), 0);
        setTime("oldlink", 2000000000, 0, AT_SYMLINK_NOFOLLOW);
        EXPECT_EQ(symlink("new", file("newlink").c_str()), 0);
        setTime("newlink", 500000000, 0, AT_SYMLINK_NOFOLLOW);
        // Sizes and times beyond 32 bits: exactly 4 GiB (0 when cut to 32
        // bits), sparse, and a time in 2100.
        qk::writeFile(file("huge"), "", 0644);
        EXPECT_EQ(truncate(file("huge").c_str(), off_t(1) << 32), 0);
        setTime("huge", 1000000000, 102);
        qk::writeFile(file("future"), "f", 0644);
        setTime("future", 4102444800, 0);
    }

    std::string file(const std::string &name) const { return dir.file(name); }

    std::string expand(const std::string &word) const
    {
        return !word.empty() && word[0] == '@' ? file(word.substr(1)) : word;
    }

    // A block device node made here, else one found in /dev; empty if
    // neither is possible.
    std::string blockDevice;

private:
    std::string findBlockDevice()
    {
        if (mknod(file("blk").c_str(), S_IFBLK | 0600, makedev(7, 0)) == 0) {
            return file("blk");
        }
        std::unique_ptr<DIR, int (*)(DIR *)> dev(opendir("/dev"), closedir);
        struct stat st;
        for (dirent *e; dev && (e = readdir(dev.get()));) {
            std::string path = std::string("/dev/") + e->d_name;
            if (lstat(path.c_str(), &st) == 0 && S_ISBLK(st.st_mode)) {
                return path;
            }
        }
        return {};
    }

    void makeSocket()
    {
        int fd = socket(AF_UNIX, SOCK_STREAM, 0);
        sockaddr_un addr {};
        addr.sun_family = AF_UNIX;
        std::string path = file("socket");
        ASSERT_LT(path.size(), sizeof addr.sun_path);
        path.copy(addr.sun_path, path.size());
        EXPECT_EQ(bind(fd, reinterpret_cast<sockaddr *>(&addr), sizeof addr), 0);
        close(fd);
    }

    void setTime(const std::string &name, time_t sec, long nsec, int flags = 0)
    {
        timespec times[2] = {{sec, nsec}, {sec, nsec}};
        EXPECT_EQ(utimensat(AT_FDCWD, file(name).c_str(), times, flags), 0);
    }

    qk::TempDir dir;
};

class TestCases : public ::testing::Test
{
protected:
    static void SetUpTestSuite() { fixture = new Fixture; }
    static void TearDownTestSuite()
    {
        delete fixture;
        fixture = nullptr;
    }

    static void check(const std::vector<Case> &cases, const qk::RunOptions &base = {})
    {
        for (const auto &c : cases) {
            std::vector<std::string> argv {TEST_PATH};
            for (const auto &w : c.words) {
                argv.push_back(fixture->expand(w));
            }
            qk::RunOptions options = base;
            options.env.emplace("LC_ALL", "C");
            qk::RunResult r = qk::run(argv, options);
            std::string expected
                = c.message.empty() ? "" : std::string(TEST_PATH) + ": " + c.message + "\n";
            EXPECT_EQ(r.status, c.status) << describe(c.words);
            EXPECT_EQ(r.err, expected) << describe(c.words);
            EXPECT_EQ(r.out, "") << describe(c.words);
        }
    }

    static Fixture *fixture;
};

Fixture *TestCases::fixture = nullptr;

TEST_F(TestCases, WordCountsAndSyntaxErrors)
{
    check({
        {{}, 1, ""},
        {{""}, 1, ""},
        {{"-n"}, 0, ""},
        {{"--help"}, 0, ""},
        {{"--version"}, 0, ""},
        {{"-"}, 0, ""},
        {{"("}, 0, ""},
        {{"!"}, 0, ""},
        {{"]"}, 0, ""},
        {{"!", "x"}, 1, ""},
        {{"!", ""}, 0, ""},
        {{"-q", "foo"}, 2, "-q: unary operator expected"},
        {{"-", "foo"}, 2, "missing argument after `foo'"},
        {{"-ab", "foo"}, 2, "missing argument after `foo'"}, // longer than a unary operator
        {{"foo", "bar"}, 2, "missing argument after `bar'"},
        {{"a", "=", "a"}, 0, ""},
        {{"a", "!=", "a"}, 1, ""},
        {{"a", "!=", "b"}, 0, ""},
        {{"a", "==", "a"}, 2, "==: binary operator expected"},
        {{"a", "<", "b"}, 2, "<: binary operator expected"},
        {{"=", "=", "="}, 0, ""},
        {{"!", "=", "x"}, 1, ""}, // compares ! with x
        {{"(", "=", ")"}, 1, ""}, // compares ( with )
        {{"(", "", ")"}, 1, ""},
        {{"(", "x", ")"}, 0, ""},
        {{"!", "-z", ""}, 1, ""},
        {{"x", "-a"}, 2, "missing argument after `-a'"},
        {{"x", "-a", "y", "-o"}, 2, "missing argument after `-o'"},
        {{"(", "a"}, 2, "missing argument after `a'"},
        {{"(", "a", "b", "c", "d"}, 2, "')' expected, found b"},
        {{"(", "a", "-a", "b"}, 2, "')' expected"},
        {{"x", "-a", "(", "a", "-o", "b"}, 2, "')' expected"},
        {{"a", "b", "c"}, 2, "b: binary operator expected"},
        {{"a", "b", "c", "d"}, 2, "extra argument `b'"},
        {{"a", "b", "c", "d", "e"}, 2, "extra argument `b'"},
        {{"a", "-a", "b", "c"}, 2, "extra argument `c'"},
        {{"it's", "x", "y", "z"}, 2, "extra argument `x'"},
        {{"a", "-a", "b", "it's"}, 2, "extra argument `it\\'s'"},
        {{"a", "-a", "b", "tab\there"}, 2, "extra argument `tab\\there'"},
        {{"x", "-a", "-q", "y"}, 2, "-q: unary operator expected"},
        {{"x", "-o", "-q"}, 2, "-q: unary operator expected"},
        {{"x", "-o", "y", "-a", "-q", "z"}, 2, "-q: unary operator expected"},
        {{"-f"}, 0, ""},
        {{"-f", "-a", "-f"}, 2, "extra argument `-f'"}, // -f takes -a as its operand
        {{"-l", "=", "x"}, 1, ""},
        {{"-l", "x", "y", "z"}, 2, "-l: unary operator expected"},
    });
}

TEST_F(TestCases, NegationAndConnectives)
{
    check({
        {{"!", "!", "a"}, 0, ""},
        {{"!", "!", "!", "a"}, 1, ""},
        {{"!", "!", "!", "!", "a"}, 0, ""},
        {{"!", "!", "!", "!", "!", "a"}, 1, ""},
        {{"!", "a", "-a", "b"}, 1, ""},
        {{"!", "", "-a", "b"}, 0, ""},
        // four words: the "!" negates the three after it, not the first term
        {{"!", "", "-a", ""}, 0, ""},
        {{"!", "a", "-o", "b"}, 1, ""},
        {{"!", "!", "", "-o", "b"}, 0, ""},
        {{"a", "-a", "!", "!"}, 2, "missing argument after `!'"},
        {{"!x", "=", "!x"}, 0, ""},
        {{"!x"}, 0, ""},
        {{"a", "-o", "b", "-a", ""}, 0, ""},
        {{"", "-o", "b", "-a", ""}, 1, ""},
        {{"", "-a", "b", "-o", "c"}, 0, ""},
        {{"a", "-a", "b", "-a", "", "-o", ""}, 1, ""},
        {{"", "-o", "", "-o", "", "-o", "x"}, 0, ""},
        {{"a", "-a", "", "-o", "b", "-a", "c"}, 0, ""},
        {{"!", "a", "-o", "!", "b", "-o", "!", ""}, 0, ""},
        // no short cut: a settled value still parses every term
        {{"a", "-o", "-q", "b"}, 2, "-q: unary operator expected"},
        {{"", "-a", "1", "-eq", "x"}, 2, "invalid integer `x'"},
        {{"a", "-o", "(", "b"}, 2, "')' expected"},
    });
}

TEST_F(TestCases, ParenthesisGroups)
{
    check({
        {{"(", "a", "-a", "", ")", "-o", "b"}, 0, ""},
        {{"(", "a", "-a", "", ")", "-a", "b"}, 1, ""},
        {{"(", "(", "a", ")", ")"}, 2, "missing argument after `)'"},
        {{"(", "!", "a", ")"}, 1, ""},
        {{"(", "-n", "", ")"}, 1, ""},
        {{"(", "a", "=", "a", ")"}, 0, ""},
        {{"(", "a", "=", "b", ")"}, 1, ""},
        {{"!", "(", "a", "=", "b", ")"}, 0, ""},
        {{"(", "a", ")", "-a", "(", "", ")"}, 1, ""},
        {{"(", "a", "-a", "b", "-a", "c", ")"}, 0, ""},
        {{"(", "", "-o", "b", "-o", "", ")"}, 0, ""},
        {{"x", "-a", "(", ")", ")"}, 0, ""}, // the group is the one word )
        {{"x", "-a", "(", ")"}, 2, "')' expected"},
        {{"x", "-a", "(", "a", "b", ")"}, 2, "missing argument after `)'"},
        {{"x", "-a", "(", "a", "b", "c", "d", "e"}, 2, "')' expected, found b"},
        {{"x", "-a", "(", "a", "=", "b", ")"}, 1, ""},
        {{"x", "-a", "(", "a", "=", "b", "x"}, 2, "')' expected, found x"},
        {{"x", "-a", "("}, 2, "missing argument after `('"},
        {{"(", "(", "a", "-a", "b", ")", ")"}, 0, ""},
        {{"(", "(", "(", "a", ")", ")", ")"},
         2,
         "(: binary operator expected"}, // the outer group is ( ( a
        {{"!", "(", "(", "", ")", "-o", "", ")"}, 2, "missing argument after `)'"},
        {{"(", "a", "b", ")"}, 2, "missing argument after `)'"},
        {{"(", "-f", ")"}, 0, ""},
        {{"(", "!", "(", "=", "(", ")"}, 1, ""}, // a group of four words: ! and ( = (
        {{"x", "-a", "(", "!", "(", "=", "(", ")"}, 1, ""},
        {{"(", "!", "(", "=", ")", ")"}, 2, "missing argument after `)'"}, // three words: ! ( =
    });
}

TEST_F(TestCases, StringPrimaries)
{
    check({
        {{"-n", ""}, 1, ""},
        {{"-n", "x"}, 0, ""},
        {{"-z", ""}, 0, ""},
        {{"-z", "x"}, 1, ""},
        {{"-n"}, 0, ""},
        {{"x", "-a", "-n"}, 2, "missing argument after `-n'"},
        {{"x", "-a", "-z", "-a"}, 1, ""}, // the operand of -z is the word -a
        {{"-n", "-a", "-z", ""}, 2, "extra argument `-z'"}, // -n takes -a as its operand
        {{"", "=", ""}, 0, ""},
        {{"abc", "=", "abd"}, 1, ""},
        {{"-l", "abc", "=", "abc"}, 0, ""}, // a left -l is dropped
        {{"-l", "abc", "!=", "3"}, 0, ""},
        {{"x", "-a", "-l", "abc", "=", "abc"}, 0, ""},
        // a right -l is dropped too: the strings themselves are compared
        {{"a", "=", "-l", "a"}, 0, ""},
        {{"a", "=", "-l", "1"}, 1, ""},
        {{"a", "!=", "-l", "a"}, 1, ""},
        {{"-l", "ab", "=", "-l", "ab"}, 0, ""},
        {{"a", "=", "-l"}, 1, ""},
        {{"-l", "=", "-l"}, 0, ""},
    });
}

TEST_F(TestCases, Integers)
{
    check({
        {{"12345678901234567890", "-gt", "12345678901234567889"}, 0, ""},
        {{"-12345678901234567890", "-lt", "-12345678901234567889"}, 0, ""},
        {{"99999999999999999999999999999999", "-eq", "99999999999999999999999999999999"}, 0, ""},
        {{"-5", "-lt", "3"}, 0, ""},
        {{"-10", "-lt", "-9"}, 0, ""},
        {{"-0", "-eq", "0"}, 0, ""},
        {{"-000", "-lt", "0"}, 1, ""},
        {{"0", "-gt", "-0"}, 1, ""},
        {{"007", "-eq", "7"}, 0, ""},
        {{"-007", "-eq", "-7"}, 0, ""},
        {{" 42 ", "-eq", "+42"}, 0, ""},
        {{"\t42\t", "-eq", "42"}, 0, ""},
        {{"1", "-ne", "2"}, 0, ""},
        {{"2", "-ne", "2"}, 1, ""},
        {{"2", "-le", "2"}, 0, ""},
        {{"3", "-le", "2"}, 1, ""},
        {{"2", "-ge", "2"}, 0, ""},
        {{"1", "-ge", "2"}, 1, ""},
        {{"19", "-lt", "2"}, 1, ""},
        {{"4x", "-eq", "4"}, 2, "invalid integer `4x'"},
        {{"", "-eq", "0"}, 2, "invalid integer `'"},
        {{" ", "-eq", "0"}, 2, "invalid integer ` '"},
        {{"-", "-eq", "0"}, 2, "invalid integer `-'"},
        {{"+", "-eq", "0"}, 2, "invalid integer `+'"},
        {{"+-1", "-eq", "0"}, 2, "invalid integer `+-1'"},
        {{"--1", "-eq", "0"}, 2, "invalid integer `--1'"},
        {{"1 2", "-eq", "0"}, 2, "invalid integer `1 2'"},
        {{"1\n", "-eq", "1"}, 2, "invalid integer `1\\n'"},
        {{"0x10", "-eq", "16"}, 2, "invalid integer `0x10'"},
        {{"1.5", "-eq", "1"}, 2, "invalid integer `1.5'"},
        {{"bad", "-eq", "worse"}, 2, "invalid integer `bad'"}, // the left one first
        {{"1", "-eq", "worse"}, 2, "invalid integer `worse'"},
        {{"-l", "abc", "-eq", "3"}, 0, ""},
        {{"3", "-eq", "-l", "abc"}, 0, ""},
        {{"-l", "", "-eq", "0"}, 0, ""},
        {{"-l", "abc", "-eq", "-l", "xyz"}, 0, ""},
        {{"-l", "ab", "-lt", "-l", "xyz"}, 0, ""},
        {{"-l", "4x", "-eq", "2"}, 0, ""}, // the length, not the word, is the number
        {{"-l", "ab", "-eq", "4x"}, 2, "invalid integer `4x'"},
        {{"3", "-eq", "-l"}, 2, "invalid integer `-l'"},
    });
}

TEST_F(TestCases, Terminals)
{
    // Standard input is /dev/null: a character device, not a terminal.
    check({
        {{"-t", "0"}, 1, ""},
        {{"-t", "99999999999"}, 1, ""},
        {{"-t", "99999999999999999999999"}, 1, ""},
        {{"-t", "4294967296"}, 1, ""}, // would be descriptor 0 if truncated to int
        {{"-t", "-1"}, 1, ""},
        {{"-t", "x"}, 2, "invalid integer `x'"},
        {{"-t", ""}, 2, "invalid integer `'"},
        {{"-t"}, 0, ""},
    });
}

TEST_F(TestCases, FileTypes)
{
    std::vector<Case> cases = {
        {{"-e", "@reg"}, 0, ""},
        {{"-a", "@reg"}, 0, ""},
        {{"-e", "@missing"}, 1, ""},
        {{"-a", "@missing"}, 1, ""},
        {{"-e"}, 0, ""},
        {{"-e", "@dangling"}, 1, ""},
        {{"-h", "@dangling"}, 0, ""},
        {{"-L", "@dangling"}, 0, ""},
        {{"-h", "@link"}, 0, ""},
        {{"-h", "@reg"}, 1, ""},
        {{"-L", "@dir"}, 1, ""},
        {{"-h", "@missing"}, 1, ""},
        {{"-f", "@reg"}, 0, ""},
        {{"-f", "@link"}, 0, ""}, // followed
        {{"-f", "@dir"}, 1, ""},
        {{"-f", "@fifo"}, 1, ""},
        {{"-f", "@dangling"}, 1, ""},
        {{"-f", "/dev/null"}, 1, ""},
        {{"-d", "@dir"}, 0, ""},
        {{"-d", "@reg"}, 1, ""},
        {{"-d", "@missing"}, 1, ""},
        {{"-c", "/dev/null"}, 0, ""},
        {{"-c", "@reg"}, 1, ""},
        {{"-b", "/dev/null"}, 1, ""},
        {{"-b", "@dir"}, 1, ""},
        {{"-p", "@fifo"}, 0, ""},
        {{"-p", "@reg"}, 1, ""},
        {{"-S", "@socket"}, 0, ""},
        {{"-S", "@fifo"}, 1, ""},
        {{"-s", "@reg"}, 0, ""},
        {{"-s", "@empty"}, 1, ""},
        {{"-s", "@missing"}, 1, ""},
        {{"-u", "@suid"}, 0, ""},
        {{"-u", "@sgid"}, 1, ""},
        {{"-g", "@sgid"}, 0, ""},
        {{"-g", "@suid"}, 1, ""},
        {{"-k", "@sticky"}, 0, ""},
        {{"-k", "@dir"}, 1, ""},
        {{"-k", "@stickyfile"}, 0, ""},
        {{"-k", "@reg"}, 1, ""},
        {{"-u", "@missing"}, 1, ""},
        {{"!", "-e", "@missing"}, 0, ""},
        {{"-d", "@dir", "-a", "-f", "@reg"}, 0, ""},
        {{"-d", "@reg", "-o", "-p", "@fifo"}, 0, ""},
        {{"(", "-d", "@dir", ")"}, 0, ""},
        {{"@reg", "-ef", "@hard"}, 0, ""},
        {{"@reg", "-ef", "@link"}, 0, ""},
        {{"@reg", "-ef", "@empty"}, 1, ""},
        {{"@reg", "-ef", "@missing"}, 1, ""},
        {{"@missing", "-ef", "@missing"}, 1, ""},
        {{"@new", "-nt", "@old"}, 0, ""}, // one nanosecond apart
        {{"@old", "-nt", "@new"}, 1, ""},
        {{"@old", "-ot", "@new"}, 0, ""},
        {{"@new", "-ot", "@old"}, 1, ""},
        {{"@new", "-nt", "@new"}, 1, ""},
        {{"@new", "-ot", "@new"}, 1, ""},
        {{"@reg", "-nt", "@missing"}, 0, ""},
        {{"@missing", "-nt", "@reg"}, 1, ""},
        {{"@missing", "-ot", "@reg"}, 0, ""},
        {{"@reg", "-ot", "@missing"}, 1, ""},
        {{"@missing", "-nt", "@missing"}, 1, ""},
        {{"@missing", "-ot", "@missing"}, 1, ""},
        // a link compares by its target's time, not its own
        {{"@oldlink", "-nt", "@new"}, 1, ""},
        {{"@oldlink", "-ot", "@new"}, 0, ""},
        {{"@new", "-nt", "@oldlink"}, 0, ""},
        {{"@newlink", "-nt", "@old"}, 0, ""},
        {{"@newlink", "-ot", "@old"}, 1, ""},
        {{"@old", "-ot", "@newlink"}, 0, ""},
        {{"@oldlink", "-nt", "@old"}, 1, ""},
        {{"@oldlink", "-ot", "@old"}, 1, ""},
        {{"@dangling", "-nt", "@old"}, 1, ""},
        {{"@old", "-nt", "@dangling"}, 0, ""},
        {{"@dangling", "-ot", "@old"}, 0, ""},
        {{"@old", "-ot", "@dangling"}, 1, ""},
        {{"-s", "@huge"}, 0, ""},
        {{"-f", "@huge"}, 0, ""},
        {{"@huge", "-nt", "@new"}, 0, ""},
        {{"@huge", "-ot", "@new"}, 1, ""},
        {{"@future", "-nt", "@huge"}, 0, ""},
        {{"@huge", "-nt", "@future"}, 1, ""},
        {{"@new", "-ot", "@future"}, 0, ""},
        {{"-l", "a", "-nt", "b"}, 2, "-nt does not accept -l"},
        {{"-l", "a", "-ot", "b"}, 2, "-ot does not accept -l"},
        {{"-l", "a", "-ef", "b"}, 2, "-ef does not accept -l"},
        {{"a", "-nt", "-l", "b"}, 2, "-nt does not accept -l"},
        {{"a", "-ef", "-l", "b"}, 2, "-ef does not accept -l"},
        {{"a", "-ot", "-l"}, 1, ""}, // a file named -l, not a length
        // -N and -o have no test of their own: they take an operand and never hold
        {{"-N", "@reg"}, 1, ""},
        {{"-o", "@reg"}, 1, ""},
        {{"!", "-N", "@reg"}, 0, ""},
        {{"-N", "@reg", "-o", "x"}, 0, ""},
        {{"x", "-a", "-o", "@reg"}, 1, ""},
        {{"x", "-a", "-N"}, 2, "missing argument after `-N'"},
    };
    if (!fixture->blockDevice.empty()) {
        cases.push_back({{"-b", fixture->blockDevice}, 0, ""});
        cases.push_back({{"-c", fixture->blockDevice}, 1, ""});
        cases.push_back({{"-f", fixture->blockDevice}, 1, ""});
    } else {
        std::cout << "no block device can be made or found: -b is only checked on other types\n";
    }
    check(cases);
}

TEST_F(TestCases, AccessAndOwnershipAsRoot)
{
    ASSERT_EQ(geteuid(), 0u) << "the suite runs as root";
    check({
        {{"-r", "@noaccess"}, 0, ""},
        {{"-w", "@noaccess"}, 0, ""},
        {{"-x", "@noaccess"}, 1, ""},
        {{"-x", "@exec"}, 0, ""},
        {{"-x", "@reg"}, 1, ""},
        {{"-x", "@dir"}, 0, ""},
        {{"-r", "@missing"}, 1, ""},
        {{"-O", "@reg"}, 0, ""},
        {{"-G", "@reg"}, 0, ""},
        {{"-O", "@nobodys"}, 1, ""},
        {{"-G", "@nobodys"}, 1, ""},
        {{"-O", "@missing"}, 1, ""},
    });
}

TEST_F(TestCases, AccessAndOwnershipUnprivileged)
{
    qk::RunOptions nobody;
    nobody.dropPrivileges = true;
    check(
        {
            {{"-r", "@reg"}, 0, ""},
            {{"-w", "@reg"}, 1, ""},
            {{"-x", "@reg"}, 1, ""},
            {{"-r", "@noaccess"}, 1, ""},
            {{"-w", "@noaccess"}, 1, ""},
            {{"-x", "@exec"}, 0, ""},
            {{"-x", "@dir"}, 0, ""},
            {{"-w", "@dir"}, 1, ""},
            {{"-w", "@sticky"}, 0, ""},
            {{"-w", "@nobodys"}, 0, ""},
            {{"-O", "@nobodys"}, 0, ""},
            {{"-G", "@nobodys"}, 0, ""},
            {{"-O", "@reg"}, 1, ""},
            {{"-G", "@reg"}, 1, ""},
            {{"-s", "@noaccess"}, 0, ""}, // the status is readable without the permission
        },
        nobody);
}

// Runs the program with the real ids of nobody (65534:65534) and the
// effective ids of root, without supplementary groups. (The reverse fails
// in a sanitizer build: a process with unprivileged effective ids apart from
// its real ones may neither read its own environment nor trace itself, so
// the leak check cannot run.)
qk::RunOptions realNobodyEffectiveRoot()
{
    qk::RunOptions options;
    options.prepare = [] {
        if (setgroups(0, nullptr) != 0 || setresgid(65534, 0, 0) != 0
            || setresuid(65534, 0, 0) != 0) {
            _exit(127);
        }
    };
    return options;
}

TEST_F(TestCases, AccessAndOwnershipFollowTheEffectiveIdsNotTheRealOnes)
{
    ASSERT_EQ(geteuid(), 0u) << "the suite runs as root";
    check(
        {
            {{"-r", "@noaccess"}, 0, ""},
            {{"-w", "@noaccess"}, 0, ""},
            {{"-x", "@noaccess"}, 1, ""},
            {{"-w", "@reg"}, 0, ""},
            {{"-x", "@exec"}, 0, ""},
            {{"-x", "@ownerexec"}, 0, ""}, // executable for its owner, root, only
            {{"-O", "@reg"}, 0, ""},
            {{"-G", "@reg"}, 0, ""},
            {{"-O", "@nobodys"}, 1, ""},
            {{"-G", "@nobodys"}, 1, ""},
        },
        realNobodyEffectiveRoot());
}

TEST_F(TestCases, StandardOutputClosedOrFull)
{
    qk::RunOptions closed;
    closed.closeStdout = true;
    check({{{"a"}, 0, ""}, {{""}, 1, ""}, {{"a", "b"}, 2, "missing argument after `b'"}}, closed);
    qk::RunOptions full;
    full.stdoutPath = "/dev/full";
    check({{{"a"}, 0, ""}, {{""}, 1, ""}}, full);
}

// Groups nest by recursion; as deep as the argument space allows, the stack
// must not run out.
TEST(DeepExpressions, NestedGroupsAndNegationsAsDeepAsTheWordsGo)
{
    if (qk::underEmulation()) {
        GTEST_SKIP() << "the 32-bit emulator gives a fixed stack whatever the limit";
    }
    const struct
    {
        std::string inner;
        int status;
        std::string message;
    } cases[] = {
        {"b", 0, ""},
        {"", 1, ""},
        {"-q", 2, "-q: unary operator expected"},
    };
    for (const auto &c : cases) {
        std::vector<std::string> argv {TEST_PATH};
        argv.insert(argv.end(), 100000, "(");
        argv.insert(argv.end(), {"a", "-a", c.inner});
        argv.insert(argv.end(), 100000, ")");
        qk::RunOptions options;
        options.clearEnv = true;
        options.env["LC_ALL"] = "C";
        qk::RunResult r = qk::run(argv, options);
        EXPECT_FALSE(r.signaled) << "[" << c.inner << "]";
        EXPECT_EQ(r.status, c.status) << "[" << c.inner << "]";
        EXPECT_EQ(r.err, c.message.empty() ? "" : std::string(TEST_PATH) + ": " + c.message + "\n");
    }
    std::vector<std::string> argv {TEST_PATH};
    argv.insert(argv.end(), 200001, "!");
    argv.push_back("");
    qk::RunResult r = qk::run(argv, {});
    EXPECT_EQ(r.status, 0);
    EXPECT_EQ(r.err, "");
}

TEST_F(TestCases, TranslatedMessages)
{
    if (!qk::canUseMountNamespace()) {
        GTEST_SKIP() << "needs a private mount namespace for the built catalog";
    }
    qk::RunOptions german;
    german.env["LC_ALL"] = "de_DE.UTF-8";
    german.binds = {{LOCALE_DIR, "/usr/share/locale"}};
    check(
        {
            {{"foo", "bar"}, 2, "fehlendes Argument nach „bar“"},
            {{"a", "b", "c", "d"}, 2, "überzähliges Argument „b“"},
            {{"-q", "foo"}, 2, "-q: einstelliger Operator erwartet"},
            {{"a", "b", "c"}, 2, "b: zweistelliger Operator erwartet"},
            {{"(", "a", "-a", "b"}, 2, "„)“ erwartet"},
            {{"(", "a", "b", "c", "d"}, 2, "„)“ erwartet, b gefunden"},
            {{"4x", "-eq", "4"}, 2, "ungültige Ganzzahl „4x“"},
            {{"-l", "a", "-nt", "b"}, 2, "-nt erlaubt kein -l"},
            {{"-l", "a", "-ot", "b"}, 2, "-ot erlaubt kein -l"},
            {{"-l", "a", "-ef", "b"}, 2, "-ef erlaubt kein -l"},
            {{"a", "=", "a"}, 0, ""},
        },
        german);
}

// The words a message quotes, in a UTF-8 and a one-byte locale: what the
// locale can print stays as it is, framed by the catalog's marks in the
// locale's own character set; everything else is escaped.
TEST_F(TestCases, QuotedWordsFollowTheLocalesCharacterSet)
{
    if (!qk::canUseMountNamespace()) {
        GTEST_SKIP() << "needs a private mount namespace for the built catalog";
    }
    qk::RunOptions options;
    options.binds = {{LOCALE_DIR, "/usr/share/locale"}};
    {
        SCOPED_TRACE("de_DE.UTF-8");
        options.env["LC_ALL"] = "de_DE.UTF-8";
        check(
            {
                {{"\xc3\xa9t\xc3\xa9", "-eq", "1"}, 2, "ungültige Ganzzahl „été“"},
                {{"\xff", "-eq", "1"}, 2, "ungültige Ganzzahl „\\377“"}, // no character
                {{"1", "-eq", "x\xc3"}, 2, "ungültige Ganzzahl „x\\303“"}, // cut short
                {{"it's", "-eq", "1"}, 2, "ungültige Ganzzahl „it's“"},
                {{"a“b", "-eq", "1"}, 2, "ungültige Ganzzahl „a\\“b“"}, // the closing mark
                {{"foo", "\xc3\xa9\x1b"}, 2, "fehlendes Argument nach „é\\033“"},
            },
            options);
    }
    {
        // The catalog's marks have no Latin-1 form; the locale gives » and «.
        SCOPED_TRACE("de_DE.ISO-8859-1");
        options.env["LC_ALL"] = "de_DE.ISO-8859-1";
        check(
            {
                {{"\xe9t\xe9", "-eq", "1"}, 2, "ung\xfcltige Ganzzahl \xbb\xe9t\xe9\xab"},
                {{"\xc3\xa9", "-eq", "1"}, 2, "ung\xfcltige Ganzzahl \xbb\xc3\xa9\xab"},
                {{"a\x85", "-eq", "1"},
                 2,
                 "ung\xfcltige Ganzzahl \xbb"
                 "a\\205\xab"}, // a control
                {{"it's", "-eq", "1"}, 2, "ung\xfcltige Ganzzahl \xbbit's\xab"},
                // the closing mark
                {{"a\xab", "-eq", "1"},
                 2,
                 "ung\xfcltige Ganzzahl \xbb"
                 "a\\\xab\xab"},
                {{"a", "b", "c", "d"},
                 2,
                 "\xfc"
                 "berz\xe4hliges Argument \xbb"
                 "b\xab"},
            },
            options);
    }
    {
        // No catalog for English: the grave accent and the apostrophe.
        SCOPED_TRACE("en_US.UTF-8");
        options.env["LC_ALL"] = "en_US.UTF-8";
        check(
            {
                {{"\xc3\xa9t\xc3\xa9", "-eq", "1"}, 2, "invalid integer `été'"},
                {{"\xe9", "-eq", "1"}, 2, "invalid integer `\\351'"},
                {{"it's", "-eq", "1"}, 2, "invalid integer `it\\'s'"},
            },
            options);
    }
}

} // namespace
