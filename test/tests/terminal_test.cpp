// SPDX-License-Identifier: GPL-2.0-or-later
// -t against a pseudo-terminal made here and against a pipe.
#include <gtest/gtest.h>

#include <fcntl.h>
#include <stdlib.h>
#include <sys/wait.h>
#include <unistd.h>

#include <string>
#include <vector>

namespace {

// Runs the program with fd on its standard input and on descriptor 7,
// standard output and error on /dev/null; returns the exit status.
int runOn(int fd, const std::vector<std::string> &words)
{
    pid_t pid = fork();
    if (pid == 0) {
        int null = open("/dev/null", O_WRONLY);
        if (dup2(fd, 0) < 0 || dup2(fd, 7) < 0 || dup2(null, 1) < 0 || dup2(null, 2) < 0) {
            _exit(126);
        }
        std::vector<char *> argv {const_cast<char *>(TEST_PATH)};
        for (const auto &w : words) {
            argv.push_back(const_cast<char *>(w.c_str()));
        }
        argv.push_back(nullptr);
        execv(TEST_PATH, argv.data());
        _exit(127);
    }
    int status = 0;
    waitpid(pid, &status, 0);
    return WIFEXITED(status) ? WEXITSTATUS(status) : 128 + WTERMSIG(status);
}

struct TerminalCase
{
    std::vector<std::string> words;
    int onTerminal;
    int onPipe;
};

TEST(Terminal, DescriptorOnTerminalAndOnPipe)
{
    int master = posix_openpt(O_RDWR | O_NOCTTY);
    ASSERT_GE(master, 0);
    ASSERT_EQ(grantpt(master), 0);
    ASSERT_EQ(unlockpt(master), 0);
    int slave = open(ptsname(master), O_RDWR | O_NOCTTY);
    ASSERT_GE(slave, 0);
    int pipeFds[2];
    ASSERT_EQ(pipe(pipeFds), 0);

    const TerminalCase cases[] = {
        {{"-t", "0"}, 0, 1},
        {{"-t", "7"}, 0, 1},
        {{"-t", "007"}, 0, 1},
        {{"-t", " +0 "}, 0, 1},
        {{"-t", "-0"}, 0, 1}, // zero, not negative
        {{"-t", "1"}, 1, 1}, // /dev/null
        {{"-t", "8"}, 1, 1}, // not open
        {{"-t", "-7"}, 1, 1},
        {{"-t", "99999999999"}, 1, 1},
        {{"-t", "4294967296"}, 1, 1},
        // negative beyond the descriptors: would be 0 and 7 if cut to int
        {{"-t", "-4294967296"}, 1, 1},
        {{"-t", "-4294967289"}, 1, 1},
        {{"-t", "-99999999999999999999999"}, 1, 1}, // out of range for long
        {{"!", "-t", "0"}, 1, 0},
        {{"x", "-a", "-t", "0"}, 0, 1},
        {{"-t", "0x"}, 2, 2},
    };
    for (const auto &c : cases) {
        std::string words;
        for (const auto &w : c.words) {
            words += "[" + w + "]";
        }
        EXPECT_EQ(runOn(slave, c.words), c.onTerminal) << words << " on a terminal";
        EXPECT_EQ(runOn(pipeFds[0], c.words), c.onPipe) << words << " on a pipe";
    }
    close(pipeFds[0]);
    close(pipeFds[1]);
    close(slave);
    close(master);
}

} // namespace
