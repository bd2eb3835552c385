// SPDX-License-Identifier: GPL-2.0-or-later
#include <mavrid/sysfsadaptor.h>

#include <mavrid/config.h>

#include <qktest.h>

#include <QCoreApplication>
#include <QElapsedTimer>

#include <gtest/gtest.h>

#include <set>
#include <sys/stat.h>
#include <unistd.h>

namespace {

// Counts the samples it is asked for and what it read each time.
class RecordingAdaptor : public SysfsAdaptor
{
public:
    RecordingAdaptor(PollMode mode, bool keepOpen, const QString &path)
        : SysfsAdaptor(QStringLiteral("recording"), mode, keepOpen, path, 7)
    { }

    bool startSensor() override { return SysfsAdaptor::startSensor(); }
    bool stopSensor() override { return SysfsAdaptor::stopSensor(); }

    void processSample(int pathId, int fd) override
    {
        pathIds.insert(pathId);
        char c = 0;
        reads.push_back(pread(fd, &c, 1, 0) == 1 ? c : '?');
        if (reads.size() == stopAfter) {
            QCoreApplication::exit(0);
        }
    }

    std::set<int> pathIds;
    std::string reads;
    size_t stopAfter = 3;
};

int argc = 1;
char name[] = "mavrid_host";
char *argv[] = {name, nullptr};

class SysfsAdaptorTest : public ::testing::Test
{
protected:
    void TearDown() override { Config::configuration()->clear(); }

    // Runs the event loop until the adaptor has taken its samples or a
    // generous time has passed.
    void runUntilSampled(RecordingAdaptor &adaptor)
    {
        QTimer guard;
        guard.setSingleShot(true);
        QObject::connect(&guard, &QTimer::timeout, [] { QCoreApplication::exit(1); });
        guard.start(10000);
        EXPECT_EQ(app.exec(), 0) << "took " << adaptor.reads.size() << " samples";
    }

    QCoreApplication app {argc, argv};
    qk::TempDir dir;
};

TEST_F(SysfsAdaptorTest, SamplesTheDataFileWhileRunning)
{
    for (bool keepOpen : {true, false}) {
        SCOPED_TRACE(keepOpen ? "kept open" : "opened each time");
        qk::writeFile(dir.file("data"), "a");
        RecordingAdaptor adaptor(
            SysfsAdaptor::IntervalMode, keepOpen, QString::fromStdString(dir.file("data")));
        ASSERT_TRUE(adaptor.setInterval(5, 0));
        ASSERT_TRUE(adaptor.startSensor());
        adaptor.stopAfter = 2;
        runUntilSampled(adaptor);
        // The next samples see what the file holds now.
        qk::writeFile(dir.file("data"), "b");
        adaptor.stopAfter = 4;
        runUntilSampled(adaptor);
        EXPECT_TRUE(adaptor.stopSensor());
        EXPECT_FALSE(adaptor.isRunning());
        EXPECT_EQ(adaptor.reads, "aabb");
        EXPECT_EQ(adaptor.pathIds, std::set<int> {7});
    }
}

TEST_F(SysfsAdaptorTest, EmptyPathNamesTheDataFileByConfiguration)
{
    qk::writeFile(dir.file("data"), "c");
    qk::writeFile(dir.file("c.conf"), "[recording]\ndata_path=" + dir.file("data") + "\n");
    ASSERT_TRUE(Config::configuration()->load(QString::fromStdString(dir.file("c.conf"))));
    RecordingAdaptor adaptor(SysfsAdaptor::IntervalMode, true, QString());
    EXPECT_EQ(adaptor.dataPath(), QString::fromStdString(dir.file("data")));
    ASSERT_TRUE(adaptor.setInterval(5, 0));
    ASSERT_TRUE(adaptor.startSensor());
    adaptor.stopAfter = 1;
    runUntilSampled(adaptor);
    EXPECT_EQ(adaptor.reads, "c");
}

TEST_F(SysfsAdaptorTest, DoesNotStartWithoutAReadableDataFileOrInSelectMode)
{
    qk::writeFile(dir.file("data"), "d");
    struct Case
    {
        const char *name;
        SysfsAdaptor::PollMode mode;
        std::string path;
    };
    const Case cases[] = {
        {"select mode", SysfsAdaptor::SelectMode, dir.file("data")},
        {"no data file", SysfsAdaptor::IntervalMode, ""},
        {"missing data file", SysfsAdaptor::IntervalMode, dir.file("missing")},
    };
    for (const Case &c : cases) {
        SCOPED_TRACE(c.name);
        RecordingAdaptor adaptor(c.mode, true, QString::fromStdString(c.path));
        EXPECT_FALSE(adaptor.startSensor());
        EXPECT_FALSE(adaptor.isRunning());
    }
}

TEST_F(SysfsAdaptorTest, IntervalDefaultsToTheShortestAvailable)
{
    RecordingAdaptor adaptor(SysfsAdaptor::IntervalMode, true, QString());
    EXPECT_EQ(adaptor.interval(), 100u);
    adaptor.introduceAvailableInterval(DataRange(50, 1000, 0));
    EXPECT_EQ(adaptor.interval(), 50u);
    EXPECT_FALSE(adaptor.setInterval(20, 1));
    EXPECT_TRUE(adaptor.setInterval(200, 1));
    EXPECT_TRUE(adaptor.setInterval(80, 2));
    EXPECT_EQ(adaptor.interval(), 80u);
    adaptor.removeSession(2);
    EXPECT_EQ(adaptor.interval(), 200u);
}

TEST_F(SysfsAdaptorTest, WriteToFileReplacesAnExistingFileOnly)
{
    qk::writeFile(dir.file("mode"), "longer old text");
    EXPECT_TRUE(SysfsAdaptor::writeToFile(QByteArray(dir.file("mode").c_str()), "4"));
    EXPECT_EQ(qk::readFile(dir.file("mode")), "4");
    EXPECT_TRUE(SysfsAdaptor::writeToFile(QByteArray(dir.file("mode").c_str()), QByteArray()));
    EXPECT_EQ(qk::readFile(dir.file("mode")), "");

    EXPECT_FALSE(SysfsAdaptor::writeToFile(QByteArray(dir.file("missing").c_str()), "4"));
    struct stat st;
    EXPECT_NE(stat(dir.file("missing").c_str(), &st), 0);
}

} // namespace
