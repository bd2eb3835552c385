// SPDX-License-Identifier: GPL-2.0-or-later
// End-to-end runs of the built install program in temporary directories.
#include "qktest.h"

#include <gtest/gtest.h>

#include <fcntl.h>
#include <sched.h>
#include <signal.h>
#include <sys/mount.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <cstdio>
#include <cstring>
#include <fstream>
#include <algorithm>
#include <functional>
#include <map>
#include <memory>
#include <string>
#include <vector>

namespace {

const std::string kInstall = INSTALL_PATH;

std::string msg(const std::string &text)
{
    return kInstall + ": " + text + "\n";
}

std::string hint()
{
    return "Try `" + kInstall + " --help' for more information.\n";
}

bool exists(const std::string &path)
{
    struct stat st;
    return lstat(path.c_str(), &st) == 0;
}

struct stat lstatOf(const std::string &path)
{
    struct stat st = {};
    EXPECT_EQ(lstat(path.c_str(), &st), 0) << path;
    return st;
}

unsigned modeOf(const std::string &path)
{
    return lstatOf(path).st_mode & 07777;
}

class Install : public ::testing::Test
{
public:
    std::unique_ptr<qk::TempDir> m_tmp = std::make_unique<qk::TempDir>();

    std::string root() const { return m_tmp->path(); }
    std::string at(const std::string &name) const { return m_tmp->file(name); }
    // A new, empty temporary directory for the next case of a table.
    void fresh() { m_tmp = std::make_unique<qk::TempDir>(); }

    void file(const std::string &name, const std::string &data, int mode = 0644)
    {
        qk::writeFile(at(name), data, mode);
    }

    void dir(const std::string &name, mode_t mode = 0755)
    {
        ASSERT_EQ(mkdir(at(name).c_str(), mode), 0) << name;
        ASSERT_EQ(chmod(at(name).c_str(), mode), 0) << name;
    }

    void symlinkTo(const std::string &target, const std::string &name)
    {
        ASSERT_EQ(symlink(target.c_str(), at(name).c_str()), 0) << name;
    }

    // Runs install in the temporary directory, in the C locale, without the
    // backup variables of the caller's environment.
    qk::RunResult install(std::vector<std::string> args, qk::RunOptions o = {})
    {
        args.insert(args.begin(), kInstall);
        if (o.cwd.empty()) {
            o.cwd = root();
        }
        o.env["LC_ALL"] = "C";
        for (const char *name : {"VERSION_CONTROL", "SIMPLE_BACKUP_SUFFIX", "LANGUAGE"}) {
            if (!o.env.count(name)) {
                o.unsetEnv.push_back(name);
            }
        }
        return qk::run(args, o);
    }

