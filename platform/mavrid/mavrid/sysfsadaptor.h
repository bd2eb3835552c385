// SPDX-License-Identifier: GPL-2.0-or-later
#pragma once

#include "deviceadaptor.h"

#include <QByteArray>
#include <QString>
#include <QTimer>

/*
 * An adaptor that reads its device through a sysfs data file.
 *
 * In IntervalMode the host calls processSample() every interval() ms while
 * the sensor runs, with pathId and a read-only descriptor on the data file.
 * With keepOpen the file is opened once at start and the same descriptor is
 * passed to every sample (the adaptor seeks it itself); without it the file
 * is opened for each sample. SelectMode (waiting for the file to signal new
 * data) is not offered by this host: such a sensor does not start.
 *
 * An empty path means the data file is named by the configuration key
 * "<id>/data_path".
 */
class SysfsAdaptor : public DeviceAdaptor
{
public:
    enum PollMode { SelectMode = 0, IntervalMode = 1 };

    SysfsAdaptor(const QString &id, PollMode mode = SelectMode, bool keepOpen = true,
                 const QString &path = QString(), int pathId = 0);
    ~SysfsAdaptor() override;

    // Replaces the content of an existing file; false when it cannot be
    // opened or fully written.
    static bool writeToFile(const QByteArray &path, const QByteArray &content);

    bool isRunning() const;
    QString dataPath() const;

    unsigned int interval() const override;
    bool setInterval(unsigned int value, int sessionId) override;

    bool startSensor() override;
    bool stopSensor() override;
    bool init() override;
    bool startAdaptor() override;
    void stopAdaptor() override;
    bool standby() override;
    bool resume() override;

    virtual void processSample(int pathId, int fd) = 0;

private:
    void sample();

    PollMode m_mode;
    bool m_keepOpen;
    QString m_path;
    int m_pathId;
    int m_fd = -1;
    bool m_running = false;
    bool m_inStandby = false;
    QTimer m_timer;
};
