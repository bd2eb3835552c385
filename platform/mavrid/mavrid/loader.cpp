// SPDX-License-Identifier: GPL-2.0-or-later
#include "loader.h"

#include "logging.h"
#include "plugin.h"
#include "pluginexport.h"

#include <QFile>

#include <cstring>
#include <dlfcn.h>

namespace {

typedef const char *(*VerificationFunction)();
typedef QObject *(*InstanceFunction)();

void setError(QString *errorString, const QString &text)
{
    if (errorString) {
        *errorString = text;
    }
}

} // namespace

Loader &Loader::instance()
{
    static Loader loader;
    return loader;
}

Loader::~Loader()
{
    // Plug-in code may already be gone at process exit; closing is the
    // host's job through unloadPlugins().
}

void Loader::setPluginDirectory(const QString &directory)
{
    m_directory = directory;
}

QString Loader::pluginDirectory() const
{
    return m_directory;
}

bool Loader::isLoaded(const QString &name) const
{
    for (const LoadedPlugin &plugin : m_plugins) {
        if (plugin.name == name) {
            return true;
        }
    }
    return false;
}

bool Loader::loadPlugin(const QString &name, QString *errorString)
{
    QStringList loading;
    return loadOne(name, &loading, errorString);
}

bool Loader::loadOne(const QString &name, QStringList *loading, QString *errorString)
{
    if (isLoaded(name)) {
        return true;
    }
    if (loading->contains(name)) {
        setError(errorString, QStringLiteral("%1: circular plug-in dependency").arg(name));
        return false;
    }
    loading->append(name);

    const QString path = m_directory + QStringLiteral("/lib") + name + QStringLiteral(".so");
    void *handle = dlopen(QFile::encodeName(path).constData(), RTLD_NOW | RTLD_LOCAL);
    if (!handle) {
        setError(errorString, QString::fromLocal8Bit(dlerror()));
        return false;
    }

    auto verification = reinterpret_cast<VerificationFunction>(
        dlsym(handle, "qt_plugin_query_verification_data"));
    auto instance = reinterpret_cast<InstanceFunction>(dlsym(handle, "qt_plugin_instance"));
    if (!verification || !instance) {
        setError(errorString, QStringLiteral("%1: not a plug-in").arg(path));
        dlclose(handle);
        return false;
    }
    const char *data = verification();
    if (!data || std::strcmp(data, MAVRID_PLUGIN_VERIFICATION_DATA) != 0) {
        setError(errorString,
                 QStringLiteral("%1: plug-in built for another configuration").arg(path));
        dlclose(handle);
        return false;
    }
    QObject *object = instance();
    Plugin *plugin = qobject_cast<Plugin *>(object);
    if (!plugin) {
        setError(errorString, QStringLiteral("%1: no plug-in object").arg(path));
        delete object;
        dlclose(handle);
        return false;
    }

    for (const QString &dependency : plugin->Dependencies()) {
        if (!loadOne(dependency, loading, errorString)) {
            delete plugin;
            dlclose(handle);
            return false;
        }
    }

    m_plugins.append(LoadedPlugin {name, handle, object});
    MavridLogger(Q_FUNC_INFO, "loader", __LINE__, MavridLogInfo) << "loaded plug-in " << path;
    plugin->Register(*this);
    plugin->Init(*this);
    return true;
}

void Loader::unloadPlugins()
{
    while (!m_plugins.isEmpty()) {
        LoadedPlugin plugin = m_plugins.takeLast();
        delete plugin.object.data();
        dlclose(plugin.handle);
    }
}
