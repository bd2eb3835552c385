// SPDX-License-Identifier: GPL-2.0-or-later
#include "backup.h"

#include <cerrno>
#include <cstdlib>
#include <gtest/gtest.h>
#include <string>
#include <unistd.h>
#include <vector>

#include "qktest.h"

namespace {

std::string backupName(const std::string &file, backup_type type, const char *suffix = "~")
{
    const char *saved = simple_backup_suffix;
    simple_backup_suffix = suffix;
    char *name = backup_name_for(file.c_str(), type);
    simple_backup_suffix = saved;
    std::string result = name;
    free(name);
    return result;
}

class EnvGuard
{
public:
    explicit EnvGuard(const char *name)
        : m_name(name)
    {
        const char *value = getenv(name);
        m_had = value != nullptr;
        if (m_had)
            m_value = value;
    }
    ~EnvGuard()
    {
        if (m_had)
            setenv(m_name, m_value.c_str(), 1);
        else
            unsetenv(m_name);
    }

private:
    const char *m_name;
    bool m_had = false;
    std::string m_value;
};

TEST(BackupName, SimpleAppendsTheSuffix)
{
    qk::TempDir dir;
    struct Case
    {
        const char *suffix;
        const char *expected;
    } cases[] = {
        {"~", "dir/f~"},
        {".orig", "dir/f.orig"},
        {".a-suffix-longer-than-nine", "dir/f.a-suffix-longer-than-nine"},
        {"", "dir/f"},
    };
    for (const Case &c : cases)
        EXPECT_EQ(backupName(dir.file("dir/f"), backup_simple, c.suffix), dir.file(c.expected))
            << c.suffix;
}

TEST(BackupName, NumberedSearchCountsOnlyWellFormedEntries)
{
    struct Case
    {
        std::vector<std::string> entries;
        backup_type type;
        const char *expected;
    } cases[] = {
        {{"f.~1~", "f.~2~", "f.~10~"}, numbered_backups, "f.~11~"},
        {{"f.~9~"}, numbered_backups, "f.~10~"},
        {{"f.~99~"}, numbered_backups, "f.~100~"},
        {{"f.~3~", "f.~12~", "f.~7~"}, numbered_backups, "f.~13~"}, // more digits win over bytes
        {{"f.~19~", "f.~2~"}, numbered_backups, "f.~20~"},
        {{"f.~999~", "f.~1000~", "f.~998~"}, numbered_backups, "f.~1001~"},
        {{"f.~99999999~"}, numbered_backups, "f.~100000000~"}, // grows the buffer
        {{"f.~01~", "f.~1~x", "f.~~", "g.~1~", "f.~1", "ff.~5~", "f.~-1~", "f.~1a~"},
         numbered_backups,
         "f.~1~"},
        {{}, numbered_backups, "f.~1~"},
        {{"f.~3~"}, backup_existing, "f.~4~"},
        {{}, backup_existing, "f~"},
        {{"f.~01~", "g.~4~", "f~"}, backup_existing, "f~"},
    };
    for (const Case &c : cases) {
        qk::TempDir dir;
        qk::writeFile(dir.file("f"), "data");
        std::string all;
        for (const std::string &e : c.entries) {
            qk::writeFile(dir.file(e), "");
            all += e + " ";
        }
        EXPECT_EQ(backupName(dir.file("f"), c.type), dir.file(c.expected))
            << "entries: " << all << "type " << c.type;
    }
}

TEST(BackupName, ExistingFallsBackToTheCurrentSuffix)
{
    qk::TempDir dir;
    EXPECT_EQ(backupName(dir.file("f"), backup_existing, ".orig"), dir.file("f.orig"));
}

TEST(BackupName, UnopenableDirectoryHasNoNumberedBackups)
{
    qk::TempDir dir;
    EXPECT_EQ(backupName(dir.file("missing/f"), numbered_backups), dir.file("missing/f.~1~"));
    EXPECT_EQ(backupName(dir.file("missing/f"), backup_existing), dir.file("missing/f~"));
}

TEST(BackupName, UnqualifiedNameSearchesTheWorkingDirectory)
{
    qk::TempDir dir;
    qk::writeFile(dir.file("f.~4~"), "");
    qk::writeFile(dir.file("sub.~7~"), "");
    qk::RunOptions options;
    options.cwd = dir.path();
    qk::RunResult r = qk::run({PROBE_PATH, "backup-name", "f", "3"}, options);
    EXPECT_EQ(r.status, 0) << r.err;
    EXPECT_EQ(r.out, "f.~5~\n");
    r = qk::run({PROBE_PATH, "backup-name", "--suffix=.bak", "g", "2"}, options);
    EXPECT_EQ(r.out, "g.bak\n");
}

TEST(BackupName, LongNamesAreShortenedToTheDirectoryLimit)
{
    qk::TempDir dir;
    if (pathconf(dir.path().c_str(), _PC_NAME_MAX) != 255)
        GTEST_SKIP() << "needs a directory with a name limit of 255";
    auto name = [](size_t n) { return std::string(n, 'n'); };
    // an all-nines backup of a 251-byte name needs 256 bytes
    qk::writeFile(dir.file(name(251) + ".~9~"), "");
    qk::writeFile(dir.file(name(250) + ".~9~"), "");

    struct Case
    {
        std::string file;
        backup_type type;
        const char *suffix;
        std::string expected;
    } cases[] = {
        {name(254), backup_simple, ".orig", name(254) + "~"},
        {name(255), backup_simple, ".orig", name(254) + "~"},
        {name(250), backup_simple, ".orig", name(250) + ".orig"}, // 255 bytes fit
        {name(252), numbered_backups, "~", name(252) + "~"},
        {name(251), numbered_backups, "~", name(251) + "~"},
        {name(250), numbered_backups, "~", name(250) + ".~10~"},
        {name(251), backup_existing, ".orig", name(251) + "~"},
    };
    for (const Case &c : cases)
        EXPECT_EQ(backupName(dir.file(c.file), c.type, c.suffix), dir.file(c.expected))
            << c.file.size() << " bytes, type " << c.type << ", suffix " << c.suffix;
}

TEST(BackupName, LimitOfAnUnreadableDirectoryIs255)
{
    qk::TempDir dir;
    std::string file = dir.file("missing/" + std::string(300, 'n'));
    EXPECT_EQ(backupName(file, backup_simple), dir.file("missing/" + std::string(254, 'n') + "~"));
}

TEST(BackupType, KeywordsAbbreviationsAndEnvironment)
{
    EnvGuard guard("VERSION_CONTROL");
    struct Case
    {
        const char *argument;
        const char *env; // nullptr: unset
        backup_type expected;
    } cases[] = {
        {"none", nullptr, backup_none},
        {"off", nullptr, backup_none},
        {"simple", nullptr, backup_simple},
        {"never", nullptr, backup_simple}, // "never" still makes backups
        {"existing", nullptr, backup_existing},
        {"nil", nullptr, backup_existing},
        {"numbered", nullptr, numbered_backups},
        {"t", nullptr, numbered_backups},
        {"nu", nullptr, numbered_backups},
        {"ne", nullptr, backup_simple},
        {"ex", nullptr, backup_existing},
        {"s", nullptr, backup_simple}, // only "simple" begins with s
        {"t", "none", numbered_backups}, // the argument wins
        {nullptr, nullptr, backup_existing},
        {nullptr, "", backup_existing},
        {"", "", backup_existing},
        {nullptr, "numbered", numbered_backups},
        {"", "never", backup_simple},
        {nullptr, "of", backup_none},
    };
    for (const Case &c : cases) {
        if (c.env)
            setenv("VERSION_CONTROL", c.env, 1);
        else
            unsetenv("VERSION_CONTROL");
        EXPECT_EQ(backup_type_of("backup type", c.argument), c.expected)
            << (c.argument ? c.argument : "(none)") << " with VERSION_CONTROL "
            << (c.env ? c.env : "(unset)");
    }
}

TEST(BackupType, BadKeywordsEndTheRunAfterTheListAndTheHint)
{
    const std::string list = "Valid arguments are:\n"
                             "  - `none', `off'\n"
                             "  - `simple', `never'\n"
                             "  - `existing', `nil'\n"
                             "  - `numbered', `t'\n";
    const std::string prog = PROBE_PATH;
    const std::string hint = "Try `" + prog + " --help' for more information.\n";
    struct Case
    {
        std::vector<std::string> args;
        const char *env;
        std::string err;
    } cases[] = {
        {{"--hint", "backup type", "n"},
         nullptr,
         prog + ": ambiguous argument `n' for `backup type'\n" + list + hint},
        {{"--hint", "backup type", "foo"},
         nullptr,
         prog + ": invalid argument `foo' for `backup type'\n" + list + hint},
        {{"--hint", "backup type"},
         "bogus",
         prog + ": invalid argument `bogus' for `$VERSION_CONTROL'\n" + list + hint},
        {{"--hint", "backup type", "numbered-x"},
         "t",
         prog + ": invalid argument `numbered-x' for `backup type'\n" + list + hint},
        // without the driver's hook the run still ends with status 1
        {{"backup type", "x"}, nullptr, prog + ": invalid argument `x' for `backup type'\n" + list},
    };
    for (const Case &c : cases) {
        qk::RunOptions options;
        options.env["LC_ALL"] = "C";
        options.unsetEnv = {"LANGUAGE"};
        if (c.env)
            options.env["VERSION_CONTROL"] = c.env;
        else
            options.unsetEnv.push_back("VERSION_CONTROL");
        std::vector<std::string> argv = {PROBE_PATH, "backup-type"};
        argv.insert(argv.end(), c.args.begin(), c.args.end());
        qk::RunResult r = qk::run(argv, options);
        EXPECT_EQ(r.status, 1) << c.args.back();
        EXPECT_EQ(r.out, "") << c.args.back();
        EXPECT_EQ(r.err, c.err) << c.args.back();
    }
}

} // namespace
