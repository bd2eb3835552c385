// SPDX-License-Identifier: GPL-2.0-or-later
#include "yombabooster.h"

#include <appdata.h>
#include <connection.h>
#include <eventhandler.h>
#include <logger.h>
#include <zdeclarativecache.h>

#include <QQmlComponent>
#include <QQmlContext>
#include <QQmlEngine>
#include <QQmlError>
#include <QQuickWidget>
#include <QString>
#include <QUrl>

#include <string>

namespace {

const std::string s_socketPath("/tmp/boosty");
const std::string s_temporaryProcessName("booster-y");
const char s_typeLetter = 'y';
const QString s_preloadFile(QStringLiteral("/usr/share/yombabooster/preload.qml"));

} // namespace

extern "C" {

Q_DECL_EXPORT Booster *create()
{
    return new YombaBooster;
}

Q_DECL_EXPORT char type()
{
    return YombaBooster::type();
}

Q_DECL_EXPORT const char *socketName()
{
    return YombaBooster::socketName();
}

Q_DECL_EXPORT const char *temporaryProcessName()
{
    return YombaBooster::temporaryProcessName();
}

} // extern "C"

YombaBooster::YombaBooster() = default;

YombaBooster::~YombaBooster() = default;

char YombaBooster::type()
{
    return s_typeLetter;
}

const char *YombaBooster::socketName()
{
    return s_socketPath.c_str();
}

const char *YombaBooster::temporaryProcessName()
{
    return s_temporaryProcessName.c_str();
}

char YombaBooster::typeLetter() const
{
    return type();
}

const char *YombaBooster::temporaryName() const
{
    return temporaryProcessName();
}

const char *YombaBooster::socketPath() const
{
    return socketName();
}

bool YombaBooster::warmUp()
{
    QQuickWidget *view = ZDeclarativeCache::populate();
    QQmlEngine *engine = view->engine();

    // Compiling the file leaves its types in the engine; no object survives.
    QQmlComponent *component
        = new QQmlComponent(engine, QUrl::fromLocalFile(s_preloadFile), nullptr);
    if (component->isReady()) {
        QQmlContext *context = new QQmlContext(engine, nullptr);
        QObject *object = component->create(context);
        if (object) {
            delete object;
        } else {
            Logger::logError("YombaBooster: Preload object creation failed");
        }
        delete context;
    } else {
        Logger::logError("YombaBooster: Preload component failed to load:");
        const QList<QQmlError> errors = component->errors();
        for (const QQmlError &error : errors) {
            Logger::logError("YombaBooster:    %s", error.toString().toLatin1().constData());
        }
    }
    delete component;
    return true;
}

bool YombaBooster::receiveDataFromInvoker(int socketFd)
{
    if (bootMode()) {
        return Booster::receiveDataFromInvoker(socketFd);
    }

    setConnection(new Connection(socketFd, false));

    EventHandler handler(this);
    handler.runEventLoop();

    Connection *connection = this->connection();
    if (!connection->connected()) {
        return false;
    }
    if (!connection->receiveApplicationData(appData())) {
        connection->close();
        return false;
    }
    if (!connection->isReportAppExitStatusNeeded()) {
        connection->close();
    }
    return true;
}

void YombaBooster::appNameHook()
{ }
