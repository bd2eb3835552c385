// SPDX-License-Identifier: GPL-2.0-or-later
// A booster plug-in without a toolkit, for the daemon's tests: it warms
// nothing up and listens where PREFIX_SOCKET says; with PREFIX_DIE_AT_START
// set it dies while warming up. PREFIX is TESTBOOSTER_PREFIX, and the type
// letter TESTBOOSTER_TYPE, so that a test can load two different ones.
#include <booster.h>

#include <cstdlib>
#include <string>
#include <unistd.h>

#ifndef TESTBOOSTER_TYPE
#define TESTBOOSTER_TYPE 't'
#define TESTBOOSTER_PREFIX "TESTBOOSTER"
#endif

namespace {

std::string setting(const char *name, const char *fallback)
{
    const char *value = getenv((std::string(TESTBOOSTER_PREFIX "_") + name).c_str());
    return value ? value : fallback;
}

const std::string s_socket = setting("SOCKET", "/tmp/testboosty");
const std::string s_temporaryName = std::string("booster-") + TESTBOOSTER_TYPE;

class TestBooster : public Booster
{
public:
    char typeLetter() const override { return TESTBOOSTER_TYPE; }
    const char *temporaryName() const override { return s_temporaryName.c_str(); }
    const char *socketPath() const override { return s_socket.c_str(); }
    bool warmUp() override
    {
        if (!setting("DIE_AT_START", "").empty()) {
            _exit(1);
        }
        return true;
    }
};

} // namespace

extern "C" {

__attribute__((visibility("default"))) Booster *create()
{
    return new TestBooster;
}

__attribute__((visibility("default"))) char type()
{
    return TESTBOOSTER_TYPE;
}

__attribute__((visibility("default"))) const char *socketName()
{
    return s_socket.c_str();
}

__attribute__((visibility("default"))) const char *temporaryProcessName()
{
    return s_temporaryName.c_str();
}

} // extern "C"
