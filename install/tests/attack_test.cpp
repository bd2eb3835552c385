// SPDX-License-Identifier: GPL-2.0-or-later
// install run by root into directories that an ordinary local user can
// write, while that user tries to redirect what root does. Races are made
// deterministic: the program is stopped at a chosen call by a preloaded
// library, the user acts, then the program goes on.
#include "qktest.h"

#include <gtest/gtest.h>

#include <fcntl.h>
#include <grp.h>
#include <poll.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

#include <cerrno>
#include <cstring>
#include <functional>
#include <future>
#include <string>
#include <vector>

namespace {

const std::string kInstall = INSTALL_PATH;
const uid_t kNobody = 65534;
const time_t kVictimTime = 1500000000;

std::string msg(const std::string &text)
{
    return kInstall + ": " + text + "\n";
}

struct stat lstatOf(const std::string &path)
{
    struct stat st = {};
    EXPECT_EQ(lstat(path.c_str(), &st), 0) << path;
    return st;
}

bool exists(const std::string &path)
{
    struct stat st;
    return lstat(path.c_str(), &st) == 0;
}

// Takes on uid (and the group of the same number) with no supplementary
// groups; false when that failed.
bool becomeUser(uid_t uid)
{
    return setgroups(0, nullptr) == 0 && setgid(uid) == 0 && setuid(uid) == 0;
}

// Runs step as nobody:nogroup in a child process; true when it succeeded.
bool asNobody(const std::function<bool()> &step)
{
    pid_t pid = fork();
    if (pid == 0) {
        if (!becomeUser(kNobody)) {
            _exit(2);
        }
        _exit(step() ? 0 : 1);
    }
    int status = 0;
    while (waitpid(pid, &status, 0) < 0 && errno == EINTR) { }
    return WIFEXITED(status) && WEXITSTATUS(status) == 0;
}

// The two FIFOs of the preloaded library and the test's ends of them.
class Pause
{
public:
    Pause()
    {
        // open to a program that runs as another user
        EXPECT_EQ(chmod(m_dir.path().c_str(), 0755), 0);
        for (const char *name : {"reached", "resume"}) {
            EXPECT_EQ(mkfifo(m_dir.file(name).c_str(), 0666), 0);
            EXPECT_EQ(chmod(m_dir.file(name).c_str(), 0666), 0);
        }
        m_reached = open(m_dir.file("reached").c_str(), O_RDONLY | O_NONBLOCK | O_CLOEXEC);
        EXPECT_GE(m_reached, 0);
    }
    ~Pause() { close(m_reached); }

    // Environment that stops the program at the nth call of call.
    void arm(qk::RunOptions &o, const std::string &call, bool after, int nth = 1) const
    {
        o.env["LD_PRELOAD"] = PAUSE_LIBRARY;
        // a sanitizer runtime would otherwise insist on coming first
        o.env["ASAN_OPTIONS"] = "verify_asan_link_order=0";
        o.env["QK_PAUSE_CALL"] = call;
        o.env["QK_PAUSE_AFTER"] = after ? "1" : "0";
        o.env["QK_PAUSE_NTH"] = std::to_string(nth);
        o.env["QK_PAUSE_DIR"] = m_dir.path();
    }

    // Waits (bounded) until the program has stopped.
    bool reached()
    {
        pollfd p = {m_reached, POLLIN, 0};
        char byte;
        return poll(&p, 1, 30000) == 1 && read(m_reached, &byte, 1) == 1;
    }

    void resume()
    {
        int fd = open(m_dir.file("resume").c_str(), O_WRONLY | O_NONBLOCK | O_CLOEXEC);
        ASSERT_GE(fd, 0) << strerror(errno);
        EXPECT_EQ(write(fd, "g", 1), 1);
        close(fd);
    }

private:
    qk::TempDir m_dir;
    int m_reached = -1;
};

class Attack : public ::testing::Test
{
protected:
    qk::TempDir m_tmp;
    qk::TempDir m_bin;

    void SetUp() override
    {
        if (geteuid() != 0) {
            GTEST_SKIP() << "needs root to act as another user";
        }
        // nobody may pass through the top and write the staging directory
        ASSERT_EQ(chmod(m_tmp.path().c_str(), 0755), 0);
        ASSERT_EQ(mkdir(at("stage").c_str(), 0777), 0);
        ASSERT_EQ(chmod(at("stage").c_str(), 0777), 0);
        qk::writeFile(at("src"), "new data", 0644);
        qk::writeFile(at("victim"), "secret", 0600);
        struct timespec times[2] = {{kVictimTime, 0}, {kVictimTime, 0}};
        ASSERT_EQ(utimensat(AT_FDCWD, at("victim").c_str(), times, 0), 0);
        ASSERT_EQ(mkdir(at("elsewhere").c_str(), 0700), 0);
        ASSERT_EQ(mkdir(at("elsewhere/b").c_str(), 0755), 0);
    }

