// SPDX-License-Identifier: GPL-2.0-or-later
#pragma once

class AppData;
class Connection;
class SingleInstance;
class SocketManager;

// The base of boosters. A booster runs in a process of its own that the
// daemon forks: it warms up, waits for one invoker, receives its launch data
// and then turns into the application by entering the application's main.
class Booster
{
public:
    Booster();
    virtual ~Booster();

    // argc/argv: the daemon's command line; daemonFd: where the booster tells
    // the daemon that it has taken a launch (-1: nobody to tell); socketFd:
    // the listening socket (-1: look it up by socketPath() in run()'s
    // manager); bootMode: the daemon runs in boot mode.
    virtual void initialize(int argc, char **argv, int daemonFd, int socketFd,
                            SingleInstance *singleInstance, bool bootMode);
    // Accepts invokers until one sends launch data, then launches; the exit
    // status is then in exitStatus(). Returns at once when there is no socket.
    virtual void run(SocketManager *socketManager);
    virtual char typeLetter() const = 0;
    virtual const char *temporaryName() const = 0;
    virtual const char *socketPath() const = 0;
    // Applies the received environment and working directory.
    virtual void setEnvironmentBeforeLaunch();
    // Loads the application named by argv[0] into this process and runs its
    // main; its result, or 127 when it cannot be loaded.
    virtual int launchProcess();
    virtual bool warmUp();
    // Reads launch data from an accepted invoker; true when it was received.
    virtual bool receiveDataFromInvoker(int socketFd);
    // Names the process after the application.
    virtual void appNameHook();

    bool bootMode() const { return m_bootMode; }
    // Takes ownership; an earlier connection is destroyed.
    void setConnection(Connection *connection);
    Connection *connection() const { return m_connection; }
    AppData *appData() const { return m_appData; }
    int daemonFd() const { return m_daemonFd; }
    SingleInstance *singleInstance() const { return m_singleInstance; }
    int exitStatus() const { return m_exitStatus; }

private:
    Booster(const Booster &) = delete;
    Booster &operator=(const Booster &) = delete;

    void notifyDaemon();

    AppData *m_appData;
    Connection *m_connection = nullptr;
    SingleInstance *m_singleInstance = nullptr;
    int m_argc = 0;
    char **m_argv = nullptr;
    int m_daemonFd = -1;
    int m_socketFd = -1;
    bool m_bootMode = false;
    int m_exitStatus = 0;
};
