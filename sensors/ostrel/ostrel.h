// SPDX-License-Identifier: GPL-2.0-or-later
#pragma once

#include "core/ringbuffer.h"
#include "core/timedxyzdata.h"

#include <mavrid/sysfsadaptor.h>

#include <QByteArray>
#include <QString>

/*
 * The adaptor of the accelerometer chip. The chip is set up through sysfs
 * files named by the configuration keys "accelerometer/range_path",
 * "accelerometer/range_mode" and "accelerometer/mode_path"; its data file
 * holds "x:y:z" in raw chip units, which are scaled and published in a
 * 128-element ring buffer as the sensor "accelerometer".
 */
class SteAccelAdaptor : public SysfsAdaptor
{
    Q_OBJECT

public:
    // A new adaptor for id; the caller owns it.
    static DeviceAdaptor *factoryMethod(const QString &id);

    explicit SteAccelAdaptor(const QString &id);
    ~SteAccelAdaptor() override;

    // The chip has no standby of its own to override: always false.
    bool setStandbyOverride(bool enabled) override;

    bool startSensor() override;
    bool stopSensor() override;

    // Reads one sample from fd; pathId is not used. A failed read stops the
    // sensor.
    void processSample(int pathId, int fd) override;

private:
    DeviceAdaptorRingBuffer<TimedXyzData> *buffer;
    QByteArray modePath;
    QByteArray rangeMode;
};
