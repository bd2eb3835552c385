// SPDX-License-Identifier: GPL-2.0-or-later
#pragma once

#include <QMap>
#include <QString>

class DeviceAdaptor;

typedef DeviceAdaptor *(*DeviceAdaptorFactoryMethod)(const QString &id);

// One adaptor the manager knows of: its type name, its full id, and the
// adaptor once it has been created, with the number of its users.
class DeviceAdaptorInstanceEntry
{
public:
    DeviceAdaptorInstanceEntry() = default;
    DeviceAdaptorInstanceEntry(const QString &type, const QString &id)
        : type(type)
        , id(id)
    { }

    QString type;
    QString id;
    DeviceAdaptor *adaptor = nullptr;
    int refCount = 0;
};

/*
 * The daemon's single sensor manager. Plug-ins enter adaptor types with
 * registerDeviceAdaptor<T>() (defined where plug-ins are built); adaptors are
 * created on first request through the factory of their type and belong to
 * the manager.
 */
class SensorManager
{
public:
    static SensorManager &instance();

    template <class DEVICE_ADAPTOR_TYPE> void registerDeviceAdaptor(const QString &id);

    // The adaptor entered under id, created if needed; null when the id or
    // its type's factory is unknown or the adaptor does not start.
    DeviceAdaptor *requestDeviceAdaptor(const QString &id);
    // Drops one use; the last one deletes the adaptor.
    void releaseDeviceAdaptor(const QString &id);

    const QMap<QString, DeviceAdaptorInstanceEntry> &deviceAdaptorInstances() const;
    const QMap<QString, DeviceAdaptorFactoryMethod> &deviceAdaptorFactories() const;

    // Deletes every adaptor and forgets every entry and factory, so that the
    // plug-ins that entered them can be unloaded.
    void reset();

private:
    SensorManager() = default;
    ~SensorManager();
    Q_DISABLE_COPY(SensorManager)

    QMap<QString, DeviceAdaptorInstanceEntry> m_deviceAdaptorInstanceMap;
    QMap<QString, DeviceAdaptorFactoryMethod> m_deviceAdaptorFactoryMap;
};
