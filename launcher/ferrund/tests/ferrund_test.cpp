// SPDX-License-Identifier: GPL-2.0-or-later
// The daemon front end, run in a private mount namespace in which stand-ins
// appear at the launcher library's and the preloaded objects' paths.
#include "qktest.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <dlfcn.h>
#include <map>
#include <unistd.h>
#include <string>
#include <sys/stat.h>
#include <vector>

namespace {

const char *const LauncherPath = "/usr/lib/libferrund.so.0";
const char *const ZendraPath = "/usr/lib/libzendraqmllauncher.so.0";
const char *const UnirunPath = "/usr/bin/unirun";
const char *const FatalDisplay = "FATAL!!: DISPLAY environment variable not set.\n";
const char *const FatalLoad = "FATAL!!: Failed to load the launcher library\n";

bool exists(const std::string &path)
{
    struct stat st;
    return stat(path.c_str(), &st) == 0;
}

std::string readIfExists(const std::string &path)
{
    return exists(path) ? qk::readFile(path) : std::string();
}

// The loader's own text for a failure, taken from the loader itself on the
// fixture's real path and moved to the path ferrund opens.
std::string loaderError(const std::string &realPath, bool symbol)
{
    void *h = dlopen(realPath.c_str(), RTLD_LAZY);
    std::string text;
    if (!symbol) {
        text = h ? "" : dlerror();
    } else if (h) {
        (void)dlerror();
        (void)dlsym(h, "main");
        const char *e = dlerror();
        text = e ? e : "";
        dlclose(h);
    }
    const size_t at = text.find(realPath);
    if (at != std::string::npos) {
        text.replace(at, realPath.size(), LauncherPath);
    }
    return text;
}

// What is bound into place: the launcher library (none when empty) and the
// two preloaded objects.
struct Fixtures
{
    std::string launcher = STANDIN_LAUNCHER;
    bool preloads = true;
};

class Ferrund : public ::testing::Test
{
protected:
    void SetUp() override
    {
        if (!qk::canUseMountNamespace()) {
            GTEST_SKIP() << "needs root and mount namespaces";
        }
    }

    qk::RunResult runFerrund(const std::vector<std::string> &args, qk::RunOptions options,
                             const Fixtures &setup = Fixtures())
    {
        std::vector<std::string> argv = {INPLACE_PATH};
        if (!setup.launcher.empty()) {
            argv.insert(argv.end(), {"-b", setup.launcher, LauncherPath});
        }
        if (setup.preloads) {
            argv.insert(argv.end(),
                        {"-b", STANDIN_ZENDRA, ZendraPath, "-b", STANDIN_UNIRUN, UnirunPath});
        }
        argv.insert(argv.end(), {"--", FERRUND_PATH});
        argv.insert(argv.end(), args.begin(), args.end());
        options.env["FERRUND_RECORD"] = m_dir.file("record");
        options.env["PRELOAD_RECORD"] = m_dir.file("preloads");
        options.env["MALLOPT_RECORD"] = m_dir.file("mallopt");
        options.env["LD_PRELOAD"] = MALLOPT_RECORDER;
        // The sanitizer runtime would otherwise insist on coming first.
        options.env["ASAN_OPTIONS"] = "verify_asan_link_order=0:detect_leaks=0";
        if (!options.env.count("DISPLAY")
            && std::find(options.unsetEnv.begin(), options.unsetEnv.end(), "DISPLAY")
                == options.unsetEnv.end()) {
            options.env["DISPLAY"] = ":0";
        }
        return qk::run(argv, options);
    }

    std::string record() { return readIfExists(m_dir.file("record")); }
    std::string preloadRecord() { return readIfExists(m_dir.file("preloads")); }
    std::string malloptRecord() { return readIfExists(m_dir.file("mallopt")); }

