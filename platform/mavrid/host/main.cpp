// SPDX-License-Identifier: GPL-2.0-or-later
// The sensor-daemon host: loads one plug-in, creates one of its adaptors,
// reads one of its sensors and prints the samples it drains, one line each:
// "timestamp x y z".
#include "core/ringbuffer.h"
#include "core/timedxyzdata.h"

#include <mavrid/config.h>
#include <mavrid/deviceadaptor.h>
#include <mavrid/loader.h>
#include <mavrid/logging.h>
#include <mavrid/sensormanager.h>
#include <mavrid/sysfsadaptor.h>

#include <QCommandLineParser>
#include <QCoreApplication>
#include <QFile>
#include <QTimer>

#include <cstdio>

namespace {

// Prints what the buffer holds each time it is woken, up to a limit.
class PrintingReader : public RingBufferReader<TimedXyzData>
{
public:
    explicit PrintingReader(quint64 limit)
        : m_limit(limit)
    { }

    void wakeup() override
    {
        TimedXyzData samples[16];
        unsigned int n;
        while (!done() && (n = read(16, samples)) > 0) {
            for (unsigned int i = 0; i < n && !done(); ++i) {
                std::printf("%llu %d %d %d\n",
                            static_cast<unsigned long long>(samples[i].timestamp),
                            int(samples[i].x),
                            int(samples[i].y),
                            int(samples[i].z));
                ++m_printed;
            }
        }
        if (done()) {
            QCoreApplication::exit(0);
        }
    }

    bool done() const { return m_limit > 0 && m_printed >= m_limit; }

private:
    quint64 m_limit;
    quint64 m_printed = 0;
};

int fail(const QString &message)
{
    std::fprintf(stderr, "mavrid: %s\n", qPrintable(message));
    return 1;
}

} // namespace

int main(int argc, char *argv[])
{
    QCoreApplication app(argc, argv);

    QCommandLineParser parser;
    parser.setApplicationDescription(
        QStringLiteral("Runs a sensor plug-in and prints its samples."));
    parser.addHelpOption();
    const QCommandLineOption configOption({QStringLiteral("c"), QStringLiteral("config")},
                                          QStringLiteral("Configuration file."),
                                          QStringLiteral("file"));
    const QCommandLineOption dirOption({QStringLiteral("p"), QStringLiteral("plugin-dir")},
                                       QStringLiteral("Plug-in directory."),
                                       QStringLiteral("dir"),
                                       QStringLiteral("/usr/lib/mavrid"));
    const QCommandLineOption pluginOption(QStringLiteral("plugin"),
                                          QStringLiteral("Plug-in name."),
                                          QStringLiteral("name"),
                                          QStringLiteral("ostrel"));
    const QCommandLineOption adaptorOption(QStringLiteral("adaptor"),
                                           QStringLiteral("Adaptor id."),
                                           QStringLiteral("id"),
                                           QStringLiteral("accelerometeradaptor"));
    const QCommandLineOption sensorOption(QStringLiteral("sensor"),
                                          QStringLiteral("Sensor name."),
                                          QStringLiteral("name"),
                                          QStringLiteral("accelerometer"));
    const QCommandLineOption samplesOption({QStringLiteral("n"), QStringLiteral("samples")},
                                           QStringLiteral("Samples to print (0: no limit)."),
                                           QStringLiteral("count"),
                                           QStringLiteral("10"));
    const QCommandLineOption durationOption({QStringLiteral("d"), QStringLiteral("duration")},
                                            QStringLiteral("Milliseconds to run (0: no limit)."),
                                            QStringLiteral("ms"),
                                            QStringLiteral("0"));
    const QCommandLineOption intervalOption({QStringLiteral("i"), QStringLiteral("interval")},
                                            QStringLiteral("Sampling interval in milliseconds."),
                                            QStringLiteral("ms"));
    const QCommandLineOption levelOption({QStringLiteral("l"), QStringLiteral("log-level")},
                                         QStringLiteral("Least log level written (1-4)."),
                                         QStringLiteral("level"),
                                         QStringLiteral("3"));
    parser.addOptions({configOption,
                       dirOption,
                       pluginOption,
                       adaptorOption,
                       sensorOption,
                       samplesOption,
                       durationOption,
                       intervalOption,
                       levelOption});
    parser.process(app);

    bool ok = true;
    const quint64 samples = parser.value(samplesOption).toULongLong(&ok);
    if (!ok) {
        return fail(QStringLiteral("invalid sample count"));
    }
    const int duration = parser.value(durationOption).toInt(&ok);
    if (!ok || duration < 0) {
        return fail(QStringLiteral("invalid duration"));
    }
    const int level = parser.value(levelOption).toInt(&ok);
    if (!ok) {
        return fail(QStringLiteral("invalid log level"));
    }

    QFile logFile;
    (void)logFile.open(stderr, QIODevice::WriteOnly | QIODevice::Unbuffered);
    MavridLogger::init(&logFile, level);

    if (parser.isSet(configOption) && !Config::configuration()->load(parser.value(configOption))) {
        return fail(QStringLiteral("cannot read %1").arg(parser.value(configOption)));
    }

    Loader &loader = Loader::instance();
    loader.setPluginDirectory(parser.value(dirOption));
    QString error;
    if (!loader.loadPlugin(parser.value(pluginOption), &error)) {
        return fail(error);
    }

    SensorManager &manager = SensorManager::instance();
    const QString adaptorId = parser.value(adaptorOption);
    const QString sensorName = parser.value(sensorOption);
    int status = 0;
    DeviceAdaptor *adaptor = manager.requestDeviceAdaptor(adaptorId);
    RingBufferBase *buffer = adaptor ? adaptor->findBuffer(sensorName) : nullptr;
    PrintingReader reader(samples);
    if (!adaptor) {
        status = fail(QStringLiteral("no adaptor %1").arg(adaptorId));
    } else if (!buffer) {
        status = fail(QStringLiteral("no sensor %1").arg(sensorName));
    } else if (!buffer->joinTypeChecked(&reader)) {
        status = fail(QStringLiteral("cannot read sensor %1").arg(sensorName));
    } else {
        if (parser.isSet(intervalOption)
            && !adaptor->setInterval(parser.value(intervalOption).toUInt(), 0)) {
            status = fail(
                QStringLiteral("interval %1 not available").arg(parser.value(intervalOption)));
        } else if (!adaptor->startSensor()) {
            status = fail(QStringLiteral("sensor %1 does not start").arg(sensorName));
        } else {
            // A sensor that stops by itself (a failed read) ends the run.
            QTimer watch;
            SysfsAdaptor *sysfs = dynamic_cast<SysfsAdaptor *>(adaptor);
            QObject::connect(&watch, &QTimer::timeout, [sysfs] {
                if (sysfs && !sysfs->isRunning()) {
                    QCoreApplication::exit(2);
                }
            });
            watch.start(10);
            QTimer limit;
            limit.setSingleShot(true);
            QObject::connect(&limit, &QTimer::timeout, [] { QCoreApplication::exit(0); });
            if (duration > 0) {
                limit.start(duration);
            }
            if (app.exec() == 2) {
                status = fail(QStringLiteral("sensor %1 stopped").arg(sensorName));
            }
            adaptor->stopSensor();
        }
        buffer->unjoinTypeChecked(&reader);
    }
    std::fflush(stdout);

    if (adaptor) {
        manager.releaseDeviceAdaptor(adaptorId);
    }
    manager.reset();
    loader.unloadPlugins();
    MavridLogger::close();
    return status;
}