    std::string at(const std::string &name) const { return m_tmp.file(name); }

    void fakeStrip(const std::string &script)
    {
        qk::writeFile(m_bin.file("strip"), "#!/bin/sh\n" + script, 0755);
    }

    qk::RunOptions options() const
    {
        qk::RunOptions o;
        o.cwd = m_tmp.path();
        o.env["LC_ALL"] = "C";
        o.env["PATH"] = m_bin.path();
        o.unsetEnv = {"VERSION_CONTROL", "SIMPLE_BACKUP_SUFFIX", "LANGUAGE"};
        return o;
    }

    qk::RunResult install(std::vector<std::string> args, const qk::RunOptions &o) const
    {
        args.insert(args.begin(), kInstall);
        return qk::run(args, o);
    }

    // Runs install stopped at a call, lets nobody take the step, goes on.
    qk::RunResult raced(const std::vector<std::string> &args, const std::string &call, bool after,
                        int nth, const std::function<bool()> &step, qk::RunOptions o = {})
    {
        if (o.cwd.empty()) {
            o = options();
        }
        Pause pause;
        pause.arm(o, call, after, nth);
        auto running = std::async(std::launch::async, [&] { return install(args, o); });
        bool stopped = pause.reached();
        EXPECT_TRUE(stopped) << "install did not reach " << call;
        if (stopped) {
            EXPECT_TRUE(asNobody(step)) << "the attacker's step failed";
            pause.resume();
        }
        return running.get();
    }

