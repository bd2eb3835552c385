// SPDX-License-Identifier: GPL-2.0-or-later
#pragma once

#include <mavrid/logging.h>
#include <mavrid/sensormanager.h>

#include <QString>

// Enters DEVICE_ADAPTOR_TYPE under the part of id before its first ";". The
// type needs a meta-object (its class name is the factory map's key) and a
// static factoryMethod(const QString &). The records' source and line are
// fixed: the daemon's log filters match them.
template <class DEVICE_ADAPTOR_TYPE> void SensorManager::registerDeviceAdaptor(const QString &id)
{
    const int semicolon = id.indexOf(QLatin1Char(';'));
    const QString key = semicolon < 0 ? id : id.left(semicolon);

    if (m_deviceAdaptorInstanceMap.contains(key)) {
        MavridLogger(__PRETTY_FUNCTION__, "../../core/sensormanager", 509, MavridLogWarning)
            << QString("<%1> Adaptor is already present!").arg(key).toLatin1().constData();
        return;
    }

    const QString typeName = QLatin1String(DEVICE_ADAPTOR_TYPE::staticMetaObject.className());
    m_deviceAdaptorInstanceMap.insert(key, DeviceAdaptorInstanceEntry(typeName, id));

    if (!m_deviceAdaptorFactoryMap.contains(typeName)) {
        m_deviceAdaptorFactoryMap.insert(typeName, DEVICE_ADAPTOR_TYPE::factoryMethod);
    }
    if (m_deviceAdaptorFactoryMap.value(typeName) != DEVICE_ADAPTOR_TYPE::factoryMethod) {
        MavridLogger(__PRETTY_FUNCTION__, "../../core/sensormanager", 522, MavridLogWarning)
            << "Device adaptor type doesn't match!";
    }
}
