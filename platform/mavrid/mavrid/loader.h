// SPDX-License-Identifier: GPL-2.0-or-later
#pragma once

#include <QList>
#include <QPointer>
#include <QString>
#include <QStringList>

class QObject;

/*
 * Loads plug-ins: "lib<name>.so" in the plug-in directory. A library is
 * accepted when its qt_plugin_query_verification_data() text equals the
 * host's own; its qt_plugin_instance() object must be a Plugin. Dependencies
 * are loaded first, then Register and Init are called. The loader owns the
 * plug-in objects and deletes them before it closes their libraries.
 */
class Loader
{
public:
    static Loader &instance();

    void setPluginDirectory(const QString &directory);
    QString pluginDirectory() const;

    // True when the plug-in is loaded, now or before; else false with the
    // reason in errorString.
    bool loadPlugin(const QString &name, QString *errorString = nullptr);
    bool isLoaded(const QString &name) const;

    // Deletes the plug-in objects and closes the libraries, newest first.
    // Adaptors made by the plug-ins must be gone before.
    void unloadPlugins();

private:
    Loader() = default;
    ~Loader();
    Q_DISABLE_COPY(Loader)

    struct LoadedPlugin
    {
        QString name;
        void *handle;
        QPointer<QObject> object;
    };

    bool loadOne(const QString &name, QStringList *loading, QString *errorString);

    QString m_directory = QStringLiteral("/usr/lib/mavrid");
    QList<LoadedPlugin> m_plugins;
};
