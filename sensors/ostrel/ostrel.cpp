// SPDX-License-Identifier: GPL-2.0-or-later
#include "ostrel.h"

#include "sampleparser_p.h"

#include <mavrid/config.h>
#include <mavrid/datarange.h>
#include <mavrid/logging.h>
#include <mavrid/utils.h>

#include <unistd.h>

DeviceAdaptor *SteAccelAdaptor::factoryMethod(const QString &id)
{
    return new SteAccelAdaptor(id);
}

SteAccelAdaptor::SteAccelAdaptor(const QString &id)
    : SysfsAdaptor(id, SysfsAdaptor::IntervalMode, true, QString(), 0)
{
    buffer = new DeviceAdaptorRingBuffer<TimedXyzData>(128);
    setAdaptedSensor(QStringLiteral("accelerometer"), QStringLiteral("ste accelerometer"), buffer);
    introduceAvailableInterval(DataRange(50, 1000, 0));

    Config *config = Config::configuration();
    const QByteArray rangePath
        = config->value(QStringLiteral("accelerometer/range_path")).toByteArray();
    rangeMode = config->value(QStringLiteral("accelerometer/range_mode")).toByteArray();
    if (!rangePath.isEmpty()) {
        (void)writeToFile(rangePath, rangeMode);
    }
    modePath = config->value(QStringLiteral("accelerometer/mode_path")).toByteArray();

    setDescription(QStringLiteral("ste accelerometer"));
}

SteAccelAdaptor::~SteAccelAdaptor()
{
    delete buffer;
}

bool SteAccelAdaptor::setStandbyOverride(bool enabled)
{
    Q_UNUSED(enabled);
    return false;
}

bool SteAccelAdaptor::startSensor()
{
    if (!modePath.isEmpty()) {
        (void)writeToFile(modePath, rangeMode);
    }
    return SysfsAdaptor::startSensor();
}

bool SteAccelAdaptor::stopSensor()
{
    if (!modePath.isEmpty()) {
        (void)writeToFile(modePath, QByteArrayLiteral("0"));
    }
    return SysfsAdaptor::stopSensor();
}

void SteAccelAdaptor::processSample(int pathId, int fd)
{
    Q_UNUSED(pathId);

    char text[32];
    (void)lseek(fd, 0, SEEK_SET);
    const ssize_t length = read(fd, text, sizeof(text));
    if (length < 0) {
        // The record's source and line are fixed: the daemon's log filters
        // match them.
        MavridLogger(__PRETTY_FUNCTION__, "ostrel", 116, MavridLogWarning) << "Read failed";
        stopSensor();
        return;
    }

    qint32 raw[3];
    ostrel::parseSampleFields(text, int(length), raw);

    TimedXyzData *sample = buffer->writeSlot();
    sample->timestamp = Utils::getTimeStamp();
    sample->x = ostrel::scaleRawValue(raw[0]);
    sample->y = ostrel::scaleRawValue(raw[1]);
    sample->z = ostrel::scaleRawValue(raw[2]);
    buffer->commitWrite();
    buffer->wakeReaders();
}
