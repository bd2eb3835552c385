// SPDX-License-Identifier: GPL-2.0-or-later
// The launcher daemon: loads the booster plug-ins, keeps one warmed booster
// process per plug-in waiting on its socket, and starts a fresh one whenever
// a booster has turned into an application.
//
// With --ready-fd FD the daemon reports on FD, one line each, when a booster
// is ready to take a launch ("ready TYPE PID") and when it gives up a booster
// that died at start ("failed TYPE"); it then no longer listens on that
// booster's socket, so that invokers are refused at once instead of waiting
// for a booster that will not come.
#include "booster.h"
#include "logger.h"
#include "singleinstance.h"
#include "socketmanager.h"

#include <algorithm>
#include <utility>
#include <cerrno>
#include <climits>
#include <csignal>
#include <cstdarg>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <ctime>
#include <dirent.h>
#include <dlfcn.h>
#include <fcntl.h>
#include <poll.h>
#include <string>
#include <sys/prctl.h>
#include <sys/signalfd.h>
#include <sys/wait.h>
#include <unistd.h>
#include <vector>

namespace {

const char *const BoosterDir = "/usr/lib/ferrund/boosters";
// A booster that dies sooner than this after its start is not restarted.
const time_t MinimumLifeSeconds = 2;
// The replacement of a booster that became an application waits this long,
// so that its warm-up does not slow the application's own start.
const int RespawnDelayMs = 500;

long long monotonicMs()
{
    timespec ts;
    clock_gettime(CLOCK_MONOTONIC, &ts);
    return (long long)ts.tv_sec * 1000 + ts.tv_nsec / 1000000;
}

struct Plugin
{
    std::string path;
    Booster *(*create)();
    char type;
    std::string socketName;
    int listenFd = -1;
    bool failed = false;
};

struct Child
{
    pid_t pid;
    size_t plugin;
    int pipeFd;
    time_t started;
    bool launched;
};

struct Options
{
    std::vector<std::string> boosters;
    int readyFd = -1;
    bool bootMode = false;
    bool help = false;
    bool bad = false;
};

Options parseOptions(int argc, char **argv)
{
    Options o;
    for (int i = 1; i < argc; ++i) {
        const std::string a = argv[i];
        if (a == "--booster" && i + 1 < argc) {
            o.boosters.push_back(argv[++i]);
        } else if (a == "--ready-fd" && i + 1 < argc) {
            char *end;
            const long fd = strtol(argv[++i], &end, 10);
            if (*argv[i] == '\0' || *end != '\0' || fd < 0 || fd > INT_MAX
                || fcntl(int(fd), F_GETFD) < 0) {
                Logger::logError("ferrund: bad readiness descriptor %s", argv[i]);
                o.bad = true;
            } else {
                o.readyFd = int(fd);
            }
        } else if (a == "--boot-mode") {
            o.bootMode = true;
        } else if (a == "--debug") {
            Logger::setDebug(true);
        } else if (a == "--help" || a == "-h") {
            o.help = true;
        } else {
            Logger::logError("ferrund: unknown argument %s", a.c_str());
            o.bad = true;
        }
    }
    return o;
}

void printUsage()
{
    printf("Usage: ferrund [--booster PLUGIN]... [--ready-fd FD] [--boot-mode] [--debug] [--help]\n"
           "Keeps a warmed booster process waiting on the socket of each booster\n"
           "plug-in (default: every plug-in in %s) and starts the\n"
           "applications that invokers ask for in them. With --ready-fd, writes\n"
           "\"ready TYPE PID\" to FD whenever a booster is ready and \"failed TYPE\"\n"
           "when a booster died at start and its socket is given up.\n",
           BoosterDir);
}

std::vector<std::string> defaultBoosters()
{
    std::vector<std::string> paths;
    DIR *dir = opendir(BoosterDir);
    if (!dir) {
        return paths;
    }
    while (dirent *e = readdir(dir)) {
        const std::string name = e->d_name;
        if (name.size() > 3 && name.compare(name.size() - 3, 3, ".so") == 0) {
            paths.push_back(std::string(BoosterDir) + "/" + name);
        }
    }
    closedir(dir);
    std::sort(paths.begin(), paths.end());
    return paths;
}

// The plug-ins take Booster and its helpers from this library, which the
// daemon's front end opened privately: make its symbols visible to them.
bool exportOwnSymbols()
{
    Dl_info info;
    if (!dladdr(reinterpret_cast<void *>(&exportOwnSymbols), &info) || !info.dli_fname) {
        return false;
    }
    return dlopen(info.dli_fname, RTLD_NOW | RTLD_NOLOAD | RTLD_GLOBAL) != nullptr;
}

bool loadPlugin(const std::string &path, Plugin &plugin)
{
    void *handle = dlopen(path.c_str(), RTLD_NOW);
    if (!handle) {
        Logger::logError("ferrund: cannot load booster %s: %s", path.c_str(), dlerror());
        return false;
    }
    auto create = reinterpret_cast<Booster *(*)()>(dlsym(handle, "create"));
    auto type = reinterpret_cast<char (*)()>(dlsym(handle, "type"));
    auto socketName = reinterpret_cast<const char *(*)()>(dlsym(handle, "socketName"));
    auto temporaryName = reinterpret_cast<const char *(*)()>(dlsym(handle, "temporaryProcessName"));
    if (!create || !type || !socketName || !temporaryName) {
        Logger::logError("ferrund: %s is not a booster plug-in", path.c_str());
        (void)dlclose(handle);
        return false;
    }
    plugin.path = path;
    plugin.create = create;
    plugin.type = type();
    plugin.socketName = socketName();
    return true;
}

class Daemon
{
public:
    Daemon(int argc, char **argv, bool bootMode, int readyFd)
        : m_argc(argc)
        , m_argv(argv)
        , m_bootMode(bootMode)
        , m_readyFd(readyFd)
    { }

