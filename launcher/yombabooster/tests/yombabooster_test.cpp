// SPDX-License-Identifier: GPL-2.0-or-later
// The QML booster loaded as the launcher library loads it: its exports, its
// warm-up over preload files put in place in a private mount namespace, and
// how it takes launch data from invokers.
#include "qktest.h"

#include <appdata.h>
#include <booster.h>
#include <connection.h>
#include <protocol.h>

#include <gtest/gtest.h>

#include <cstdint>
#include <cstring>
#include <dlfcn.h>
#include <memory>
#include <string>
#include <sys/socket.h>
#include <sys/stat.h>
#include <unistd.h>
#include <vector>

namespace {

const char *const PreloadPath = "/usr/share/yombabooster/preload.qml";

struct Plugin
{
    Plugin()
    {
        handle = dlopen(YOMBABOOSTER_PATH, RTLD_NOW);
        if (!handle) {
            return;
        }
        create = reinterpret_cast<Booster *(*)()>(dlsym(handle, "create"));
        type = reinterpret_cast<char (*)()>(dlsym(handle, "type"));
        socketName = reinterpret_cast<const char *(*)()>(dlsym(handle, "socketName"));
        temporaryProcessName
            = reinterpret_cast<const char *(*)()>(dlsym(handle, "temporaryProcessName"));
    }
    bool complete() const { return create && type && socketName && temporaryProcessName; }

    void *handle = nullptr;
    Booster *(*create)() = nullptr;
    char (*type)() = nullptr;
    const char *(*socketName)() = nullptr;
    const char *(*temporaryProcessName)() = nullptr;
};

Plugin &plugin()
{
    static Plugin p;
    return p;
}

TEST(YombaBoosterExports, AgreeWithTheBooster)
{
    ASSERT_NE(plugin().handle, nullptr) << dlerror();
    ASSERT_TRUE(plugin().complete());
    std::unique_ptr<Booster> booster(plugin().create());
    ASSERT_TRUE(booster);
    EXPECT_EQ(plugin().type(), 'y');
    EXPECT_STREQ(plugin().socketName(), "/tmp/boosty");
    EXPECT_STREQ(plugin().temporaryProcessName(), "booster-y");
    EXPECT_EQ(booster->typeLetter(), plugin().type());
    EXPECT_STREQ(booster->socketPath(), plugin().socketName());
    EXPECT_STREQ(booster->temporaryName(), plugin().temporaryProcessName());
    // The exports hand out the same constant storage each time.
    EXPECT_EQ(plugin().socketName(), booster->socketPath());
    EXPECT_EQ(plugin().temporaryProcessName(), booster->temporaryName());
}

// A launch request as an invoker sends it.
std::string request(const std::vector<std::string> &args, uint32_t flags,
                    const std::vector<std::string> &env = {"APP_MODE=test"},
                    const std::string &cwd = "/")
{
    std::string r = FERRUND_MAGIC_REQUEST;
    auto word = [&r](uint32_t v) { r.append(reinterpret_cast<const char *>(&v), sizeof v); };
    auto string = [&](const std::string &s) {
        word(uint32_t(s.size()));
        r += s;
    };
    word(FERRUND_PROTOCOL_VERSION);
    word(flags);
    word(uint32_t(args.size()));
    for (const std::string &a : args) {
        string(a);
    }
    word(uint32_t(env.size()));
    for (const std::string &e : env) {
        string(e);
    }
    string(cwd);
    return r;
}

// The base's behaviour, for comparison in boot mode.
class PlainBooster : public Booster
{
public:
    char typeLetter() const override { return 'p'; }
    const char *temporaryName() const override { return "plain"; }
    const char *socketPath() const override { return "/nonexistent/plain"; }
};

struct Outcome
{
    bool result;
    bool connectionOpen; // the booster still holds the descriptor
    std::string reply; // what the invoker read before the booster let go
    std::vector<std::string> argv;

