// SPDX-License-Identifier: GPL-2.0-or-later
#pragma once

#include <booster.h>

// The QML booster: warms the QML engine up by loading the preload file once,
// before any application is requested.
class YombaBooster : public Booster
{
public:
    YombaBooster();
    ~YombaBooster() override;

    char typeLetter() const override;
    const char *temporaryName() const override;
    const char *socketPath() const override;
    bool warmUp() override;
    bool receiveDataFromInvoker(int socketFd) override;
    void appNameHook() override;

    static char type();
    static const char *socketName();
    static const char *temporaryProcessName();
};
