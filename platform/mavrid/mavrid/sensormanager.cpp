// SPDX-License-Identifier: GPL-2.0-or-later
#include "sensormanager.h"

#include "deviceadaptor.h"
#include "logging.h"

SensorManager &SensorManager::instance()
{
    static SensorManager manager;
    return manager;
}

SensorManager::~SensorManager()
{
    // Adaptor code lives in plug-ins that may be unloaded by now; the host
    // deletes adaptors through reset() before it unloads them.
}

DeviceAdaptor *SensorManager::requestDeviceAdaptor(const QString &id)
{
    auto it = m_deviceAdaptorInstanceMap.find(id);
    if (it == m_deviceAdaptorInstanceMap.end()) {
        MavridLogger(Q_FUNC_INFO, "sensormanager", __LINE__, MavridLogWarning)
            << "unknown adaptor " << id;
        return nullptr;
    }
    DeviceAdaptorInstanceEntry &entry = it.value();
    if (!entry.adaptor) {
        const DeviceAdaptorFactoryMethod factory = m_deviceAdaptorFactoryMap.value(entry.type);
        if (!factory) {
            MavridLogger(Q_FUNC_INFO, "sensormanager", __LINE__, MavridLogWarning)
                << "no factory for adaptor type " << entry.type;
            return nullptr;
        }
        DeviceAdaptor *adaptor = factory(entry.id);
        if (!adaptor) {
            return nullptr;
        }
        if (!adaptor->startAdaptor()) {
            MavridLogger(Q_FUNC_INFO, "sensormanager", __LINE__, MavridLogWarning)
                << "adaptor " << id << " does not start";
            delete adaptor;
            return nullptr;
        }
        entry.adaptor = adaptor;
    }
    ++entry.refCount;
    return entry.adaptor;
}

void SensorManager::releaseDeviceAdaptor(const QString &id)
{
    auto it = m_deviceAdaptorInstanceMap.find(id);
    if (it == m_deviceAdaptorInstanceMap.end() || !it.value().adaptor) {
        return;
    }
    DeviceAdaptorInstanceEntry &entry = it.value();
    if (--entry.refCount > 0) {
        return;
    }
    entry.adaptor->stopAdaptor();
    delete entry.adaptor;
    entry.adaptor = nullptr;
    entry.refCount = 0;
}

const QMap<QString, DeviceAdaptorInstanceEntry> &SensorManager::deviceAdaptorInstances() const
{
    return m_deviceAdaptorInstanceMap;
}

const QMap<QString, DeviceAdaptorFactoryMethod> &SensorManager::deviceAdaptorFactories() const
{
    return m_deviceAdaptorFactoryMap;
}

void SensorManager::reset()
{
    for (DeviceAdaptorInstanceEntry &entry : m_deviceAdaptorInstanceMap) {
        if (entry.adaptor) {
            entry.adaptor->stopAdaptor();
            delete entry.adaptor;
        }
    }
    m_deviceAdaptorInstanceMap.clear();
    m_deviceAdaptorFactoryMap.clear();
}
