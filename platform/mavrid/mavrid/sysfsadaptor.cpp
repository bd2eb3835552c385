// SPDX-License-Identifier: GPL-2.0-or-later
#include "sysfsadaptor.h"

#include "config.h"
#include "logging.h"

#include <QFile>

#include <cerrno>
#include <fcntl.h>
#include <unistd.h>

namespace {

const unsigned int defaultInterval = 100;

} // namespace

SysfsAdaptor::SysfsAdaptor(const QString &id, PollMode mode, bool keepOpen, const QString &path,
                           int pathId)
    : DeviceAdaptor(id)
    , m_mode(mode)
    , m_keepOpen(keepOpen)
    , m_path(path)
    , m_pathId(pathId)
{
    QObject::connect(&m_timer, &QTimer::timeout, [this] { sample(); });
}

SysfsAdaptor::~SysfsAdaptor()
{
    m_timer.stop();
    if (m_fd >= 0) {
        ::close(m_fd);
    }
}

bool SysfsAdaptor::writeToFile(const QByteArray &path, const QByteArray &content)
{
    const int fd = ::open(path.constData(), O_WRONLY | O_TRUNC | O_CLOEXEC);
    if (fd < 0) {
        MavridLogger(Q_FUNC_INFO, "sysfsadaptor", __LINE__, MavridLogWarning)
            << "cannot open " << path;
        return false;
    }
    const char *data = content.constData();
    qint64 left = content.size();
    bool ok = true;
    while (left > 0) {
        const ssize_t n = ::write(fd, data, size_t(left));
        if (n < 0 && errno == EINTR) {
            continue;
        }
        if (n <= 0) {
            ok = false;
            break;
        }
        data += n;
        left -= n;
    }
    if (::close(fd) != 0) {
        ok = false;
    }
    if (!ok) {
        MavridLogger(Q_FUNC_INFO, "sysfsadaptor", __LINE__, MavridLogWarning)
            << "cannot write " << path;
    }
    return ok;
}

bool SysfsAdaptor::isRunning() const
{
    return m_running;
}

QString SysfsAdaptor::dataPath() const
{
    if (!m_path.isEmpty()) {
        return m_path;
    }
    return Config::configuration()->value(id() + QStringLiteral("/data_path")).toString();
}

unsigned int SysfsAdaptor::interval() const
{
    const unsigned int requested = DeviceAdaptor::interval();
    if (requested > 0) {
        return requested;
    }
    const QList<DataRange> ranges = availableIntervals();
    if (!ranges.isEmpty() && ranges.first().min > 0) {
        return unsigned(ranges.first().min);
    }
    return defaultInterval;
}

bool SysfsAdaptor::setInterval(unsigned int value, int sessionId)
{
    if (!DeviceAdaptor::setInterval(value, sessionId)) {
        return false;
    }
    if (m_running) {
        m_timer.setInterval(int(interval()));
    }
    return true;
}

bool SysfsAdaptor::startSensor()
{
    if (m_running) {
        return true;
    }
    if (m_mode != IntervalMode) {
        MavridLogger(Q_FUNC_INFO, "sysfsadaptor", __LINE__, MavridLogWarning)
            << id() << ": select mode is not supported";
        return false;
    }
    const QByteArray path = QFile::encodeName(dataPath());
    if (path.isEmpty()) {
        MavridLogger(Q_FUNC_INFO, "sysfsadaptor", __LINE__, MavridLogWarning)
            << id() << ": no data file";
        return false;
    }
    const int fd = ::open(path.constData(), O_RDONLY | O_CLOEXEC);
    if (fd < 0) {
        MavridLogger(Q_FUNC_INFO, "sysfsadaptor", __LINE__, MavridLogWarning)
            << id() << ": cannot open " << path;
        return false;
    }
    if (m_keepOpen) {
        m_fd = fd;
    } else {
        ::close(fd);
    }
    m_running = true;
    m_inStandby = false;
    m_timer.start(int(interval()));
    return true;
}

bool SysfsAdaptor::stopSensor()
{
    m_timer.stop();
    m_running = false;
    m_inStandby = false;
    if (m_fd >= 0) {
        ::close(m_fd);
        m_fd = -1;
    }
    return true;
}

bool SysfsAdaptor::init()
{
    return true;
}

bool SysfsAdaptor::startAdaptor()
{
    return true;
}

void SysfsAdaptor::stopAdaptor()
{
    if (m_running) {
        stopSensor();
    }
}

bool SysfsAdaptor::standby()
{
    if (!m_running || standbyOverride()) {
        return true;
    }
    m_timer.stop();
    m_inStandby = true;
    return true;
}

bool SysfsAdaptor::resume()
{
    if (m_inStandby) {
        m_inStandby = false;
        m_timer.start(int(interval()));
    }
    return true;
}

void SysfsAdaptor::sample()
{
    if (m_keepOpen) {
        processSample(m_pathId, m_fd);
        return;
    }
    const int fd = ::open(QFile::encodeName(dataPath()).constData(), O_RDONLY | O_CLOEXEC);
    if (fd < 0) {
        MavridLogger(Q_FUNC_INFO, "sysfsadaptor", __LINE__, MavridLogWarning)
            << id() << ": data file is gone";
        stopSensor();
        return;
    }
    processSample(m_pathId, fd);
    ::close(fd);
}