    // Lets nobody work below the temporary directory.
    void openToNobody(const std::string &name = "")
    {
        ASSERT_EQ(chmod(root().c_str(), 0755), 0);
        if (!name.empty()) {
            ASSERT_EQ(chown(at(name).c_str(), 65534, 65534), 0);
        }
    }
};

std::string joined(const std::vector<std::string> &words)
{
    std::string s;
    for (const auto &w : words) {
        s += (s.empty() ? "" : " ") + w;
    }
    return s;
}

// ---- the four forms

TEST_F(Install, FormsPutFilesWhereTheOperandsSay)
{
    struct Case
    {
        std::vector<std::string> args;
        std::vector<std::pair<std::string, std::string>> files; // name, content
    } cases[] = {
        {{"a", "new"}, {{"new", "A"}}},
        {{"a", "dir"}, {{"dir/a", "A"}}},
        {{"a", "dir/"}, {{"dir/a", "A"}}},
        {{"a", "old"}, {{"old", "A"}}}, // a regular file is replaced
        {{"-T", "a", "new"}, {{"new", "A"}}},
        {{"a", "sub/b", "dir"}, {{"dir/a", "A"}, {"dir/b", "B"}}},
        {{"-t", "dir", "a", "sub/b"}, {{"dir/a", "A"}, {"dir/b", "B"}}},
        {{"-t", "dir/", "a"}, {{"dir/a", "A"}}},
        {{"-c", "a", "new"}, {{"new", "A"}}},
    };
    for (const auto &c : cases) {
        fresh();
        file("a", "A");
        dir("sub");
        file("sub/b", "B");
        dir("dir");
        file("old", "O");
        auto r = install(c.args);
        SCOPED_TRACE(joined(c.args));
        EXPECT_EQ(r.status, 0);
        EXPECT_EQ(r.out, "");
        EXPECT_EQ(r.err, "");
        for (const auto &f : c.files) {
            EXPECT_EQ(qk::readFile(at(f.first)), f.second) << f.first;
            EXPECT_EQ(modeOf(at(f.first)), 0755u) << f.first;
        }
    }
}

TEST_F(Install, DirectoryFormCreatesEveryComponent)
{
    auto r = install({"-d", "x/y/z", "w", at("abs/p")});
    EXPECT_EQ(r.status, 0);
    EXPECT_EQ(r.err, "");
    for (const char *d : {"x", "x/y", "x/y/z", "w", "abs", "abs/p"}) {
        EXPECT_TRUE(S_ISDIR(lstatOf(at(d)).st_mode)) << d;
        EXPECT_EQ(modeOf(at(d)), 0755u) << d;
    }
}

TEST_F(Install, DirectoryFormHandlesDotAndDotDot)
{
    auto r = install({"-d", "-v", "./x/../y", "q/./r"});
    EXPECT_EQ(r.status, 0);
    EXPECT_EQ(r.err,
              msg("creating directory `./x'") + msg("creating directory `./x/../y'")
                  + msg("creating directory `q'") + msg("creating directory `q/./r'"));
    EXPECT_TRUE(exists(at("x")));
    EXPECT_TRUE(exists(at("y")));
    EXPECT_TRUE(exists(at("q/r")));
    EXPECT_FALSE(exists(at("x/y")));
}

TEST_F(Install, OperandErrorsStopBeforeAnyWork)
{
    struct Case
    {
        std::vector<std::string> args;
        std::string err;
    } cases[] = {
        {{}, msg("missing file operand") + hint()},
        {{"a"}, msg("missing destination file operand after `a'") + hint()},
        {{"-t", "dir"}, msg("missing file operand") + hint()},
        {{"-d"}, msg("missing file operand") + hint()},
        {{"-T", "a", "new", "c"}, msg("extra operand `c'") + hint()},
        {{"-d", "-T", "x", "y", "z"}, msg("extra operand `z'") + hint()},
        {{"a", "nodir/"}, msg("target `nodir/' is not a directory: No such file or directory")},
        {{"a", "b", "old"}, msg("target `old' is not a directory")},
        {{"a", "b", "new"}, msg("target `new' is not a directory")},
        {{"a", "old/"}, msg("accessing `old/': Not a directory")},
        {{"-t", "old", "a"}, msg("target `old' is not a directory")},
        {{"-t", "missing", "a"}, msg("accessing `missing': No such file or directory")},
        {{"-t", "dir", "-t", "dir", "a"}, msg("multiple target directories specified")},
        {{"-d", "-s", "x"}, msg("the strip option may not be used when installing a directory")},
        {{"-d", "-t", "dir", "x"}, msg("target directory not allowed when installing a directory")},
        {{"-T", "-t", "dir", "a"},
         msg("Cannot combine --target-directory (-t) and --no-target-directory (-T)")},
        {{"-m", "u+z", "a", "new"}, msg("invalid mode `u+z'")},
        {{"-m", "8", "-d", "x"}, msg("invalid mode `8'")},
        {{"-o", "-1", "a", "new"}, msg("invalid user `-1'")},
        {{"-o", "", "a", "new"}, msg("invalid user `'")},
        {{"-o", "4294967296", "a", "new"}, msg("invalid user `4294967296'")},
        {{"-g", "nosuchgroup", "-d", "x"}, msg("invalid group `nosuchgroup'")},
        {{"--backup=n", "a", "new"},
         msg("ambiguous argument `n' for `backup type'")
             + "Valid arguments are:\n  - `none', `off'\n  - `simple', `never'\n"
               "  - `existing', `nil'\n  - `numbered', `t'\n"
             + hint()},
        {{"--backup=x", "a", "new"},
         msg("invalid argument `x' for `backup type'")
             + "Valid arguments are:\n  - `none', `off'\n  - `simple', `never'\n"
               "  - `existing', `nil'\n  - `numbered', `t'\n"
             + hint()},
        {{"--bogus", "a", "new"}, msg("unrecognized option '--bogus'") + hint()},
    };
    file("a", "A");
    file("b", "B");
    file("old", "O");
    dir("dir");
    for (const auto &c : cases) {
        SCOPED_TRACE(joined(c.args));
        auto r = install(c.args);
        EXPECT_EQ(r.status, 1);
        EXPECT_EQ(r.out, "");
        EXPECT_EQ(r.err, c.err);
        EXPECT_FALSE(exists(at("new")));
        EXPECT_FALSE(exists(at("x")));
        EXPECT_FALSE(exists(at("dir/a")));
        EXPECT_EQ(qk::readFile(at("old")), "O");
    }
}

TEST_F(Install, BackupControlFromTheEnvironmentIsChecked)
{
    file("a", "A");
    file("b", "B");
    qk::RunOptions o;
    o.env["VERSION_CONTROL"] = "bogus";
    auto r = install({"-b", "a", "b"}, o);
    EXPECT_EQ(r.status, 1);
    EXPECT_EQ(r.err,
              msg("invalid argument `bogus' for `$VERSION_CONTROL'")
                  + "Valid arguments are:\n  - `none', `off'\n  - `simple', `never'\n"
                    "  - `existing', `nil'\n  - `numbered', `t'\n"
                  + hint());
    EXPECT_EQ(qk::readFile(at("b")), "B");
}

// ---- modes, owners, groups

TEST_F(Install, ModesAreComputedFromZero)
{
    struct Case
    {
        std::vector<std::string> mode; // the -m option, or nothing
        unsigned fileMode;
        unsigned dirMode;
    } cases[] = {
        {{}, 0755, 0755},
        {{"-m", "644"}, 0644, 0644},
        {{"-m", "u+x"}, 0100, 0100},
        {{"--mode=a=rx,u+w"}, 0755, 0755},
        {{"-m", "+X"}, 0, 0111},
        {{"-m", "4755"}, 04755, 04755},
        {{"-m", "go=", "-m", "600"}, 0600, 0600}, // the last one wins
    };
    file("a", "A");
    for (const auto &c : cases) {
        SCOPED_TRACE(joined(c.mode));
        unlink(at("f").c_str());
        rmdir(at("d").c_str());
        auto args = c.mode;
        args.insert(args.end(), {"a", "f"});
        auto r = install(args);
        EXPECT_EQ(r.status, 0);
        EXPECT_EQ(r.err, "");
        EXPECT_EQ(modeOf(at("f")), c.fileMode);
        args = c.mode;
        args.insert(args.end(), {"-d", "d"});
        r = install(args);
        EXPECT_EQ(r.status, 0);
        EXPECT_EQ(r.err, "");
        EXPECT_EQ(modeOf(at("d")), c.dirMode);
    }
}

TEST_F(Install, ExistingDirectoryGetsModeAndOwner)
{
    if (geteuid() != 0) {
        GTEST_SKIP() << "changing owners needs root";
    }
    dir("e", 0700);
    auto r = install({"-d", "e"});
    EXPECT_EQ(r.status, 0);
    EXPECT_EQ(modeOf(at("e")), 0755u);
    r = install({"-d", "-o", "123", "-g", "456", "-m", "750", "e"});
    EXPECT_EQ(r.status, 0);
    EXPECT_EQ(r.err, "");
    EXPECT_EQ(lstatOf(at("e")).st_uid, 123u);
    EXPECT_EQ(lstatOf(at("e")).st_gid, 456u);
    EXPECT_EQ(modeOf(at("e")), 0750u);
}

TEST_F(Install, NumericOwnersAndGroups)
{
    if (geteuid() != 0) {
        GTEST_SKIP() << "changing owners needs root";
    }
    struct Case
    {
        std::vector<std::string> args;
        uid_t uid;
        gid_t gid;
    } cases[] = {
        {{"-o", "0x10"}, 16, 0},
        {{"-o", "12abc"}, 12, 0}, // trailing characters are ignored
        {{"-o", " 010"}, 8, 0},
        {{"--owner=77", "--group=0X20"}, 77, 32},
        {{"-g", "4294967294"}, 0, 4294967294u},
        {{"-o", "3000000000", "-g", "2147483648"}, 3000000000u, 2147483648u},
    };
    file("a", "A");
    for (const auto &c : cases) {
        SCOPED_TRACE(joined(c.args));
        for (bool dirForm : {false, true}) {
            auto args = c.args;
            const std::vector<std::string> operands = dirForm ? std::vector<std::string> {"-d", "d"}
                                                              : std::vector<std::string> {"a", "f"};
            args.insert(args.end(), operands.begin(), operands.end());
            auto r = install(args);
            EXPECT_EQ(r.status, 0);
            EXPECT_EQ(r.err, "");
            std::string made = at(dirForm ? "d" : "f");
            EXPECT_EQ(lstatOf(made).st_uid, c.uid);
            EXPECT_EQ(lstatOf(made).st_gid, c.gid);
            EXPECT_EQ(modeOf(made), 0755u);
            unlink(made.c_str());
            rmdir(made.c_str());
        }
    }
}

TEST_F(Install, NamedOwnerAndGroupFromTheDatabases)
{
    if (!qk::canUseMountNamespace()) {
        GTEST_SKIP() << "needs a private mount namespace";
    }
    file("a", "A");
    qk::RunOptions o;
    // The account exists only in the child's private view of /etc; its name
    // looks like a number to show that the database wins.
    o.overlays = {"/etc"};
    o.prepare = [] {
        FILE *pw = fopen("/etc/passwd", "a");
        FILE *gr = fopen("/etc/group", "a");
        if (!pw || !gr || fputs("0x10:x:4321:4322::/:/bin/false\n", pw) < 0
            || fputs("qkgroup:x:4323:\n", gr) < 0 || fclose(pw) != 0 || fclose(gr) != 0) {
            _exit(127);
        }
    };
    auto r = install({"-o", "0x10", "-g", "qkgroup", "a", "f"}, o);
    EXPECT_EQ(r.status, 0);
    EXPECT_EQ(r.err, "");
    EXPECT_EQ(lstatOf(at("f")).st_uid, 4321u);
    EXPECT_EQ(lstatOf(at("f")).st_gid, 4323u);

    r = install({"-d", "-o", "0x10", "-g", "qkgroup", "-v", "newdir"}, o);
    EXPECT_EQ(r.status, 0);
    EXPECT_EQ(r.err, msg("creating directory `newdir'"));
    EXPECT_EQ(lstatOf(at("newdir")).st_uid, 4321u);
    EXPECT_EQ(lstatOf(at("newdir")).st_gid, 4323u);
    EXPECT_EQ(modeOf(at("newdir")), 0755u);
}

TEST_F(Install, OwnerChangeRefusedToUnprivilegedUser)
{
    openToNobody();
    dir("w");
    openToNobody("w");
    file("a", "A");
    qk::RunOptions o;
    o.dropPrivileges = true;
    auto r = install({"-o", "0", "a", "w/f"}, o);
    EXPECT_EQ(r.status, 1);
    EXPECT_EQ(r.err, msg("cannot change ownership of `w/f': Operation not permitted"));
    r = install({"-d", "-o", "0", "w/d"}, o);
    EXPECT_EQ(r.status, 1);
    EXPECT_EQ(r.err, msg("cannot change owner and permissions of `w/d': Operation not permitted"));
    // made without group and others access before the owner change failed
    EXPECT_EQ(modeOf(at("w/d")), 0700u);
}

TEST_F(Install, SetGroupIdInheritedByNewDirectories)
{
    dir("sg", 02755);
    if (!(lstatOf(at("sg")).st_mode & S_ISGID)) {
        GTEST_SKIP() << "the file system drops the set-group-id bit";
    }
    auto r = install({"-d", "sg/plain", "sg/a/b"});
    EXPECT_EQ(r.status, 0);
    EXPECT_EQ(modeOf(at("sg/plain")), 0755u); // the default mode bits clear it
    EXPECT_EQ(modeOf(at("sg/a/b")), 0755u);
    r = install({"-d", "-m", "755", "sg/kept"});
    EXPECT_EQ(r.status, 0);
    EXPECT_EQ(modeOf(at("sg/kept")), 02755u); // 755 leaves the set-id bits alone
}

// ---- the same file under two names

TEST_F(Install, SameFileCases)
{
    struct Case
    {
        const char *what;
        std::function<void(Install &)> setup;
        std::vector<std::string> args;
        int status;
        std::string err;
        std::function<void(Install &)> check;
    } cases[] = {
        {"onto itself",
         [](Install &) {},
         {"a", "a"},
         1,
         msg("`a' and `a' are the same file"),
         [](Install &t) { EXPECT_EQ(qk::readFile(t.at("a")), "A"); }},
        {"onto itself with backups",
         [](Install &) {},
         {"-b", "a", "./a"},
         1,
         msg("`a' and `./a' are the same file"),
         [](Install &t) { EXPECT_FALSE(exists(t.at("a~"))); }},
        {"onto a second hard link",
         [](Install &t) { ASSERT_EQ(link(t.at("a").c_str(), t.at("h").c_str()), 0); },
         {"a", "h"},
         0,
         "",
         [](Install &t) {
             EXPECT_NE(lstatOf(t.at("h")).st_ino, lstatOf(t.at("a")).st_ino);
             EXPECT_EQ(qk::readFile(t.at("h")), "A");
             EXPECT_EQ(lstatOf(t.at("a")).st_nlink, 1u);
         }},
        {"onto a second hard link with backups",
         [](Install &t) { ASSERT_EQ(link(t.at("a").c_str(), t.at("h").c_str()), 0); },
         {"-b", "a", "h"},
         0,
         "",
         [](Install &t) {
             EXPECT_EQ(lstatOf(t.at("h~")).st_ino, lstatOf(t.at("a")).st_ino);
             EXPECT_NE(lstatOf(t.at("h")).st_ino, lstatOf(t.at("a")).st_ino);
         }},
        {"link onto its target",
         [](Install &t) { t.symlinkTo("a", "l"); },
         {"l", "a"},
         1,
         msg("`l' and `a' are the same file"),
         [](Install &t) { EXPECT_EQ(qk::readFile(t.at("a")), "A"); }},
        {"link onto its target with backups",
         [](Install &t) { t.symlinkTo("a", "l"); },
         {"--backup=numbered", "l", "a"},
         1,
         msg("`l' and `a' are the same file"),
         [](Install &t) { EXPECT_FALSE(exists(t.at("a.~1~"))); }},
        {"onto a link to the source",
         [](Install &t) { t.symlinkTo("a", "l"); },
         {"a", "l"},
         0,
         "",
         [](Install &t) {
             EXPECT_TRUE(S_ISREG(lstatOf(t.at("l")).st_mode));
             EXPECT_EQ(qk::readFile(t.at("l")), "A");
         }},
        {"onto a link to the source with backups",
         [](Install &t) { t.symlinkTo("a", "l"); },
         {"-b", "a", "l"},
         0,
         "",
         [](Install &t) {
             EXPECT_TRUE(S_ISREG(lstatOf(t.at("l")).st_mode));
             EXPECT_TRUE(S_ISLNK(lstatOf(t.at("l~")).st_mode));
         }},
        {"two links to one file",
         [](Install &t) {
             t.symlinkTo("a", "l1");
             t.symlinkTo("a", "l2");
         },
         {"l1", "l2"},
         0,
         "",
         [](Install &t) {
             EXPECT_TRUE(S_ISREG(lstatOf(t.at("l2")).st_mode));
             EXPECT_EQ(qk::readFile(t.at("a")), "A");
         }},
        {"onto a dangling link",
         [](Install &t) { t.symlinkTo("nowhere", "l"); },
         {"a", "l"},
         1,
         msg("cannot create regular file `l': File exists"),
         [](Install &t) {
             EXPECT_TRUE(S_ISLNK(lstatOf(t.at("l")).st_mode));
             EXPECT_FALSE(exists(t.at("nowhere")));
         }},
    };
    for (const auto &c : cases) {
        SCOPED_TRACE(c.what);
        fresh();
        file("a", "A");
        c.setup(*this);
        auto r = install(c.args);
        EXPECT_EQ(r.status, c.status);
        EXPECT_EQ(r.out, "");
        EXPECT_EQ(r.err, c.err);
        c.check(*this);
    }
}

TEST_F(Install, DirectoriesAreNeitherSourcesNorOverwritten)
{
    file("a", "A");
    dir("d");
    dir("t");
    dir("t/a");
    auto r = install({"d", "new"});
    EXPECT_EQ(r.status, 1);
    EXPECT_EQ(r.err, msg("omitting directory `d'"));
    r = install({"d", "a", "t/a"});
    EXPECT_EQ(r.status, 1);
    EXPECT_EQ(r.err, msg("omitting directory `d'"));
    EXPECT_EQ(qk::readFile(at("t/a/a")), "A"); // the next operand is still installed
    r = install({"a", "t"});
    EXPECT_EQ(r.status, 1);
    EXPECT_EQ(r.err, msg("cannot overwrite directory `t/a' with non-directory"));
    r = install({"-T", "a", "t"});
    EXPECT_EQ(r.status, 1);
    EXPECT_EQ(r.err, msg("cannot overwrite directory `t' with non-directory"));
}

TEST_F(Install, JustCreatedDestinationIsNotOverwritten)
{
    dir("p");
    dir("q");
    dir("dir");
    file("p/f", "first");
    file("q/f", "second");
    auto r = install({"p/f", "q/f", "dir"});
    EXPECT_EQ(r.status, 1);
    EXPECT_EQ(r.err, msg("will not overwrite just-created `dir/f' with `q/f'"));
    EXPECT_EQ(qk::readFile(at("dir/f")), "first");

    r = install({"-b", "-t", "dir", "p/f", "q/f"}); // simple backups do not help
    EXPECT_EQ(r.status, 1);
    EXPECT_EQ(r.err, msg("will not overwrite just-created `dir/f' with `q/f'"));

    unlink(at("dir/f").c_str());
    unlink(at("dir/f~").c_str());
    r = install({"--backup=numbered", "p/f", "q/f", "dir"});
    EXPECT_EQ(r.status, 0);
    EXPECT_EQ(r.err, "");
    EXPECT_EQ(qk::readFile(at("dir/f")), "second");
    EXPECT_EQ(qk::readFile(at("dir/f.~1~")), "first");
}

TEST_F(Install, SpecialFilesBecomeRegularFiles)
{
    qk::RunOptions o;
    o.input = "piped data";
    auto r = install({"/dev/stdin", "piped"}, o);
    EXPECT_EQ(r.status, 0);
    EXPECT_EQ(r.err, "");
    EXPECT_TRUE(S_ISREG(lstatOf(at("piped")).st_mode));
    EXPECT_EQ(qk::readFile(at("piped")), "piped data");
    r = install({"/dev/null", "empty"});
    EXPECT_EQ(r.status, 0);
    EXPECT_TRUE(S_ISREG(lstatOf(at("empty")).st_mode));
    EXPECT_EQ(lstatOf(at("empty")).st_size, 0);
}

// ---- backups

TEST_F(Install, BackupKindsAndSuffixes)
{
    struct Case
    {
        std::vector<std::string> args;
        std::map<std::string, std::string> env;
        std::vector<std::string> present; // old backups there before the run
        std::string backup; // expected name, "" for none
    } cases[] = {
        {{"-b"}, {}, {}, "b~"},
        {{"--backup"}, {{"VERSION_CONTROL", "numbered"}}, {}, "b.~1~"},
        {{"--backup"}, {{"VERSION_CONTROL", ""}}, {}, "b~"},
        {{"--backup=t"}, {}, {"b.~1~", "b.~9~"}, "b.~10~"},
        {{"--backup=nil"}, {}, {"b.~3~"}, "b.~4~"},
        {{"--backup=existing"}, {}, {"b.~01~", "c.~5~"}, "b~"},
        {{"--backup=never"}, {}, {}, "b~"},
        {{"--backup=simple", "-S", ".old"}, {}, {}, "b.old"},
        {{"-b"}, {{"SIMPLE_BACKUP_SUFFIX", ".bak"}}, {}, "b.bak"},
        {{"-S", ".orig", "-b"}, {{"SIMPLE_BACKUP_SUFFIX", ".bak"}}, {}, "b.orig"},
        {{"-S", ".old"}, {}, {}, "b.old"}, // -S alone turns backups on
        {{"-S", ".old"}, {{"VERSION_CONTROL", "t"}}, {}, "b.~1~"},
        {{"--backup=numbered", "-b"}, {}, {}, "b.~1~"}, // a later -b keeps the CONTROL
        {{"--backup=off"}, {}, {}, ""},
        {{"--backup=none", "-S", ".x"}, {}, {}, ""},
        {{}, {{"VERSION_CONTROL", "numbered"}}, {}, ""}, // no backups asked for
    };
    for (const auto &c : cases) {
        SCOPED_TRACE(joined(c.args));
        fresh();
        file("a", "new");
        file("b", "old");
        for (const auto &p : c.present) {
            file(p, "older");
        }
        qk::RunOptions o;
        o.env = c.env;
        auto args = c.args;
        args.insert(args.end(), {"a", "b"});
        auto r = install(args, o);
        EXPECT_EQ(r.status, 0);
        EXPECT_EQ(r.err, "");
        EXPECT_EQ(qk::readFile(at("b")), "new");
        if (!c.backup.empty()) {
            EXPECT_EQ(qk::readFile(at(c.backup)), "old");
        }
        for (const char *other : {"b~", "b.old", "b.bak", "b.orig", "b.~1~", "b.x"}) {
            if (c.backup != other
                && std::find(c.present.begin(), c.present.end(), other) == c.present.end()) {
                EXPECT_FALSE(exists(at(other))) << other;
            }
        }
    }
}

TEST_F(Install, BackupOntoTheSourceIsRefused)
{
    file("b", "old");
    file("b~", "source");
    auto r = install({"-b", "b~", "b"});
    EXPECT_EQ(r.status, 1);
    EXPECT_EQ(r.err, msg("backing up `b' would destroy source;  `b~' not copied"));
    EXPECT_EQ(qk::readFile(at("b")), "old");
    EXPECT_EQ(qk::readFile(at("b~")), "source");
}

TEST_F(Install, FailedCopyPutsTheBackupBack)
{
    openToNobody();
    dir("d");
    openToNobody("d");
    file("secret", "S", 0600); // root's, unreadable to nobody
    file("d/b", "old");
    ASSERT_EQ(chown(at("d/b").c_str(), 65534, 65534), 0);
    qk::RunOptions o;
    o.dropPrivileges = true;
    auto r = install({"-b", "-v", "secret", "d/b"}, o);
    EXPECT_EQ(r.status, 1);
    EXPECT_EQ(r.out, "`secret' -> `d/b' (backup: `d/b~')\n`d/b~' -> `d/b' (unbackup)\n");
    EXPECT_EQ(r.err, msg("cannot open `secret' for reading: Permission denied"));
    EXPECT_EQ(qk::readFile(at("d/b")), "old");
    EXPECT_FALSE(exists(at("d/b~")));
}

// ---- verbose output

TEST_F(Install, VerboseLines)
{
    struct Case
    {
        std::vector<std::string> args;
        std::string out;
        std::string err;
    } cases[] = {
        {{"-v", "a", "new"}, "`a' -> `new'\n", ""},
        {{"-v", "a", "old"}, "removed `old'\n`a' -> `old'\n", ""},
        {{"--verbose", "-b", "a", "old"}, "`a' -> `old' (backup: `old~')\n", ""},
        {{"-v", "-D", "a", "x/y/z"},
         "`a' -> `x/y/z'\n",
         msg("creating directory `x'") + msg("creating directory `x/y'")},
        {{"-v", "-d", "p/q/r"},
         "",
         msg("creating directory `p'") + msg("creating directory `p/q'")
             + msg("creating directory `p/q/r'")},
        {{"-v", "-d", "old_dir"}, "", ""}, // nothing made, nothing said
    };
    for (const auto &c : cases) {
        SCOPED_TRACE(joined(c.args));
        fresh();
        file("a", "A");
        file("old", "O");
        dir("old_dir");
        auto r = install(c.args);
        EXPECT_EQ(r.status, 0);
        EXPECT_EQ(r.out, c.out);
        EXPECT_EQ(r.err, c.err);
    }
}

// ---- leading directories

TEST_F(Install, LeadingDirectoriesOfTheDestination)
{
    file("a", "A");
    struct Case
    {
        std::vector<std::string> args;
        std::string dest;
        std::vector<std::string> dirs;
    } cases[] = {
        {{"-D", "a", "x/y/z"}, "x/y/z", {"x", "x/y"}},
        {{"-D", "a", "./p/../q//f"}, "q/f", {"p", "q"}},
        {{"-D", "-m", "600", "-o", "0", "a", "m/n/f"}, "m/n/f", {"m", "m/n"}},
        {{"-D", at("a"), at("abs/dir/f")}, "abs/dir/f", {"abs", "abs/dir"}},
        {{"-D", "a", "plain"}, "plain", {}},
        {{"-D", "a", "x/y/again"}, "x/y/again", {"x", "x/y"}}, // existing ones are fine
    };
    for (const auto &c : cases) {
        SCOPED_TRACE(joined(c.args));
        auto r = install(c.args);
        EXPECT_EQ(r.status, 0);
        EXPECT_EQ(r.err, "");
        EXPECT_EQ(qk::readFile(at(c.dest)), "A");
        for (const auto &d : c.dirs) {
            EXPECT_TRUE(S_ISDIR(lstatOf(at(d)).st_mode)) << d;
            EXPECT_EQ(modeOf(at(d)), 0755u) << d; // whatever -m says
        }
    }
    EXPECT_EQ(modeOf(at("m/n/f")), 0600u);
}

TEST_F(Install, LeadingDirectoryFailures)
{
    file("a", "A");
    file("f", "F");
    struct Case
    {
        std::vector<std::string> args;
        std::string err;
    } cases[] = {
        {{"-D", "a", "f/g"}, msg("accessing `f/g': Not a directory")}, // the form is chosen first
        {{"-D", "-T", "a", "f/g/h"}, msg("cannot create directory `f/g/h': Not a directory")},
        {{"-D", "missing", "n/o"}, msg("cannot stat `missing': No such file or directory")},
        {{"-d", "f"}, msg("cannot create directory `f': File exists")},
        {{"-d", "f/sub", "ok"}, msg("cannot create directory `f/sub': Not a directory")},
    };
    for (const auto &c : cases) {
        SCOPED_TRACE(joined(c.args));
        auto r = install(c.args);
        EXPECT_EQ(r.status, 1);
        EXPECT_EQ(r.out, "");
        EXPECT_EQ(r.err, c.err);
    }
    EXPECT_TRUE(S_ISDIR(lstatOf(at("ok")).st_mode)); // the run went on
    EXPECT_TRUE(S_ISDIR(lstatOf(at("n")).st_mode)); // made before the copy failed
}

TEST_F(Install, UnreadableWorkingDirectoryUsesAChild)
{
    openToNobody();
    dir("w", 0300); // searchable and writable, not readable
    openToNobody("w");
    file("w/a", "A");
    file("w/blocker", "B");
    qk::RunOptions o;
    o.dropPrivileges = true;
    o.cwd = at("w");
    auto r = install({"-d", "-v", "p/q", at("w/abs"), "r/s"}, o);
    EXPECT_EQ(r.status, 0);
    EXPECT_EQ(r.err,
              msg("creating directory `p'") + msg("creating directory `p/q'")
                  + msg("creating directory `" + at("w/abs") + "'") + msg("creating directory `r'")
                  + msg("creating directory `r/s'"));
    for (const char *d : {"w/p/q", "w/abs", "w/r/s"}) {
        EXPECT_TRUE(S_ISDIR(lstatOf(at(d)).st_mode)) << d;
    }

    // the child's failure becomes the status; the parent goes on
    r = install({"-d", "blocker/x", "t/u"}, o);
    EXPECT_EQ(r.status, 1);
    EXPECT_EQ(r.err, msg("cannot create directory `blocker/x': Not a directory"));
    EXPECT_TRUE(S_ISDIR(lstatOf(at("w/t/u")).st_mode));

    r = install({"-D", "a", "x/y/f"}, o);
    EXPECT_EQ(r.status, 0);
    EXPECT_EQ(r.err, "");
    EXPECT_EQ(qk::readFile(at("w/x/y/f")), "A");

    r = install({"-D", "-T", "a", "blocker/y/f"}, o);
    EXPECT_EQ(r.status, 1);
    EXPECT_EQ(r.err, msg("cannot create directory `blocker/y/f': Not a directory"));
}

TEST_F(Install, LostWorkingDirectoryFailsLaterRelativeOperands)
{
    openToNobody();
    dir("w");
    openToNobody("w");
    qk::RunOptions o;
    o.dropPrivileges = true;
    o.cwd = at("w");
    // The first operand takes the search permission from the working
    // directory itself, so that the way back into it is lost.
    auto r = install({"-d", "-m", "600", "../w", "sub"}, o);
    EXPECT_EQ(r.status, 1);
    EXPECT_EQ(r.err, msg("cannot create directory `sub': Permission denied"));
    EXPECT_FALSE(exists(at("sub")));
    EXPECT_EQ(modeOf(at("w")), 0600u);
}

// ---- strip

class InstallStrip : public Install
{
protected:
    qk::TempDir bin;

