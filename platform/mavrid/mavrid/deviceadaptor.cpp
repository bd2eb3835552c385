// SPDX-License-Identifier: GPL-2.0-or-later
#include "deviceadaptor.h"

DeviceAdaptor::DeviceAdaptor(const QString &id, QObject *parent)
    : NodeBase(id, parent)
{ }

DeviceAdaptor::~DeviceAdaptor() = default;

void DeviceAdaptor::setAdaptedSensor(const QString &name, const QString &description,
                                     RingBufferBase *buffer)
{
    m_sensors.insert(name, AdaptedSensor {description, buffer});
}

QStringList DeviceAdaptor::adaptedSensors() const
{
    return m_sensors.keys();
}

QString DeviceAdaptor::adaptedSensorDescription(const QString &name) const
{
    return m_sensors.value(name).description;
}

RingBufferBase *DeviceAdaptor::findBuffer(const QString &name) const
{
    const auto it = m_sensors.constFind(name);
    return it == m_sensors.constEnd() ? nullptr : it.value().buffer;
}

bool DeviceAdaptor::init()
{
    return true;
}

bool DeviceAdaptor::startAdaptor()
{
    return true;
}

void DeviceAdaptor::stopAdaptor()
{ }

bool DeviceAdaptor::standby()
{
    return stopSensor();
}

bool DeviceAdaptor::resume()
{
    return startSensor();
}
