// SPDX-License-Identifier: GPL-2.0-or-later
// A booster plug-in without a toolkit, for the daemon's tests: it warms
// nothing up and listens where TESTBOOSTER_SOCKET says; with
// TESTBOOSTER_DIE_AT_START set it dies while warming up.
#include <booster.h>

#include <cstdlib>
#include <string>
#include <unistd.h>

namespace {

const std::string s_socket = getenv("TESTBOOSTER_SOCKET") ? getenv("TESTBOOSTER_SOCKET") : "/tmp/testboosty";

class TestBooster : public Booster
{
public:
    char typeLetter() const override { return 't'; }
    const char *temporaryName() const override { return "booster-t"; }
    const char *socketPath() const override { return s_socket.c_str(); }
    bool warmUp() override
    {
        if (getenv("TESTBOOSTER_DIE_AT_START")) {
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
    return 't';
}

__attribute__((visibility("default"))) const char *socketName()
{
    return s_socket.c_str();
}

__attribute__((visibility("default"))) const char *temporaryProcessName()
{
    return "booster-t";
}

} // extern "C"