    bool operator==(const Outcome &o) const
    {
        return result == o.result && connectionOpen == o.connectionOpen && reply == o.reply
            && argv == o.argv;
    }
};

std::ostream &operator<<(std::ostream &os, const Outcome &o)
{
    os << "{result " << o.result << ", open " << o.connectionOpen << ", reply " << o.reply.size()
       << " bytes, argv";
    for (const std::string &a : o.argv) {
        os << " '" << a << "'";
    }
    return os << "}";
}

enum class Peer { KeepsOpen, ClosesAfterSending };

Outcome receive(Booster &booster, const std::string &sent, Peer peer)
{
    int fds[2];
    if (socketpair(AF_UNIX, SOCK_STREAM, 0, fds) != 0) {
        ADD_FAILURE() << "socketpair";
        return {};
    }
    if (!sent.empty() && write(fds[0], sent.data(), sent.size()) != ssize_t(sent.size())) {
        ADD_FAILURE() << "write";
    }
    if (peer == Peer::ClosesAfterSending) {
        shutdown(fds[0], SHUT_WR);
    }
    Outcome o;
    o.result = booster.receiveDataFromInvoker(fds[1]);
    o.connectionOpen = booster.connection() && booster.connection()->fd() >= 0;
    if (o.result) {
        for (int i = 0; i < booster.appData()->argc(); ++i) {
            o.argv.push_back(booster.appData()->argv()[i]);
        }
    }
    // Without a connection kept open the invoker reads the reply and then
    // the end; a kept connection is released here to read the rest.
    booster.setConnection(nullptr);
    char buffer[64];
    ssize_t n;
    while ((n = read(fds[0], buffer, sizeof buffer)) > 0) {
        o.reply.append(buffer, size_t(n));
    }
    close(fds[0]);
    return o;
}

std::string accepted()
{
    const uint32_t pid = uint32_t(getpid());
    return std::string(FERRUND_MAGIC_ACCEPT) + std::string(reinterpret_cast<const char *>(&pid), 4);
}

struct InvokerCase
{
    const char *name;
    std::string sent;
    Peer peer;
    Outcome expected;
};

std::vector<InvokerCase> invokerCases()
{
    const std::vector<std::string> app = {"/usr/bin/vitrelcomponentgallery", "-desktop"};
    std::string badMagic = request(app, 0);
    badMagic[0] = 'X';
    std::string truncated = request(app, 0);
    truncated.resize(truncated.size() - 3);
    return {
        {"no wait", request(app, 0), Peer::ClosesAfterSending, {true, false, accepted(), app}},
        {"waits for the exit status",
         request(app, FERRUND_WAIT_EXIT),
         Peer::KeepsOpen,
         {true, true, accepted(), app}},
        {"sends nothing",
         "",
         Peer::ClosesAfterSending,
         {false, true, "", {}}}, // not connected: left alone
        {"bad magic", badMagic, Peer::ClosesAfterSending, {false, false, "", {}}},
        {"truncated", truncated, Peer::ClosesAfterSending, {false, false, "", {}}},
        {"no arguments", request({}, 0), Peer::ClosesAfterSending, {false, false, "", {}}},
        {"NUL inside an argument",
         request({std::string("/bin/a\0b", 8)}, 0),
         Peer::ClosesAfterSending,
         {false, false, "", {}}},
        {"environment entry without =",
         request(app, 0, {"NOEQUALS"}),
         Peer::ClosesAfterSending,
         {false, false, "", {}}},
    };
}

class YombaBoosterReceive : public ::testing::Test
{
protected:
    void SetUp() override { ASSERT_TRUE(plugin().complete()) << dlerror(); }

    std::unique_ptr<Booster> newBooster(bool bootMode)
    {
        std::unique_ptr<Booster> b(plugin().create());
        b->initialize(0, nullptr, -1, -1, nullptr, bootMode);
        return b;
    }
};

TEST_F(YombaBoosterReceive, HandlesInvokers)
{
    for (const InvokerCase &c : invokerCases()) {
        auto booster = newBooster(false);
        EXPECT_EQ(receive(*booster, c.sent, c.peer), c.expected) << c.name;
    }
}

TEST_F(YombaBoosterReceive, KeptConnectionReportsTheExitStatus)
{
    auto booster = newBooster(false);
    int fds[2];
    ASSERT_EQ(socketpair(AF_UNIX, SOCK_STREAM, 0, fds), 0);
    const std::string sent = request({"/bin/app"}, FERRUND_WAIT_EXIT);
    ASSERT_EQ(write(fds[0], sent.data(), sent.size()), ssize_t(sent.size()));
    ASSERT_TRUE(booster->receiveDataFromInvoker(fds[1]));
    ASSERT_TRUE(booster->connection()->connected());
    EXPECT_TRUE(booster->connection()->reportAppExitStatus(3));
    booster->setConnection(nullptr);
    std::string reply(16, '\0');
    ASSERT_EQ(read(fds[0], reply.data(), reply.size()), 16);
    const uint32_t status = 3;
    EXPECT_EQ(reply.substr(8),
              std::string(FERRUND_MAGIC_EXIT)
                  + std::string(reinterpret_cast<const char *>(&status), 4));
    EXPECT_EQ(booster->appData()->environment(), std::vector<std::string> {"APP_MODE=test"});
    EXPECT_EQ(booster->appData()->workingDirectory(), "/");
    close(fds[0]);
}

TEST_F(YombaBoosterReceive, BootModeBehavesAsTheBase)
{
    for (const InvokerCase &c : invokerCases()) {
        PlainBooster base;
        base.initialize(0, nullptr, -1, -1, nullptr, true);
        const Outcome expected = receive(base, c.sent, c.peer);
        auto booster = newBooster(true);
        EXPECT_EQ(receive(*booster, c.sent, c.peer), expected) << c.name;
    }
}

// Warm-up, run by boosterprobe in a namespace where the fixture is the
// preload file.
class YombaBoosterWarmUp : public ::testing::Test
{
protected:
    void SetUp() override
    {
        if (!qk::canUseMountNamespace()) {
            GTEST_SKIP() << "needs root and mount namespaces";
        }
    }

