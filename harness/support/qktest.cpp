// SPDX-License-Identifier: GPL-2.0-or-later
#include "qktest.h"

#include <gtest/gtest.h>

#include <cerrno>
#include <cstdlib>
#include <cstring>
#include <fcntl.h>
#include <fstream>
#include <ftw.h>
#include <grp.h>
#include <poll.h>
#include <sched.h>
#include <signal.h>
#include <sstream>
#include <sys/mount.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <time.h>
#include <unistd.h>

extern char **environ;

namespace qk {

namespace {

[[noreturn]] void childFail(const char *what)
{
    dprintf(2, "qktest child: %s: %s\n", what, strerror(errno));
    _exit(127);
}

void redirect(int fd, const std::string &path, int flags)
{
    int f = open(path.c_str(), flags, 0644);
    if (f < 0) {
        childFail(path.c_str());
    }
    if (dup2(f, fd) < 0) {
        childFail("dup2");
    }
    close(f);
}

std::vector<std::string> childEnvironment(const RunOptions &o)
{
    std::map<std::string, std::string> vars;
    if (!o.clearEnv) {
        for (char **e = environ; *e; ++e) {
            const char *eq = strchr(*e, '=');
            if (eq) {
                vars[std::string(*e, size_t(eq - *e))] = eq + 1;
            }
        }
    }
    for (const auto &name : o.unsetEnv) {
        vars.erase(name);
    }
    for (const auto &kv : o.env) {
        vars[kv.first] = kv.second;
    }
    std::vector<std::string> out;
    for (const auto &kv : vars) {
        out.push_back(kv.first + "=" + kv.second);
    }
    return out;
}

[[noreturn]] void startChild(const std::vector<std::string> &argv, const RunOptions &o,
                             const std::vector<std::string> &scratches, int inFd, int outFd,
                             int errFd)
{
    // The test runner may have blocked or ignored signals; the child must not
    // inherit that.
    sigset_t none;
    sigemptyset(&none);
    sigprocmask(SIG_SETMASK, &none, nullptr);
    signal(SIGPIPE, SIG_DFL);
    signal(SIGCHLD, SIG_DFL);

    if (o.privateMounts || !o.binds.empty() || !o.overlays.empty()) {
        if (unshare(CLONE_NEWNS) != 0) {
            childFail("unshare");
        }
        if (mount("none", "/", nullptr, MS_REC | MS_PRIVATE, nullptr) != 0) {
            childFail("mount private");
        }
        for (const auto &b : o.binds) {
            if (mount(b.first.c_str(), b.second.c_str(), nullptr, MS_BIND, nullptr) != 0) {
                childFail(b.second.c_str());
            }
        }
        for (size_t i = 0; i < o.overlays.size(); ++i) {
            const std::string &dir = o.overlays[i];
            const std::string &scratch = scratches[i];
            // The changes live in a tmpfs of the namespace only.
            if (mount("tmpfs", scratch.c_str(), "tmpfs", 0, nullptr) != 0) {
                childFail("overlay tmpfs");
            }
            std::string upper = scratch + "/upper";
            std::string work = scratch + "/work";
            mkdir(upper.c_str(), 0755);
            mkdir(work.c_str(), 0755);
            std::string data = "lowerdir=" + dir + ",upperdir=" + upper + ",workdir=" + work;
            if (mount("overlay", dir.c_str(), "overlay", 0, data.c_str()) != 0) {
                childFail(dir.c_str());
            }
        }
    }
    if (o.prepare) {
        o.prepare();
    }
    if (inFd >= 0) {
        dup2(inFd, 0);
    } else {
        redirect(0, "/dev/null", O_RDONLY);
    }
    if (o.closeStdout) {
        close(1);
    } else if (!o.stdoutPath.empty()) {
        redirect(1, o.stdoutPath, O_WRONLY | O_CREAT | O_TRUNC);
    } else {
        dup2(outFd, 1);
    }
    if (!o.stderrPath.empty()) {
        redirect(2, o.stderrPath, O_WRONLY | O_CREAT | O_TRUNC);
    } else {
        dup2(errFd, 2);
    }
    for (int fd = 3; fd < 1024; ++fd) {
        close(fd);
    }
    if (!o.cwd.empty() && chdir(o.cwd.c_str()) != 0) {
        childFail(o.cwd.c_str());
    }
    if (o.dropPrivileges) {
        if (setgroups(0, nullptr) != 0 || setgid(65534) != 0 || setuid(65534) != 0) {
            childFail("drop privileges");
        }
    }
    std::vector<std::string> envStrings = childEnvironment(o);
    std::vector<char *> envp;
    for (auto &s : envStrings) {
        envp.push_back(s.data());
    }
    envp.push_back(nullptr);
    std::vector<char *> args;
    for (const auto &a : argv) {
        args.push_back(const_cast<char *>(a.c_str()));
    }
    args.push_back(nullptr);
    environ = envp.data();
    execvp(args[0], args.data());
    childFail(args[0]);
}

double now()
{
    timespec ts;
    clock_gettime(CLOCK_MONOTONIC, &ts);
    return ts.tv_sec + ts.tv_nsec / 1e9;
}

} // namespace

RunResult run(const std::vector<std::string> &argv, const RunOptions &o)
{
    RunResult r;
    int inPipe[2] = {-1, -1}, outPipe[2], errPipe[2];
    if ((o.input && pipe2(inPipe, O_CLOEXEC) != 0) || pipe2(outPipe, O_CLOEXEC) != 0
        || pipe2(errPipe, O_CLOEXEC) != 0) {
        ADD_FAILURE() << "pipe: " << strerror(errno);
        return r;
    }
    std::vector<std::string> scratches;
    for (size_t i = 0; i < o.overlays.size(); ++i) {
        char scratch[] = "/tmp/qktest-overlay.XXXXXX";
        if (!mkdtemp(scratch)) {
            ADD_FAILURE() << "mkdtemp: " << strerror(errno);
            return r;
        }
        scratches.push_back(scratch);
    }
    pid_t pid = fork();
    if (pid < 0) {
        ADD_FAILURE() << "fork: " << strerror(errno);
        return r;
    }
    if (pid == 0) {
        startChild(argv, o, scratches, inPipe[0], outPipe[1], errPipe[1]);
    }
    close(outPipe[1]);
    close(errPipe[1]);
    if (o.input) {
        close(inPipe[0]);
        fcntl(inPipe[1], F_SETFL, O_NONBLOCK);
    }

    std::string pending = o.input.value_or("");
    int inFd = o.input ? inPipe[1] : -1;
    if (inFd >= 0 && pending.empty()) {
        close(inFd);
        inFd = -1;
    }
    bool outOpen = true, errOpen = true;
    double deadline = now() + o.timeoutSeconds;
    bool killed = false;
    while (outOpen || errOpen) {
        pollfd fds[3];
        int n = 0;
        if (outOpen) {
            fds[n++] = {outPipe[0], POLLIN, 0};
        }
        if (errOpen) {
            fds[n++] = {errPipe[0], POLLIN, 0};
        }
        if (inFd >= 0) {
            fds[n++] = {inFd, POLLOUT, 0};
        }
        int left = int((deadline - now()) * 1000);
        if (left <= 0 || poll(fds, n, left) == 0) {
            kill(pid, SIGKILL);
            killed = true;
            break;
        }
        for (int i = 0; i < n; ++i) {
            if (!fds[i].revents) {
                continue;
            }
            if (fds[i].fd == inFd) {
                ssize_t w = write(inFd, pending.data(), pending.size());
                if (w > 0) {
                    pending.erase(0, size_t(w));
                }
                if (w < 0 || pending.empty()) {
                    close(inFd);
                    inFd = -1;
                }
                continue;
            }
            char buf[65536];
            ssize_t got = read(fds[i].fd, buf, sizeof buf);
            bool isOut = fds[i].fd == outPipe[0];
            if (got <= 0) {
                (isOut ? outOpen : errOpen) = false;
            } else {
                (isOut ? r.out : r.err).append(buf, size_t(got));
            }
        }
    }
    if (inFd >= 0) {
        close(inFd);
    }
    close(outPipe[0]);
    close(errPipe[0]);
    int wstatus = 0;
    while (waitpid(pid, &wstatus, 0) < 0 && errno == EINTR) { }
    for (const auto &scratch : scratches) {
        rmdir(scratch.c_str());
    }
    if (WIFEXITED(wstatus)) {
        r.status = WEXITSTATUS(wstatus);
    } else if (WIFSIGNALED(wstatus)) {
        r.signaled = true;
        r.status = 128 + WTERMSIG(wstatus);
    }
    if (killed) {
        ADD_FAILURE() << argv[0] << " did not finish within " << o.timeoutSeconds << " s";
    }
    return r;
}

TempDir::TempDir()
{
    const char *base = getenv("TMPDIR");
    std::string tmpl = std::string(base && *base ? base : "/tmp") + "/qktest.XXXXXX";
    if (!mkdtemp(tmpl.data())) {
        ADD_FAILURE() << "mkdtemp: " << strerror(errno);
    }
    m_path = tmpl;
}

TempDir::~TempDir()
{
    auto remove = [](const char *path, const struct stat *, int, FTW *) {
        // Directories made unreadable or unwritable by a test must still go.
        chmod(path, 0700);
        ::remove(path);
        return 0;
    };
    // Make every directory traversable first, then remove depth-first.
    nftw(
        m_path.c_str(),
        [](const char *path, const struct stat *st, int type, FTW *) {
            if (type == FTW_D || type == FTW_DNR) {
                chmod(path, (st->st_mode & 07777) | 0700);
            }
            return 0;
        },
        32,
        FTW_PHYS);
    nftw(m_path.c_str(), remove, 32, FTW_DEPTH | FTW_PHYS);
}

std::string TempDir::file(const std::string &name) const
{
    return m_path + "/" + name;
}

std::string readFile(const std::string &path)
{
    std::ifstream in(path, std::ios::binary);
    if (!in) {
        ADD_FAILURE() << "cannot read " << path;
        return {};
    }
    std::ostringstream s;
    s << in.rdbuf();
    return s.str();
}

void writeFile(const std::string &path, const std::string &data, int mode)
{
    int fd = open(path.c_str(), O_WRONLY | O_CREAT | O_TRUNC, mode);
    if (fd < 0) {
        ADD_FAILURE() << "cannot write " << path << ": " << strerror(errno);
        return;
    }
    size_t done = 0;
    while (done < data.size()) {
        ssize_t w = write(fd, data.data() + done, data.size() - done);
        if (w <= 0) {
            ADD_FAILURE() << "write " << path << ": " << strerror(errno);
            break;
        }
        done += size_t(w);
    }
    fchmod(fd, mode);
    close(fd);
}

bool underEmulation()
{
    if (sizeof(void *) != 4) {
        return false;
    }
    std::ifstream entry("/proc/sys/fs/binfmt_misc/qk-i386");
    std::string state;
    return entry >> state && state == "enabled";
}

bool canUseMountNamespace()
{
    if (geteuid() != 0) {
        return false;
    }
    pid_t pid = fork();
    if (pid == 0) {
        _exit(unshare(CLONE_NEWNS) == 0 ? 0 : 1);
    }
    int st = 0;
    waitpid(pid, &st, 0);
    return WIFEXITED(st) && WEXITSTATUS(st) == 0;
}

} // namespace qk