    int exec(const std::vector<std::string> &paths);

private:
    void spawn(size_t plugin);
    void spawnDue();
    int msUntilNextSpawn() const;
    [[noreturn]] void runBooster(size_t plugin, int pipeFd);
    void handleChildMessage(Child &child);
    void giveUp(Plugin &plugin);
    void report(const char *format, ...) __attribute__((format(printf, 2, 3)));
    void reap();
    void stop();

    int m_argc;
    char **m_argv;
    bool m_bootMode;
    int m_readyFd;
    std::vector<Plugin> m_plugins;
    std::vector<Child> m_children;
    std::vector<std::pair<long long, size_t>> m_pendingSpawns; // due time, plug-in
    SocketManager m_sockets;
    SingleInstance m_locks;
    int m_signalFd = -1;
    sigset_t m_signals;
};

int Daemon::exec(const std::vector<std::string> &paths)
{
    for (const std::string &path : paths) {
        Plugin plugin;
        if (!loadPlugin(path, plugin)) {
            continue;
        }
        if (!m_locks.lock(plugin.socketName + ".lock")) {
            Logger::logError("ferrund: another daemon serves %s", plugin.socketName.c_str());
            continue;
        }
        plugin.listenFd = m_sockets.initSocket(plugin.socketName);
        if (plugin.listenFd < 0) {
            continue;
        }
        m_plugins.push_back(plugin);
    }
    if (m_plugins.empty()) {
        Logger::logError("ferrund: no booster to run");
        return 1;
    }
    sigemptyset(&m_signals);
    sigaddset(&m_signals, SIGCHLD);
    sigaddset(&m_signals, SIGTERM);
    sigaddset(&m_signals, SIGINT);
    sigaddset(&m_signals, SIGHUP);
    sigprocmask(SIG_BLOCK, &m_signals, nullptr);
    m_signalFd = signalfd(-1, &m_signals, SFD_CLOEXEC);
    if (m_signalFd < 0) {
        Logger::logError("ferrund: signalfd: %s", strerror(errno));
        return 1;
    }
    for (size_t i = 0; i < m_plugins.size(); ++i) {
        spawn(i);
    }
    for (;;) {
        std::vector<pollfd> fds;
        fds.push_back({m_signalFd, POLLIN, 0});
        for (const Child &c : m_children) {
            fds.push_back({c.pipeFd, POLLIN, 0});
        }
        if (poll(fds.data(), fds.size(), msUntilNextSpawn()) < 0) {
            if (errno == EINTR) {
                continue;
            }
            Logger::logError("ferrund: poll: %s", strerror(errno));
            stop();
            return 1;
        }
        if (fds[0].revents & POLLIN) {
            signalfd_siginfo info;
            if (read(m_signalFd, &info, sizeof info) == sizeof info && info.ssi_signo != SIGCHLD) {
                stop();
                return 0;
            }
            reap();
        }
        // Children may have been added or removed while handling messages.
        std::vector<pid_t> ready;
        for (size_t i = 1; i < fds.size(); ++i) {
            if (fds[i].revents) {
                ready.push_back(m_children[i - 1].pid);
            }
        }
        for (pid_t pid : ready) {
            for (Child &c : m_children) {
                if (c.pid == pid) {
                    handleChildMessage(c);
                    break;
                }
            }
        }
        m_children.erase(std::remove_if(m_children.begin(),
                                        m_children.end(),
                                        [](const Child &c) { return c.pipeFd < 0; }),
                         m_children.end());
        spawnDue();
    }
}

int Daemon::msUntilNextSpawn() const
{
    if (m_pendingSpawns.empty()) {
        return -1;
    }
    long long due = m_pendingSpawns.front().first;
    for (const auto &p : m_pendingSpawns) {
        due = std::min(due, p.first);
    }
    return int(std::max(0LL, due - monotonicMs()));
}

void Daemon::spawnDue()
{
    const long long now = monotonicMs();
    std::vector<size_t> due;
    for (auto it = m_pendingSpawns.begin(); it != m_pendingSpawns.end();) {
        if (it->first <= now) {
            due.push_back(it->second);
            it = m_pendingSpawns.erase(it);
        } else {
            ++it;
        }
    }
    for (size_t plugin : due) {
        spawn(plugin);
    }
}

void Daemon::spawn(size_t plugin)
{
    int fds[2];
    if (pipe2(fds, O_CLOEXEC) != 0) {
        Logger::logError("ferrund: pipe: %s", strerror(errno));
        return;
    }
    const pid_t pid = fork();
    if (pid < 0) {
        Logger::logError("ferrund: fork: %s", strerror(errno));
        (void)close(fds[0]);
        (void)close(fds[1]);
        return;
    }
    if (pid == 0) {
        (void)close(fds[0]);
        runBooster(plugin, fds[1]);
    }
    (void)close(fds[1]);
    m_children.push_back({pid, plugin, fds[0], time(nullptr), false});
    Logger::logDebug("ferrund: booster %c started, pid %d", m_plugins[plugin].type, int(pid));
}

void Daemon::runBooster(size_t plugin, int pipeFd)
{
    (void)close(m_signalFd);
    if (m_readyFd >= 0) {
        (void)close(m_readyFd);
        (void)signal(SIGPIPE, SIG_DFL);
    }
    for (const Child &c : m_children) {
        (void)close(c.pipeFd);
    }
    m_locks.forget();
    // Another booster's socket must close when the daemon gives it up.
    const Plugin &p = m_plugins[plugin];
    m_sockets.closeOthers(p.socketName);
    sigprocmask(SIG_UNBLOCK, &m_signals, nullptr);
    // A waiting booster is of no use without its daemon; the booster lifts
    // this once it has become an application.
    (void)prctl(PR_SET_PDEATHSIG, SIGTERM);
    Booster *booster = p.create();
    booster->initialize(m_argc, m_argv, pipeFd, p.listenFd, &m_locks, m_bootMode);
    if (!booster->warmUp()) {
        Logger::logError("ferrund: booster %c failed to warm up", p.type);
    }
    const char ready = 'R';
    (void)!write(pipeFd, &ready, 1);
    booster->run(&m_sockets);
    const int status = booster->exitStatus();
    delete booster;
    exit(status);
}

void Daemon::handleChildMessage(Child &child)
{
    char message;
    const ssize_t n = read(child.pipeFd, &message, 1);
    if (n < 0 && errno == EINTR) {
        return;
    }
    if (n == 1 && message == 'R') {
        Logger::logDebug(
            "ferrund: booster %c ready, pid %d", m_plugins[child.plugin].type, int(child.pid));
        report("ready %c %d\n", m_plugins[child.plugin].type, int(child.pid));
        return;
    }
    if (n == 1 && message == 'L') {
        child.launched = true;
        Logger::logDebug("ferrund: booster %c launched an application, pid %d",
                         m_plugins[child.plugin].type,
                         int(child.pid));
        (void)close(child.pipeFd);
        child.pipeFd = -1;
        m_pendingSpawns.emplace_back(monotonicMs() + RespawnDelayMs, child.plugin);
        return;
    }
    (void)close(child.pipeFd);
    child.pipeFd = -1;
    Plugin &p = m_plugins[child.plugin];
    if (child.launched || p.failed) {
        return;
    }
    if (time(nullptr) - child.started < MinimumLifeSeconds) {
        Logger::logError("ferrund: booster %c died at start; not restarting it", p.type);
        giveUp(p);
        return;
    }
    Logger::logError("ferrund: booster %c died; restarting it", p.type);
    spawn(child.plugin);
}

void Daemon::giveUp(Plugin &plugin)
{
    plugin.failed = true;
    // Invokers queued on the socket are refused as it closes.
    m_sockets.closeSocket(plugin.socketName);
    plugin.listenFd = -1;
    m_locks.unlock(plugin.socketName + ".lock");
    report("failed %c\n", plugin.type);
}

void Daemon::report(const char *format, ...)
{
    if (m_readyFd < 0) {
        return;
    }
    va_list args;
    va_start(args, format);
    // A reader that has gone away only ends the reports.
    if (vdprintf(m_readyFd, format, args) < 0) {
        (void)close(m_readyFd);
        m_readyFd = -1;
    }
    va_end(args);
}

void Daemon::reap()
{
    int status;
    while (waitpid(-1, &status, WNOHANG) > 0) { }
}

void Daemon::stop()
{
    for (const Child &c : m_children) {
        if (!c.launched) {
            (void)kill(c.pid, SIGTERM);
        }
    }
    for (const Child &c : m_children) {
        if (!c.launched) {
            (void)waitpid(c.pid, nullptr, 0);
        }
        if (c.pipeFd >= 0) {
            (void)close(c.pipeFd);
        }
    }
    m_children.clear();
    m_sockets.closeAll(true);
    (void)close(m_signalFd);
    sigprocmask(SIG_UNBLOCK, &m_signals, nullptr);
}

} // namespace

// Entered by the daemon's front end with its unchanged command line.
int main(int argc, char **argv)
{
    const Options options = parseOptions(argc, argv);
    if (options.help) {
        printUsage();
        return 0;
    }
    if (options.bad) {
        return 1;
    }
    if (!exportOwnSymbols()) {
        Logger::logError("ferrund: cannot export the launcher classes: %s", dlerror());
        return 1;
    }
    const std::vector<std::string> paths
        = options.boosters.empty() ? defaultBoosters() : options.boosters;
    if (options.readyFd >= 0) {
        (void)fcntl(options.readyFd, F_SETFD, FD_CLOEXEC);
        // The reports must not end the daemon when their reader is gone.
        (void)signal(SIGPIPE, SIG_IGN);
    }
    Daemon daemon(argc, argv, options.bootMode, options.readyFd);
    return daemon.exec(paths);
}
