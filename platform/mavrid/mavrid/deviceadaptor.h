// SPDX-License-Identifier: GPL-2.0-or-later
#pragma once

#include "nodebase.h"

#include <QMap>
#include <QStringList>

class RingBufferBase;

// A node that drives one device and publishes its samples in ring buffers,
// one per adapted sensor.
class DeviceAdaptor : public NodeBase
{
    Q_OBJECT

public:
    explicit DeviceAdaptor(const QString &id, QObject *parent = nullptr);
    ~DeviceAdaptor() override;

    // Publishes buffer (not owned) under the sensor name.
    void setAdaptedSensor(const QString &name, const QString &description, RingBufferBase *buffer);
    QStringList adaptedSensors() const;
    QString adaptedSensorDescription(const QString &name) const;

    RingBufferBase *findBuffer(const QString &name) const override;

    virtual bool startSensor() = 0;
    virtual bool stopSensor() = 0;
    virtual bool init();
    virtual bool startAdaptor();
    virtual void stopAdaptor();
    virtual bool standby();
    virtual bool resume();

private:
    struct AdaptedSensor
    {
        QString description;
        RingBufferBase *buffer;
    };
    QMap<QString, AdaptedSensor> m_sensors;
};