    void fakeStrip(const std::string &script)
    {
        qk::writeFile(bin.file("strip"), "#!/bin/sh\n" + script, 0755);
        ASSERT_EQ(chmod(bin.path().c_str(), 0755), 0);
    }

    qk::RunOptions withFakePath()
    {
        qk::RunOptions o;
        o.env["PATH"] = bin.path();
        return o;
    }
};

TEST_F(InstallStrip, StripRunsOnEachInstalledFile)
{
    fakeStrip("printf ' stripped' >> \"$1\"\n");
    file("a", "A");
    file("b", "B");
    dir("dir");
    auto r = install({"-s", "-m", "644", "a", "b", "dir"}, withFakePath());
    EXPECT_EQ(r.status, 0);
    EXPECT_EQ(r.err, "");
    EXPECT_EQ(qk::readFile(at("dir/a")), "A stripped");
    EXPECT_EQ(qk::readFile(at("dir/b")), "B stripped");
    EXPECT_EQ(modeOf(at("dir/a")), 0644u);
}

TEST_F(InstallStrip, StripIsGivenTheNameAsAFileNotAnOption)
{
    fakeStrip("printf '%s\\n' \"$@\" >> \"$STRIP_LOG\"\n");
    file("a", "A");
    auto o = withFakePath();
    o.env["STRIP_LOG"] = at("log");
    auto r = install({"-s", "--", "a", "-x"}, o);
    EXPECT_EQ(r.status, 0);
    EXPECT_EQ(r.err, "");
    r = install({"-s", "a", "b"}, o);
    EXPECT_EQ(r.status, 0);
    EXPECT_EQ(qk::readFile(at("log")), "./-x\nb\n");
    EXPECT_EQ(qk::readFile(at("-x")), "A");
}

TEST_F(InstallStrip, FailingStripEndsTheRun)
{
    fakeStrip("exit 1\n");
    file("a", "A");
    file("b", "B");
    dir("dir");
    auto r = install({"-s", "a", "b", "dir"}, withFakePath());
    EXPECT_EQ(r.status, 1);
    EXPECT_EQ(r.err, msg("strip process terminated abnormally"));
    EXPECT_TRUE(exists(at("dir/a")));
    EXPECT_FALSE(exists(at("dir/b")));
}

TEST_F(InstallStrip, MissingStripEndsTheRun)
{
    file("a", "A");
    auto r = install({"-s", "-v", "a", "b"}, withFakePath());
    EXPECT_EQ(r.status, 1);
    EXPECT_EQ(r.out, "`a' -> `b'\n"); // written once, not again by the child
    EXPECT_EQ(r.err,
              msg("cannot run strip: No such file or directory")
                  + msg("strip process terminated abnormally"));
}

TEST_F(InstallStrip, KilledStripEndsTheRun)
{
    fakeStrip("kill -9 $$\n");
    file("a", "A");
    auto r = install({"-s", "a", "b"}, withFakePath());
    EXPECT_EQ(r.status, 1);
    EXPECT_EQ(r.err, msg("strip process terminated abnormally"));
}

TEST_F(InstallStrip, InheritedIgnoredChildSignalDoesNotDefeatTheWait)
{
    fakeStrip("printf ' stripped' >> \"$1\"\n");
    file("a", "A");
    auto o = withFakePath();
    o.prepare = [] { signal(SIGCHLD, SIG_IGN); };
    auto r = install({"-s", "a", "b"}, o);
    EXPECT_EQ(r.status, 0);
    EXPECT_EQ(r.err, "");
    EXPECT_EQ(qk::readFile(at("b")), "A stripped");
}

TEST_F(InstallStrip, TimesAreSetAgainAfterStrip)
{
    fakeStrip("printf ' stripped' >> \"$1\"\n");
    file("a", "A");
    const struct timespec times[2] = {{1000000000, 111222333}, {1100000000, 987654321}};
    ASSERT_EQ(utimensat(AT_FDCWD, at("a").c_str(), times, 0), 0);
    auto r = install({"-p", "-s", "a", "b"}, withFakePath());
    EXPECT_EQ(r.status, 0);
    EXPECT_EQ(r.err, "");
    struct stat st = lstatOf(at("b"));
    EXPECT_EQ(st.st_mtim.tv_sec, 1100000000);
    EXPECT_EQ(st.st_atim.tv_sec, 1000000000);
    EXPECT_EQ(qk::readFile(at("b")), "A stripped"); // after the times: reading may touch them
}

// ---- times

TEST_F(Install, PreservedTimesKeepMicroseconds)
{
    file("a", "A");
    const struct timespec times[2] = {{1000000000, 111222333}, {1100000000, 987654321}};
    ASSERT_EQ(utimensat(AT_FDCWD, at("a").c_str(), times, 0), 0);
    if (lstatOf(at("a")).st_mtim.tv_nsec != 987654321) {
        GTEST_SKIP() << "the file system does not keep nanoseconds";
    }
    auto r = install({"-p", "a", "b"});
    EXPECT_EQ(r.status, 0);
    struct stat st = lstatOf(at("b"));
    // times are set with microsecond precision
    EXPECT_EQ(st.st_atim.tv_sec, 1000000000);
    EXPECT_EQ(st.st_atim.tv_nsec, 111222000);
    EXPECT_EQ(st.st_mtim.tv_sec, 1100000000);
    EXPECT_EQ(st.st_mtim.tv_nsec, 987654000);

    r = install({"a", "c"});
    EXPECT_NE(lstatOf(at("c")).st_mtim.tv_sec, 1100000000); // only with -p

    r = install({"-p", "missing", "d"});
    EXPECT_EQ(r.status, 1);
    EXPECT_EQ(r.err, msg("cannot stat `missing': No such file or directory"));
}

TEST_F(Install, LargeSparseFilesAndLateTimesSurviveTheCopy)
{
    // Offsets, sizes and times past 32 bits: data just after the first
    // 4 GiB of holes, and times in 2100.
    const off_t tail = (off_t(1) << 32) + 1;
    const std::string data = "tail\n";
    file("a", "");
    {
        int fd = open(at("a").c_str(), O_WRONLY);
        ASSERT_GE(fd, 0);
        ASSERT_EQ(pwrite(fd, data.data(), data.size(), tail), ssize_t(data.size()));
        close(fd);
    }
    const struct timespec times[2] = {{4102444800, 0}, {4102444801, 0}};
    ASSERT_EQ(utimensat(AT_FDCWD, at("a").c_str(), times, 0), 0);

    // A million block reads of holes: slow on a loaded machine, so the
    // bound here only guards against a hang.
    qk::RunOptions slow;
    slow.timeoutSeconds = 600;
    auto r = install({"-p", "a", "b"}, slow);
    EXPECT_EQ(r.status, 0);
    EXPECT_EQ(r.err, "");
    struct stat st = lstatOf(at("b"));
    EXPECT_EQ(st.st_size, tail + off_t(data.size()));
    EXPECT_LT(st.st_blocks, 2048) << "the holes were written out";
    EXPECT_EQ(st.st_atim.tv_sec, 4102444800);
    EXPECT_EQ(st.st_mtim.tv_sec, 4102444801);
    char back[8] = {};
    int fd = open(at("b").c_str(), O_RDONLY);
    ASSERT_GE(fd, 0);
    EXPECT_EQ(pread(fd, back, sizeof back, tail), ssize_t(data.size()));
    close(fd);
    EXPECT_EQ(std::string(back), data);
}

// ---- safety

TEST_F(Install, ControlCharactersAreEscapedInMessages)
{
    file("a\tb", "A");
    file("f\x01", "F");
    struct Case
    {
        std::vector<std::string> args;
        int status;
        std::string out;
        std::string err;
    } cases[] = {
        {{"no\nsuch", "x"}, 1, "", msg("cannot stat `no\\nsuch': No such file or directory")},
        {{"-v", "a\tb", "c\x1b"}, 0, "`a\\tb' -> `c\\033'\n", ""},
        {{"-v", "-d", "d\r"}, 0, "", msg("creating directory `d\\r'")},
        {{"-d", "f\x01/x"}, 1, "", msg("cannot create directory `f\\001/x': Not a directory")},
        {{"-D", "-T", "a\tb", "f\x01/y"},
         1,
         "",
         msg("cannot create directory `f\\001/y': Not a directory")},
        {{"a\tb", "f\x01", "z\n"}, 1, "", msg("target `z\\n' is not a directory")},
        {{"a\tb", "f\x01"}, 0, "", ""},
        {{"-t", "f\x01", "a\tb"}, 1, "", msg("target `f\\001' is not a directory")},
        {{"-m", "\x07", "a\tb", "new"}, 1, "", msg("invalid mode `\\a'")},
        {{"-o", "\x07", "a\tb", "new"}, 1, "", msg("invalid user `\\a'")},
    };
    for (const auto &c : cases) {
        SCOPED_TRACE(joined(c.args));
        auto r = install(c.args);
        EXPECT_EQ(r.status, c.status);
        EXPECT_EQ(r.out, c.out);
        EXPECT_EQ(r.err, c.err);
    }
}

TEST_F(Install, FullDiskFailsTheFileAndGoesOn)
{
    if (!qk::canUseMountNamespace()) {
        GTEST_SKIP() << "needs a private mount namespace";
    }
    file("big", std::string(1 << 20, 'x'));
    file("empty", "");
    dir("full");
    qk::RunOptions o;
    std::string target = at("full");
    o.prepare = [target] {
        if (unshare(CLONE_NEWNS) != 0
            || mount("none", "/", nullptr, MS_REC | MS_PRIVATE, nullptr) != 0
            || mount("tmpfs", target.c_str(), "tmpfs", 0, "size=64k") != 0) {
            _exit(127);
        }
    };
    // the partial copy fills the disk; an empty file still fits
    auto r = install({"-v", "big", "empty", "full"}, o);
    EXPECT_EQ(r.status, 1);
    EXPECT_EQ(r.out, "`big' -> `full/big'\n`empty' -> `full/empty'\n");
    EXPECT_EQ(r.err, msg("writing `full/big': No space left on device"));
}

// ---- translations

TEST_F(Install, GermanMessagesAndQuotes)
{
    if (!qk::canUseMountNamespace()) {
        GTEST_SKIP() << "needs a private mount namespace";
    }
    file("a", "A");
    file("b", "B");
    qk::RunOptions o;
    o.binds = {{LOCALE_DIR, "/usr/share/locale"}};
    o.env["LC_ALL"] = "de_DE.UTF-8";
    auto run = [&](std::vector<std::string> args) {
        args.insert(args.begin(), kInstall);
        o.cwd = root();
        return qk::run(args, o);
    };
    auto r = run({"a"});
    EXPECT_EQ(r.status, 1);
    EXPECT_EQ(r.err,
              msg("fehlender Zieldatei-Operand nach „a“") + "„" + kInstall
                  + " --help“ liefert weitere Informationen.\n");
    r = run({"-v", "-b", "a", "b"});
    EXPECT_EQ(r.status, 0);
    EXPECT_EQ(r.out, "„a“ -> „b“ (Sicherung: „b~“)\n");
    r = run({"-d", "-v", "n"});
    EXPECT_EQ(r.err, msg("Verzeichnis „n“ wird angelegt"));
}

// ---- help and version

TEST_F(Install, HelpText)
{
    const std::string &p = kInstall;
    std::string expected = "Usage: " + p
        + " [OPTION]... [-T] SOURCE DEST\n"
          "  or:  "
        + p
        + " [OPTION]... SOURCE... DIRECTORY\n"
          "  or:  "
        + p
        + " [OPTION]... -t DIRECTORY SOURCE...\n"
          "  or:  "
        + p
        + " [OPTION]... -d DIRECTORY...\n"
          "In the first three forms, copy SOURCE to DEST or multiple SOURCE(s) to\n"
          "the existing DIRECTORY, while setting permission modes and owner/group.\n"
          "In the 4th form, create all components of the given DIRECTORY(ies).\n"
          "\n"
          "Mandatory arguments to long options are mandatory for short options too.\n"
          "      --backup[=CONTROL]  make a backup of each existing destination file\n"
          "  -b                  like --backup but does not accept an argument\n"
          "  -c                  (ignored)\n"
          "  -d, --directory     treat all arguments as directory names; create all\n"
          "                        components of the specified directories\n"
          "  -D                  create all leading components of DEST except the last,\n"
          "                        then copy SOURCE to DEST\n"
          "  -g, --group=GROUP   set group ownership, instead of process' current group\n"
          "  -m, --mode=MODE     set permission mode (as in chmod), instead of rwxr-xr-x\n"
          "  -o, --owner=OWNER   set ownership (super-user only)\n"
          "  -p, --preserve-timestamps   apply access/modification times of SOURCE files\n"
          "                        to corresponding destination files\n"
          "  -s, --strip         strip symbol tables\n"
          "  -S, --suffix=SUFFIX  override the usual backup suffix\n"
          "  -t, --target-directory=DIRECTORY  copy all SOURCE arguments into DIRECTORY\n"
          "  -T, --no-target-directory  treat DEST as a normal file\n"
          "  -v, --verbose       print the name of each directory as it is created\n"
          "      --help     display this help and exit\n"
          "      --version  output version information and exit\n"
          "\n"
          "The backup suffix is `~', unless set with --suffix or SIMPLE_BACKUP_SUFFIX.\n"
          "The version control method may be selected via the --backup option or through\n"
          "the VERSION_CONTROL environment variable.  Here are the values:\n"
          "\n"
          "  none, off       never make backups (even if --backup is given)\n"
          "  numbered, t     make numbered backups\n"
          "  existing, nil   numbered if numbered backups exist, simple otherwise\n"
          "  simple, never   always make simple backups\n"
          "\n"
          "Report bugs to <quellkit-bugs@lists.quellkit.org>.\n";
    auto r = install({"--help", "a", "b"});
    EXPECT_EQ(r.status, 0);
    EXPECT_EQ(r.out, expected);
    EXPECT_EQ(r.err, "");
    EXPECT_FALSE(exists(at("b")));
}

TEST_F(Install, VersionText)
{
    auto r = install({"--version"});
    EXPECT_EQ(r.status, 0);
    EXPECT_EQ(r.err, "");
    EXPECT_EQ(r.out,
              "install (quellkit) 6.9\n"
              "Copyright (C) 2026 the Quellkit developers.\n"
              "Licence: GNU General Public License, version 2 or any later version.\n"
              "You may share and change this program under those terms.\n"
              "It comes with no warranty of any kind.\n"
              "\n"
              "Written by the Quellkit developers.\n");
}

TEST_F(Install, VersionOnAFullDeviceIsAWriteError)
{
    qk::RunOptions o;
    o.stdoutPath = "/dev/full";
    auto r = install({"--version"}, o);
    EXPECT_EQ(r.status, 1);
    EXPECT_EQ(r.err, msg("write error: No space left on device"));
}

TEST_F(Install, VerboseOutputOnAFullDeviceIsAWriteError)
{
    file("a", "A");
    qk::RunOptions o;
    o.stdoutPath = "/dev/full";
    auto r = install({"-v", "a", "b"}, o);
    EXPECT_EQ(r.status, 1);
    EXPECT_EQ(r.err, msg("write error: No space left on device"));
    EXPECT_EQ(qk::readFile(at("b")), "A");
}

} // namespace
