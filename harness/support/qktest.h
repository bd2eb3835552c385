// SPDX-License-Identifier: GPL-2.0-or-later
// Helpers for the test suites: running a built program and capturing what it
// does, and temporary directories that clean up after themselves.
#pragma once

#include <functional>
#include <map>
#include <optional>
#include <string>
#include <utility>
#include <vector>

namespace qk {

struct RunOptions
{
    // Variables set (or replaced) in the child's environment.
    std::map<std::string, std::string> env;
    // Variables removed from the child's environment.
    std::vector<std::string> unsetEnv;
    // Start from an empty environment before applying env.
    bool clearEnv = false;
    // Written to the child's standard input, which is then closed. Without
    // it the child's standard input is /dev/null.
    std::optional<std::string> input;
    std::string cwd;
    // Run as nobody:nogroup with no supplementary groups (the caller must be
    // root).
    bool dropPrivileges = false;
    // Bind mounts (source, target) made in a private mount namespace of the
    // child before it starts; targets that are files must exist.
    std::vector<std::pair<std::string, std::string>> binds;
    // Directories covered, in the child's private mount namespace, by a
    // writable overlay whose changes land in a scratch directory and vanish
    // with the child: the child (or prepare) may then add, change or remove
    // files there without touching the real system.
    std::vector<std::string> overlays;
    // Give the child a private mount namespace also without binds or
    // overlays, for the mounts that prepare makes.
    bool privateMounts = false;
    // Called in the child after the mounts and before privileges are
    // dropped; a failure should _exit(127).
    std::function<void()> prepare;
    // Start the child with standard output closed, or on this path.
    bool closeStdout = false;
    std::string stdoutPath;
    std::string stderrPath;
    // Seconds before the child is killed (its status then is 128 + 9).
    int timeoutSeconds = 60;
};

struct RunResult
{
    int status = -1; // exit status, or 128 + signal number
    bool signaled = false;
    std::string out;
    std::string err;
};

// Runs argv[0] (a path, or a name looked up in PATH) with the arguments.
RunResult run(const std::vector<std::string> &argv, const RunOptions &options = {});

// A fresh directory under TMPDIR (or /tmp), removed with its contents when
// the object goes away.
class TempDir
{
public:
    TempDir();
    ~TempDir();
    TempDir(const TempDir &) = delete;
    TempDir &operator=(const TempDir &) = delete;

    const std::string &path() const { return m_path; }
    // path() + "/" + name
    std::string file(const std::string &name) const;

private:
    std::string m_path;
};

// Whole-file helpers; they fail the current test on error.
std::string readFile(const std::string &path);
void writeFile(const std::string &path, const std::string &data, int mode = 0644);

// True when the process runs as root and may use mount namespaces.
bool canUseMountNamespace();

// True when this 32-bit process runs under the user-mode emulator that the
// set-up registers on kernels without 32-bit support. The emulator gives a
// fixed stack, installs no seccomp filters and does not host valgrind.
bool underEmulation();

} // namespace qk
