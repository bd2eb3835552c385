// SPDX-License-Identifier: GPL-2.0-or-later
#include "testsupport.h"

#include <mavrid/config.h>

#include <qktest.h>

#include <QCoreApplication>

#include <gtest/gtest.h>

namespace {

// Timers of the adaptors need an application object.
class QtEnvironment : public ::testing::Environment
{
public:
    void SetUp() override { m_app = new QCoreApplication(m_argc, m_argv); }
    void TearDown() override { delete m_app; }

private:
    int m_argc = 1;
    char m_name[12] = "ostrel_unit";
    char *m_argv[2] = {m_name, nullptr};
    QCoreApplication *m_app = nullptr;
};

::testing::Environment *const qtEnvironment
    = ::testing::AddGlobalTestEnvironment(new QtEnvironment);

} // namespace

LogCapture::LogCapture(int level)
{
    m_buffer.open(QIODevice::WriteOnly);
    MavridLogger::init(&m_buffer, level);
}

LogCapture::~LogCapture()
{
    MavridLogger::close();
}

QStringList LogCapture::lines() const
{
    return QString::fromUtf8(m_buffer.data()).split(QLatin1Char('\n'), Qt::SkipEmptyParts);
}

void loadConfig(const std::string &path,
                const std::vector<std::pair<std::string, std::string>> &keys)
{
    std::string text;
    for (const auto &key : keys) {
        text += key.first + "=" + key.second + "\n";
    }
    qk::writeFile(path, text);
    ASSERT_TRUE(Config::configuration()->load(QString::fromStdString(path)));
}
