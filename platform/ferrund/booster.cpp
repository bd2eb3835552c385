// SPDX-License-Identifier: GPL-2.0-or-later
#include "booster.h"

#include "appdata.h"
#include "connection.h"
#include "logger.h"
#include "socketmanager.h"

#include <cerrno>
#include <cstdlib>
#include <cstring>
#include <dlfcn.h>
#include <string>
#include <sys/prctl.h>
#include <sys/socket.h>
#include <unistd.h>

Booster::Booster()
    : m_appData(new AppData)
{ }

Booster::~Booster()
{
    delete m_connection;
    delete m_appData;
}

void Booster::initialize(int argc, char **argv, int daemonFd, int socketFd,
                         SingleInstance *singleInstance, bool bootMode)
{
    m_argc = argc;
    m_argv = argv;
    m_daemonFd = daemonFd;
    m_socketFd = socketFd;
    m_singleInstance = singleInstance;
    m_bootMode = bootMode;
    (void)prctl(PR_SET_NAME, temporaryName(), 0, 0, 0);
}

void Booster::setConnection(Connection *connection)
{
    if (connection != m_connection) {
        delete m_connection;
        m_connection = connection;
    }
}

bool Booster::warmUp()
{
    return true;
}

bool Booster::receiveDataFromInvoker(int socketFd)
{
    // Boot mode has no time for an event loop: read the request at once.
    Connection *connection = new Connection(socketFd, false);
    setConnection(connection);
    if (!connection->receiveApplicationData(appData())) {
        connection->close();
        return false;
    }
    if (!connection->isReportAppExitStatusNeeded()) {
        connection->close();
    }
    return true;
}

void Booster::run(SocketManager *socketManager)
{
    int listenFd = m_socketFd;
    if (listenFd < 0 && socketManager) {
        listenFd = socketManager->findSocket(socketPath());
    }
    if (listenFd < 0) {
        Logger::logError("ferrund: booster %c has no socket", typeLetter());
        return;
    }
    for (;;) {
        const int fd = accept4(listenFd, nullptr, nullptr, SOCK_CLOEXEC);
        if (fd < 0) {
            if (errno == EINTR || errno == ECONNABORTED) {
                continue;
            }
            Logger::logError("ferrund: accept: %s", strerror(errno));
            return;
        }
        if (receiveDataFromInvoker(fd)) {
            break;
        }
        // A connection owns the descriptor; without one it is still ours.
        if (!connection()) {
            (void)close(fd);
        }
        setConnection(nullptr);
    }
    // The application must not keep the daemon's sockets.
    if (socketManager) {
        socketManager->closeAll(false);
    }
    (void)close(listenFd);
    // The application outlives the daemon if need be.
    (void)prctl(PR_SET_PDEATHSIG, 0);
    notifyDaemon();
    m_exitStatus = launchProcess();
    if (m_connection && m_connection->isReportAppExitStatusNeeded()) {
        (void)m_connection->reportAppExitStatus(m_exitStatus);
    }
    setConnection(nullptr);
}

void Booster::notifyDaemon()
{
    if (m_daemonFd < 0) {
        return;
    }
    const char launched = 'L';
    while (write(m_daemonFd, &launched, 1) < 0 && errno == EINTR) { }
    (void)close(m_daemonFd);
    m_daemonFd = -1;
}

void Booster::setEnvironmentBeforeLaunch()
{
    for (const std::string &entry : m_appData->environment()) {
        const size_t eq = entry.find('=');
        const std::string name = entry.substr(0, eq);
        (void)setenv(name.c_str(), entry.c_str() + eq + 1, 1);
    }
    const std::string &cwd = m_appData->workingDirectory();
    if (!cwd.empty() && chdir(cwd.c_str()) != 0) {
        Logger::logError("ferrund: cannot enter %s: %s", cwd.c_str(), strerror(errno));
    }
    appNameHook();
}

void Booster::appNameHook()
{
    const std::string file = m_appData->fileName();
    const size_t slash = file.rfind('/');
    const std::string name = slash == std::string::npos ? file : file.substr(slash + 1);
    (void)prctl(PR_SET_NAME, name.c_str(), 0, 0, 0);
}

int Booster::launchProcess()
{
    setEnvironmentBeforeLaunch();
    const std::string file = m_appData->fileName();
    void *handle = dlopen(file.c_str(), RTLD_LAZY | RTLD_GLOBAL);
    if (!handle) {
        Logger::logError("ferrund: cannot load %s: %s", file.c_str(), dlerror());
        return 127;
    }
    using MainFunction = int (*)(int, char **);
    (void)dlerror();
    auto entry = reinterpret_cast<MainFunction>(dlsym(handle, "main"));
    if (dlerror() || !entry) {
        Logger::logError("ferrund: %s exports no main", file.c_str());
        return 127;
    }
    // The application stays mapped: its objects may outlive main until exit.
    return entry(m_appData->argc(), m_appData->argv());
}