    qk::RunResult warmUp(const std::string &preload, bool reference = false)
    {
        std::vector<std::string> argv = {INPLACE_PATH};
        if (!preload.empty()) {
            argv.insert(argv.end(), {"-b", preload, PreloadPath});
        }
        argv.insert(argv.end(), {"--", BOOSTERPROBE_PATH, YOMBABOOSTER_PATH});
        if (reference) {
            argv.push_back(PreloadPath);
        }
        qk::RunOptions o;
        o.env["QT_QPA_PLATFORM"] = "offscreen";
        o.env["QT_QUICK_BACKEND"] = "software";
        o.env["ASAN_OPTIONS"] = "detect_leaks=0";
        const std::string runtime = m_dir.file("runtime");
        (void)mkdir(runtime.c_str(), 0700);
        o.env["XDG_RUNTIME_DIR"] = runtime;
        return qk::run(argv, o);
    }

    std::string fixture(const std::string &name, const std::string &qml)
    {
        const std::string path = m_dir.file(name);
        qk::writeFile(path, qml);
        return path;
    }

    qk::TempDir m_dir;
};

std::vector<std::string> lines(const std::string &text)
{
    std::vector<std::string> out;
    size_t start = 0;
    while (start < text.size()) {
        const size_t end = text.find('\n', start);
        out.push_back(text.substr(start, end - start));
        if (end == std::string::npos) {
            break;
        }
        start = end + 1;
    }
    return out;
}

TEST_F(YombaBoosterWarmUp, GoodPreloadsLogNothing)
{
    const std::string files[] = {
        fixture("plain.qml", "import QtQuick 2.0\nItem { property int level: 1 }\n"),
        SHIPPED_PRELOAD,
    };
    for (const std::string &f : files) {
        const qk::RunResult r = warmUp(f);
        EXPECT_EQ(r.status, 0) << f << "\n" << r.err;
        EXPECT_EQ(r.out, "warmUp=true\n") << f;
        EXPECT_EQ(r.err, "") << f;
    }
}

TEST_F(YombaBoosterWarmUp, FailuresAreLoggedAndWarmUpStillSucceeds)
{
    struct Case
    {
        const char *name;
        std::string file;
        size_t errors;
    };
    const Case cases[] = {
        {"missing", "", 1},
        {"syntax error", fixture("syntax.qml", "import QtQuick 2.0\nItem {\n    width: }\n"), 1},
        {"unknown type", fixture("type.qml", "import QtQuick 2.0\nNoSuchType {\n}\n"), 1},
        {"two missing modules",
         fixture("imports.qml",
                 "import QtQuick 2.0\nimport NoSuchModule 1.0\n"
                 "import OtherMissing 2.0\nItem {}\n"),
         2},
    };
    for (const Case &c : cases) {
        const qk::RunResult r = warmUp(c.file, true);
        EXPECT_EQ(r.status, 0) << c.name;
        // The probe's own engine lists the component's errors after the
        // result; the booster must have logged exactly those, in order.
        const std::vector<std::string> out = lines(r.out);
        ASSERT_FALSE(out.empty()) << c.name;
        EXPECT_EQ(out[0], "warmUp=true") << c.name;
        std::vector<std::string> expected = {"YombaBooster: Preload component failed to load:"};
        for (size_t i = 1; i < out.size(); ++i) {
            ASSERT_EQ(out[i].rfind("error: file://" + std::string(PreloadPath) + ":", 0), 0u)
                << out[i];
            expected.push_back("YombaBooster:    " + out[i].substr(7));
        }
        EXPECT_GE(expected.size(), 1 + c.errors) << c.name;
        EXPECT_EQ(lines(r.err), expected) << c.name;
    }
}

TEST_F(YombaBoosterWarmUp, ObjectThatCannotBeCreatedIsLoggedAlone)
{
    // Compiles, but creation fails: the required property is never set.
    const qk::RunResult r = warmUp(
        fixture("required.qml", "import QtQuick 2.15\nItem { required property int level }\n"));
    EXPECT_EQ(r.status, 0);
    EXPECT_EQ(r.out, "warmUp=true\n");
    EXPECT_EQ(r.err, "YombaBooster: Preload object creation failed\n");
}

} // namespace
