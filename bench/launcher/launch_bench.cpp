// SPDX-License-Identifier: GPL-2.0-or-later
// Time from the launch request to the gallery's first frame, boosted through
// ferrund and started directly, alternating, in one run. The first frame is
// noted by the launch probe, preloaded into the daemon and into the directly
// started gallery. Runs where the launcher's fixed paths are in place (run.sh
// sees to that):
//   launch_bench FERRUND PLUGIN INVOKER GALLERY PROBE WORKDIR ROUNDS
#include <algorithm>
#include <cerrno>
#include <csignal>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <ctime>
#include <fcntl.h>
#include <fstream>
#include <poll.h>
#include <sstream>
#include <string>
#include <sys/wait.h>
#include <unistd.h>
#include <vector>

namespace {

long long now()
{
    timespec ts;
    clock_gettime(CLOCK_MONOTONIC, &ts);
    return (long long)ts.tv_sec * 1000000000 + ts.tv_nsec;
}

std::string slurp(const std::string &path)
{
    std::ifstream in(path);
    std::stringstream s;
    s << in.rdbuf();
    return s.str();
}

// readyFd: the write end of the daemon's readiness pipe, passed on as 3.
pid_t spawn(const std::vector<std::string> &args, const std::string &errPath, int readyFd = -1)
{
    const pid_t pid = fork();
    if (pid == 0) {
        if (!errPath.empty()) {
            const int fd = open(errPath.c_str(), O_WRONLY | O_CREAT | O_APPEND, 0644);
            dup2(fd, 2);
        }
        if (readyFd == 3) {
            (void)fcntl(readyFd, F_SETFD, 0);
        } else if (readyFd >= 0) {
            dup2(readyFd, 3);
        }
        std::vector<char *> argv;
        for (const std::string &a : args) {
            argv.push_back(const_cast<char *>(a.c_str()));
        }
        argv.push_back(nullptr);
        execv(argv[0], argv.data());
        _exit(127);
    }
    return pid;
}

// One start: the milliseconds from the request to the first frame, or -1.
// probe: preloaded into the started program, unless empty.
double measure(const std::vector<std::string> &args, const std::string &trace,
               const std::string &probe = {})
{
    (void)unlink(trace.c_str());
    setenv("LAUNCHPROBE_TRACE", trace.c_str(), 1);
    setenv("LAUNCHPROBE_EXIT_AFTER_FRAME", "0", 1);
    if (!probe.empty()) {
        setenv("LD_PRELOAD", probe.c_str(), 1);
    }
    const long long start = now();
    const pid_t pid = spawn(args, "");
    unsetenv("LD_PRELOAD");
    int status = 0;
    waitpid(pid, &status, 0);
    unsetenv("LAUNCHPROBE_TRACE");
    unsetenv("LAUNCHPROBE_EXIT_AFTER_FRAME");
    const std::string t = slurp(trace);
    const size_t at = t.find("first-frame ");
    if (!WIFEXITED(status) || WEXITSTATUS(status) != 0 || at == std::string::npos) {
        fprintf(stderr, "launch_bench: %s did not show a frame\n", args[0].c_str());
        return -1;
    }
    return (std::stoll(t.substr(at + 12)) - start) / 1e6;
}

// Reads the daemon's reports up to the next ready booster, for at most 30 s.
bool waitReady(int readyFd)
{
    std::string report;
    const long long deadline = now() + 30000000000LL;
    for (;;) {
        const long long left = (deadline - now()) / 1000000;
        pollfd p = {readyFd, POLLIN, 0};
        char c;
        if (left <= 0 || poll(&p, 1, int(left)) <= 0 || read(readyFd, &c, 1) != 1) {
            return false;
        }
        if (c != '\n') {
            report += c;
        } else if (report.rfind("ready ", 0) == 0) {
            return true;
        } else {
            report.clear();
        }
    }
}

double median(std::vector<double> v)
{
    std::sort(v.begin(), v.end());
    return v[v.size() / 2];
}

} // namespace

int main(int argc, char **argv)
{
    if (argc != 8) {
        fprintf(stderr,
                "usage: launch_bench FERRUND PLUGIN INVOKER GALLERY PROBE WORKDIR ROUNDS\n");
        return 2;
    }
    const std::string ferrund = argv[1], plugin = argv[2], invoker = argv[3], gallery = argv[4],
                      probe = argv[5];
    const std::string work = argv[6];
    const int rounds = std::max(1, atoi(argv[7]));
    const std::string log = work + "/daemon.log", trace = work + "/trace";

    int ready[2];
    if (pipe2(ready, O_CLOEXEC) != 0) {
        perror("launch_bench: pipe");
        return 1;
    }
    // Its boosters, and so the boosted galleries, inherit the probe.
    setenv("LD_PRELOAD", probe.c_str(), 1);
    const pid_t daemon
        = spawn({ferrund, "--debug", "--ready-fd", "3", "--booster", plugin}, log, ready[1]);
    unsetenv("LD_PRELOAD");
    close(ready[1]);
    std::vector<double> boosted, direct;
    // One start of each to fill the page cache; not counted.
    bool ok = waitReady(ready[0]) && measure({gallery}, trace, probe) >= 0
        && measure({invoker, "-w", gallery}, trace) >= 0;
    for (int i = 0; ok && i < rounds; ++i) {
        ok = waitReady(ready[0]);
        const double b = ok ? measure({invoker, "-w", gallery}, trace) : -1;
        const double d = ok ? measure({gallery}, trace, probe) : -1;
        ok = ok && b >= 0 && d >= 0;
        boosted.push_back(b);
        direct.push_back(d);
    }
    kill(daemon, SIGTERM);
    waitpid(daemon, nullptr, 0);
    if (!ok) {
        fprintf(stderr, "launch_bench: failed; daemon log:\n%s", slurp(log).c_str());
        return 1;
    }
    const double mb = median(boosted), md = median(direct);
    printf("rounds                 %d\n", rounds);
    printf("boosted  median (ms)   %.1f   (min %.1f, max %.1f)\n",
           mb,
           *std::min_element(boosted.begin(), boosted.end()),
           *std::max_element(boosted.begin(), boosted.end()));
    printf("direct   median (ms)   %.1f   (min %.1f, max %.1f)\n",
           md,
           *std::min_element(direct.begin(), direct.end()),
           *std::max_element(direct.begin(), direct.end()));
    printf("boosted / direct       %.2f   (target: at most 0.50)\n", mb / md);
    return 0;
}