    qk::TempDir m_dir;
};

TEST_F(Ferrund, MissingDisplayStopsBeforeAnythingElse)
{
    qk::RunOptions o;
    o.unsetEnv = {"DISPLAY"};
    o.env["MALLOC_TOP_PAD_"] = "4096";
    const qk::RunResult r = runFerrund({"--debug"}, o);
    EXPECT_EQ(r.status, 1);
    EXPECT_EQ(r.err, FatalDisplay);
    EXPECT_EQ(r.out, "");
    EXPECT_EQ(malloptRecord(), "") << "no allocator tuning";
    EXPECT_EQ(preloadRecord(), "") << "no preloading";
    EXPECT_EQ(record(), "") << "no launcher library";
}

TEST_F(Ferrund, EmptyDisplayCountsAsSet)
{
    qk::RunOptions o;
    o.env["DISPLAY"] = "";
    const qk::RunResult r = runFerrund({}, o);
    EXPECT_EQ(r.status, 0);
    EXPECT_EQ(r.err, "");
    EXPECT_NE(record(), "");
}

TEST_F(Ferrund, HandsTheUnchangedCommandLineToTheLibrary)
{
    qk::RunOptions o;
    o.unsetEnv = {"TMPDIR"};
    const qk::RunResult r
        = runFerrund({"--booster", "x y", "", "--debug", "-h" + std::string("x")}, o);
    EXPECT_EQ(r.status, 0) << "the library's result 7 is ignored";
    EXPECT_EQ(r.err, "");
    EXPECT_EQ(r.out, "");
    EXPECT_EQ(record(),
              std::string("argc=6\n"
                          "argv[0]=")
                  + FERRUND_PATH
                  + "\n"
                    "argv[1]=--booster\n"
                    "argv[2]=x y\n"
                    "argv[3]=\n"
                    "argv[4]=--debug\n"
                    "argv[5]=-hx\n"
                    "TMPDIR=/var/tmp\n"
                    "zendra=visible\n"
                    "unirun=visible\n");
    EXPECT_EQ(preloadRecord(), "zendra\nunirun\n") << "both preloaded, in order";
}

TEST_F(Ferrund, KeepsAnExistingTmpdir)
{
    qk::RunOptions o;
    o.env["TMPDIR"] = "/srv/scratch";
    ASSERT_EQ(runFerrund({}, o).status, 0);
    EXPECT_NE(record().find("TMPDIR=/srv/scratch\n"), std::string::npos) << record();
}

TEST_F(Ferrund, HelpSkipsOnlyThePreloading)
{
    struct Case
    {
        std::vector<std::string> args;
        bool help;
    };
    const Case cases[] = {
        {{"--help"}, true},
        {{"-h"}, true},
        {{"--debug", "x", "-h"}, true}, // anywhere on the line
        {{"--helpme"}, false}, // only exact words count
        {{"-hx"}, false},
        {{"--HELP"}, false},
        {{"-help"}, false},
        {{"help"}, false},
    };
    for (const Case &c : cases) {
        const qk::RunResult r = runFerrund(c.args, {});
        const std::string joined = c.args.back();
        EXPECT_EQ(r.status, 0) << joined;
        EXPECT_EQ(r.err, "") << joined;
        EXPECT_EQ(preloadRecord(), c.help ? "" : "zendra\nunirun\n") << joined;
        EXPECT_NE(
            record().find("argv[" + std::to_string(c.args.size()) + "]=" + c.args.back() + "\n"),
            std::string::npos)
            << "library still runs and gets " << joined;
        (void)unlink(m_dir.file("preloads").c_str());
        (void)unlink(m_dir.file("record").c_str());
    }
}

TEST_F(Ferrund, MissingPreloadsWarnOnlyInDebugMode)
{
    struct Case
    {
        std::vector<std::string> args;
        std::string err;
    };
    const std::string warnings = std::string("Warning: can't preload ") + ZendraPath
        + "\n"
          "Warning: can't preload "
        + UnirunPath + "\n";
    const Case cases[] = {
        {{}, ""},
        {{"--debug"}, warnings},
        {{"a", "b", "--debug"}, warnings}, // counted wherever it stands
        {{"--debug", "--debug"}, warnings},
        {{"--debugging"}, ""},
        {{"-debug"}, ""},
        {{"--debug", "--help"}, ""}, // no preloading at all
    };
    Fixtures setup;
    setup.preloads = false;
    for (const Case &c : cases) {
        const qk::RunResult r = runFerrund(c.args, {}, setup);
        EXPECT_EQ(r.status, 0);
        EXPECT_EQ(r.err, c.err) << (c.args.empty() ? "(no arguments)" : c.args.front());
        EXPECT_NE(record(), "") << "the library runs after failed preloads";
        (void)unlink(m_dir.file("record").c_str());
    }
}

TEST_F(Ferrund, TunesTheAllocatorInTableOrder)
{
    struct Case
    {
        std::map<std::string, std::string> env;
        std::string calls;
    };
    const Case cases[] = {
        {{}, ""},
        {{{"MALLOC_MMAP_MAX_", "7"},
          {"MALLOC_TRIM_THRESHOLD_", "131072"},
          {"MALLOC_PERTURB_", "85"},
          {"MALLOC_MMAP_THRESHOLD_", "65536"},
          {"MALLOC_TOP_PAD_", "4096"}},
         "-1 131072\n-2 4096\n-6 85\n-3 65536\n-4 7\n"},
        {{{"MALLOC_TOP_PAD_", "abc"}}, "-2 0\n"}, // not a number: 0
        {{{"MALLOC_TOP_PAD_", "12abc"}}, "-2 12\n"}, // leading digits only
        {{{"MALLOC_PERTURB_", ""}}, "-6 0\n"}, // set but empty
        {{{"MALLOC_MMAP_MAX_", "-5"}}, "-4 -5\n"},
        {{{"MALLOC_TRIM_THRESHOLD_", " 010"}}, "-1 10\n"}, // base 10, blanks skipped
        // Values beyond int saturate on every width instead of wrapping.
        {{{"MALLOC_TOP_PAD_", "2147483647"}}, "-2 2147483647\n"},
        {{{"MALLOC_TOP_PAD_", "2147483648"}}, "-2 2147483647\n"},
        {{{"MALLOC_TOP_PAD_", "4294967297"}}, "-2 2147483647\n"},
        {{{"MALLOC_TOP_PAD_", "99999999999999999999999"}}, "-2 2147483647\n"}, // beyond long too
        {{{"MALLOC_MMAP_MAX_", "-2147483648"}}, "-4 -2147483648\n"},
        {{{"MALLOC_MMAP_MAX_", "-2147483649"}}, "-4 -2147483648\n"},
        {{{"MALLOC_MMAP_MAX_", "-18446744073709551617"}}, "-4 -2147483648\n"},
    };
    for (const Case &c : cases) {
        qk::RunOptions o;
        o.unsetEnv = {"MALLOC_TRIM_THRESHOLD_",
                      "MALLOC_TOP_PAD_",
                      "MALLOC_PERTURB_",
                      "MALLOC_MMAP_THRESHOLD_",
                      "MALLOC_MMAP_MAX_"};
        for (const auto &e : c.env) {
            o.env[e.first] = e.second;
        }
        const qk::RunResult r = runFerrund({}, o);
        EXPECT_EQ(r.status, 0);
        EXPECT_EQ(malloptRecord(), c.calls) << (c.env.empty() ? "(none)" : c.env.begin()->second);
        (void)unlink(m_dir.file("mallopt").c_str());
    }
}

TEST_F(Ferrund, UnusableLauncherLibraryIsFatal)
{
    const std::string notElf = m_dir.file("notelf.so");
    qk::writeFile(notElf, "not a shared object\n");
    struct Case
    {
        std::string launcher;
        std::string err;
    };
    const Case cases[] = {
        {"", loaderError(LauncherPath, false) + "\n" + FatalLoad}, // missing
        {notElf, loaderError(notElf, false) + "\n" + FatalLoad},
        {STANDIN_NOMAIN, loaderError(STANDIN_NOMAIN, true) + "\n" + FatalLoad},
        {STANDIN_NULLMAIN, FatalLoad}, // found, no error, but zero: never called
    };
    for (const Case &c : cases) {
        ASSERT_NE(c.err, std::string("\n") + FatalLoad)
            << "reference loader text for " << c.launcher;
        Fixtures setup;
        setup.launcher = c.launcher;
        const qk::RunResult r = runFerrund({"--debug"}, {}, setup);
        EXPECT_EQ(r.status, 1) << c.launcher;
        EXPECT_FALSE(r.signaled) << c.launcher;
        EXPECT_EQ(r.err, c.err) << c.launcher;
        EXPECT_EQ(r.out, "");
    }
}

} // namespace