    // The victim is root's, private and unchanged.
    void expectVictimUntouched()
    {
        struct stat st = lstatOf(at("victim"));
        EXPECT_EQ(st.st_uid, 0u);
        EXPECT_EQ(st.st_mode & 07777, 0600u);
        EXPECT_EQ(st.st_mtim.tv_sec, kVictimTime);
        EXPECT_EQ(qk::readFile(at("victim")), "secret");
    }
};

// Swaps the new file for a link to the victim, keeping the file aside.
bool swapInLink(const std::string &name, const std::string &aside, const std::string &target)
{
    return rename(name.c_str(), aside.c_str()) == 0 && symlink(target.c_str(), name.c_str()) == 0;
}

TEST_F(Attack, OwnerModeAndTimesGoToTheNewFileNotToALinkSwappedIn)
{
    fakeStrip("printf ' stripped' >> \"$1\"\n");
    struct timespec old[2] = {{1000000000, 0}, {1000000000, 0}};
    ASSERT_EQ(utimensat(AT_FDCWD, at("src").c_str(), old, 0), 0);
    struct Case
    {
        std::vector<std::string> options;
        std::string source;
        const char *call; // the program stops after it
        int status;
        std::string err;
    } cases[] = {
        {{"-o", "65534", "-m", "644"}, "src", "acl_set_fd", 0, ""},
        {{"-p", "-o", "65534", "-m", "644"}, "src", "acl_set_fd", 0, ""},
        // times are set again after the copy for a source that is no file
        {{"-p", "-o", "65534", "-m", "644"}, "/dev/null", "acl_set_fd", 0, ""},
        // the window is the whole strip run; the link is refused under the
        // message of the first step that needs the file
        {{"-s", "-o", "65534", "-m", "644"},
         "src",
         "waitpid",
         1,
         msg("cannot change ownership of `stage/f': Too many levels of symbolic links")},
        {{"-s", "-p", "-m", "644"},
         "src",
         "waitpid",
         1,
         msg("cannot set time stamps for `stage/f': Too many levels of symbolic links")},
        {{"-s", "-m", "4755"},
         "src",
         "waitpid",
         1,
         msg("cannot change permissions of `stage/f': Too many levels of symbolic links")},
    };
    for (const Case &c : cases) {
        SCOPED_TRACE(c.options[0] + " " + c.options[1] + " " + c.source);
        std::vector<std::string> args = c.options;
        args.insert(args.end(), {c.source, "stage/f"});
        std::string victim = at("victim");
        qk::RunResult r = raced(args, c.call, true, 1, [&] {
            return swapInLink(at("stage/f"), at("stage/aside"), victim);
        });
        EXPECT_EQ(r.status, c.status);
        EXPECT_EQ(r.err, c.err);
        expectVictimUntouched();
        if (c.status == 0) {
            // the new file, wherever it went, got what was asked for
            struct stat st = lstatOf(at("stage/aside"));
            EXPECT_EQ(st.st_uid, kNobody);
            EXPECT_EQ(st.st_mode & 07777, 0644u);
        }
        unlink(at("stage/f").c_str());
        unlink(at("stage/aside").c_str());
    }
}

TEST_F(Attack, FileSwappedForAFifoDuringStripIsRefusedWithoutBlocking)
{
    fakeStrip("exit 0\n");
    std::string f = at("stage/f");
    qk::RunOptions o = options();
    o.timeoutSeconds = 20;
    qk::RunResult r = raced(
        {"-s", "-m", "600", "src", "stage/f"},
        "waitpid",
        true,
        1,
        [&] { return unlink(f.c_str()) == 0 && mkfifo(f.c_str(), 0644) == 0; },
        o);
    EXPECT_EQ(r.status, 1);
    EXPECT_EQ(r.err, msg("cannot change permissions of `stage/f': Invalid argument"));
    EXPECT_EQ(lstatOf(f).st_mode & 07777, 0644u);
}

TEST_F(Attack, CopyWithLeadingDirectoriesStaysInTheDirectoriesItMade)
{
    // stopped after making stage/a/b (the first mkdir is of the existing
    // stage): stage/a is swapped for a link to a tree that has a b too
    std::string elsewhere = at("elsewhere");
    qk::RunResult r = raced({"-D", "src", "stage/a/b/f"}, "mkdir", true, 3, [&] {
        return swapInLink(at("stage/a"), at("stage/aside"), elsewhere);
    });
    EXPECT_EQ(r.status, 0);
    EXPECT_EQ(r.err, "");
    EXPECT_FALSE(exists(at("elsewhere/b/f")));
    EXPECT_EQ(qk::readFile(at("stage/aside/b/f")), "new data");
    EXPECT_EQ(lstatOf(at("stage/aside/b/f")).st_mode & 07777, 0755u);
}

TEST_F(Attack, ChildThatMadeTheLeadingDirectoriesHandsTheLastOneOver)
{
    // install runs as another ordinary user from a working directory it
    // cannot read, so a child makes the directories; nobody swaps stage/a
    // for a link to a tree of that user after the child made stage/a/b
    // (the first mkdir is of the existing stage)
    const uid_t user = 65533;
    ASSERT_EQ(mkdir(at("w").c_str(), 0300), 0);
    ASSERT_EQ(chmod(at("w").c_str(), 0300), 0);
    ASSERT_EQ(chown(at("w").c_str(), user, user), 0);
    ASSERT_EQ(chown(at("elsewhere").c_str(), user, user), 0);
    ASSERT_EQ(chown(at("elsewhere/b").c_str(), user, user), 0);
    qk::RunOptions o = options();
    o.cwd = at("w");
    o.prepare = [user] {
        if (!becomeUser(user)) {
            _exit(127);
        }
    };
    std::string elsewhere = at("elsewhere");
    qk::RunResult r = raced(
        {"-D", at("src"), "../stage/a/b/f"},
        "mkdir",
        true,
        3,
        [&] { return swapInLink(at("stage/a"), at("stage/aside"), elsewhere); },
        o);
    EXPECT_EQ(r.status, 0);
    EXPECT_EQ(r.err, "");
    EXPECT_FALSE(exists(at("elsewhere/b/f")));
    EXPECT_EQ(qk::readFile(at("stage/aside/b/f")), "new data");
}

TEST_F(Attack, LeadingDirectorySwappedWhileTheWalkRunsIsNotEntered)
{
    std::string elsewhere = at("elsewhere");
    qk::RunResult r = raced({"-D", "src", "stage/a/b/f"}, "mkdir", true, 2, [&] {
        return swapInLink(at("stage/a"), at("stage/aside"), elsewhere);
    });
    EXPECT_EQ(r.status, 1);
    EXPECT_EQ(r.err, msg("cannot create directory `stage/a/b/f': Not a directory"));
    EXPECT_FALSE(exists(at("elsewhere/b/f")));
    EXPECT_EQ(lstatOf(at("elsewhere")).st_mode & 07777, 0700u);
}

TEST_F(Attack, DirectorySwappedRightAfterItWasMadeIsNotFixed)
{
    // the trailing slash must not make the open follow the link
    std::string elsewhere = at("elsewhere");
    qk::RunResult r = raced({"-d", "-o", "65534", "-m", "755", "stage/n/"}, "mkdir", true, 2, [&] {
        return swapInLink(at("stage/n"), at("stage/aside"), elsewhere);
    });
    EXPECT_EQ(r.status, 1);
    EXPECT_EQ(r.err, msg("cannot change owner and permissions of `stage/n/': Not a directory"));
    EXPECT_EQ(lstatOf(at("elsewhere")).st_uid, 0u);
    EXPECT_EQ(lstatOf(at("elsewhere")).st_mode & 07777, 0700u);
}

TEST_F(Attack, LinksPlantedByOthersAreNotFollowed)
{
    struct Case
    {
        bool byNobody; // else root planted the link: it is followed as before
        std::vector<std::string> args;
        int status;
        std::string err;
    } cases[] = {
        {true,
         {"-d", "stage/l"},
         1,
         msg("cannot change permissions of `stage/l': Permission denied")},
        {true,
         {"-d", "-o", "65534", "stage/l/"},
         1,
         msg("cannot change owner and permissions of `stage/l/': Permission denied")},
        {true,
         {"-D", "src", "stage/l/f"},
         1,
         msg("cannot create directory `stage/l/f': Permission denied")},
        {false, {"-d", "stage/l"}, 0, ""},
        {false, {"-D", "src", "stage/l/f"}, 0, ""},
    };
    for (const Case &c : cases) {
        SCOPED_TRACE(c.args[0] + (c.byNobody ? " link of nobody" : " link of root"));
        std::string target = at("elsewhere");
        std::string link = at("stage/l");
        auto plant = [&] { return symlink(target.c_str(), link.c_str()) == 0; };
        ASSERT_TRUE(c.byNobody ? asNobody(plant) : plant());
        qk::RunResult r = install(c.args, options());
        EXPECT_EQ(r.status, c.status);
        EXPECT_EQ(r.err, c.err);
        bool followed = c.status == 0;
        // only -d fixes the mode of the directory it ends in
        EXPECT_EQ(lstatOf(at("elsewhere")).st_mode & 07777,
                  followed && c.args[0] == "-d" ? 0755u : 0700u);
        EXPECT_EQ(lstatOf(at("elsewhere")).st_uid, 0u);
        EXPECT_EQ(exists(at("elsewhere/f")), followed && c.args[0] == "-D");
        unlink(link.c_str());
        unlink(at("elsewhere/f").c_str());
        chmod(at("elsewhere").c_str(), 0700);
    }
}

TEST_F(Attack, StripStartsWithTheMaskOfTheRunAndNoOpenDescriptors)
{
    // descriptors 3 to 9: the shell keeps its script above them
    fakeStrip("umask > \"$1.mask\"\n"
              "for n in 3 4 5 6 7 8 9; do [ -e /proc/$$/fd/$n ] && echo $n; done"
              " > \"$1.fds\"\n"
              "exit 0\n");
    qk::RunOptions o = options();
    o.prepare = [] { umask(027); };
    qk::RunResult r = install({"-s", "-D", "src", "stage/x/f"}, o);
    EXPECT_EQ(r.status, 0) << r.err;
    EXPECT_EQ(qk::readFile(at("stage/x/f.mask")), "0027\n");
    EXPECT_EQ(qk::readFile(at("stage/x/f.fds")), "");
}

TEST_F(Attack, PlantedOrSwappedInLinkIsNeverWrittenThrough)
{
    std::string victim = at("victim");
    std::string f = at("stage/f");
    // planted before the run: the link is removed, not followed
    ASSERT_TRUE(asNobody([&] { return symlink(victim.c_str(), f.c_str()) == 0; }));
    qk::RunResult r = install({"src", "stage/f"}, options());
    EXPECT_EQ(r.status, 0) << r.err;
    EXPECT_TRUE(S_ISREG(lstatOf(f).st_mode));
    expectVictimUntouched();

    // swapped in between the removal and the exclusive creation
    r = raced({"src", "stage/f"}, "unlinkat", true, 1, [&] {
        return symlink(victim.c_str(), f.c_str()) == 0;
    });
    EXPECT_EQ(r.status, 1);
    EXPECT_EQ(r.err, msg("cannot create regular file `stage/f': File exists"));
    expectVictimUntouched();
}

TEST_F(Attack, NewFileIsPrivateWhileItIsWritten)
{
    std::string f = at("stage/f");
    qk::RunResult r = raced({"-m", "666", "src", "stage/f"}, "write", true, 1, [&] {
        struct stat st;
        return lstat(f.c_str(), &st) == 0 && (st.st_mode & 07777) == 0600
            && open(f.c_str(), O_RDWR) < 0 && errno == EACCES;
    });
    EXPECT_EQ(r.status, 0) << r.err;
    EXPECT_EQ(lstatOf(f).st_mode & 07777, 0666u);
}

} // namespace
