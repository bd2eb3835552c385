// SPDX-License-Identifier: GPL-2.0-or-later
#pragma once

class Booster;

// Waits, for a booster, until its invoker has something to say.
class EventHandler
{
public:
    explicit EventHandler(Booster *parent);
    ~EventHandler();

    // Runs until the booster's connection is readable or hung up, until the
    // daemon that started the booster has gone, or until a timeout. The
    // caller then checks whether an invoker is still connected.
    void runEventLoop();

private:
    Booster *m_parent;
};
