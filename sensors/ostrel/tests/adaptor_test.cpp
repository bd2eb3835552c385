// SPDX-License-Identifier: GPL-2.0-or-later
#include "ostrel.h"

#include "testsupport.h"

#include <mavrid/config.h>
#include <mavrid/utils.h>

#include <qktest.h>

#include <gtest/gtest.h>

#include <fcntl.h>
#include <memory>
#include <sys/stat.h>
#include <unistd.h>

namespace {

const QString readFailed = QStringLiteral(
    "[W] ostrel:116 virtual void SteAccelAdaptor::processSample(int, int): Read failed");

// A temporary directory standing in for the chip's sysfs files.
class SteAccelAdaptorTest : public ::testing::Test
{
protected:
    void TearDown() override { Config::configuration()->clear(); }

    // The usual keys: all three files present, range mode "2".
    void configureChip()
    {
        qk::writeFile(dir.file("range"), "old");
        qk::writeFile(dir.file("mode"), "old");
        qk::writeFile(dir.file("data"), "0:0:0");
        loadConfig(dir.file("mavrid.conf"),
                   {{"accelerometer/range_path", dir.file("range")},
                    {"accelerometer/range_mode", "2"},
                    {"accelerometer/mode_path", dir.file("mode")},
                    {"accelerometeradaptor/data_path", dir.file("data")}});
    }

    // Makes the adaptor and joins a reader to its buffer.
    void create()
    {
        adaptor.reset(new SteAccelAdaptor(QStringLiteral("accelerometeradaptor")));
        buffer = dynamic_cast<RingBuffer<TimedXyzData> *>(
            adaptor->findBuffer(QStringLiteral("accelerometer")));
        ASSERT_NE(buffer, nullptr);
        ASSERT_TRUE(buffer->joinTypeChecked(&reader));
    }

    // Runs one sample over a data file holding text.
    void sampleText(const std::string &text)
    {
        qk::writeFile(dir.file("data"), text);
        const int fd = open(dir.file("data").c_str(), O_RDONLY);
        ASSERT_GE(fd, 0);
        adaptor->processSample(0, fd);
        close(fd);
    }

    TimedXyzData lastSample()
    {
        TimedXyzData out[128];
        const unsigned int n = reader.read(128, out);
        EXPECT_GT(n, 0u);
        return n > 0 ? out[n - 1] : TimedXyzData {};
    }

    void unjoinReader()
    {
        if (buffer) {
            buffer->unjoinTypeChecked(&reader);
        }
    }

    qk::TempDir dir;
    std::unique_ptr<SteAccelAdaptor> adaptor;
    RingBuffer<TimedXyzData> *buffer = nullptr;
    CountingReader<TimedXyzData> reader;
};

struct SampleCase
{
    const char *text;
    qint32 x, y, z;
};

TEST_F(SteAccelAdaptorTest, ScalesEachRawValueAndTruncatesTowardZero)
{
    const SampleCase cases[] = {
        {"1000:-1000:0:12345", 981, -981, 0},
        {"1:2:3", 0, 1, 2},
        {"102:1020:-1020", 100, 1000, -1000},
        {"-1:-2:-3", 0, -1, -2},
        {"1000:-1000:0\n", 981, -981, 0}, // sysfs ends its text with a newline
        {" 5 :+10:\t-20\n", 4, 9, -19},
        {"2147483647:-2147483648:0", 2107296782, -2107296783, 0},
    };
    create();
    for (const SampleCase &c : cases) {
        SCOPED_TRACE(c.text);
        const quint64 before = Utils::getTimeStamp();
        sampleText(c.text);
        const quint64 after = Utils::getTimeStamp();
        const TimedXyzData s = lastSample();
        EXPECT_EQ(s.x, c.x);
        EXPECT_EQ(s.y, c.y);
        EXPECT_EQ(s.z, c.z);
        EXPECT_GE(s.timestamp, before);
        EXPECT_LE(s.timestamp, after);
    }
}

TEST_F(SteAccelAdaptorTest, MalformedTextStoresZeroFields)
{
    const SampleCase cases[] = {
        {"", 0, 0, 0}, // an empty read is a sample too
        {"abcdef", 0, 0, 0},
        {"x:y:z", 0, 0, 0},
        {"::", 0, 0, 0},
        {"1000:2000", 981, 1962, 0}, // z missing
        {"12abc:3:4", 0, 2, 3},
        {"99999999999:1000:1000", 0, 981, 981}, // beyond 32 bits
        {"1 0:1000:0x10", 0, 981, 0},
    };
    create();
    for (const SampleCase &c : cases) {
        SCOPED_TRACE(c.text);
        const unsigned int count = buffer->writeCount;
        sampleText(c.text);
        EXPECT_EQ(buffer->writeCount, count + 1);
        const TimedXyzData s = lastSample();
        EXPECT_EQ(s.x, c.x);
        EXPECT_EQ(s.y, c.y);
        EXPECT_EQ(s.z, c.z);
    }
}

TEST_F(SteAccelAdaptorTest, ReadsOnlyTheFirst32Bytes)
{
    create();
    // The second ":" is byte 32; the third field starts beyond what is read.
    const std::string text = "1000:" + std::string(22, ' ') + "1000" + ":" + "1000";
    ASSERT_EQ(text.find(':', 5), 31u);
    sampleText(text);
    const TimedXyzData s = lastSample();
    EXPECT_EQ(s.x, 981);
    EXPECT_EQ(s.y, 981);
    EXPECT_EQ(s.z, 0);
}

TEST_F(SteAccelAdaptorTest, RereadsFromTheStartOfAKeptDescriptor)
{
    create();
    qk::writeFile(dir.file("data"), "1000:1000:1000:padding");
    const int fd = open(dir.file("data").c_str(), O_RDONLY);
    ASSERT_GE(fd, 0);
    adaptor->processSample(0, fd);
    EXPECT_EQ(lastSample().x, 981);
    qk::writeFile(dir.file("data"), "5:6:7");
    adaptor->processSample(0, fd);
    const TimedXyzData s = lastSample();
    close(fd);
    EXPECT_EQ(s.x, 4);
    EXPECT_EQ(s.y, 5);
    EXPECT_EQ(s.z, 6);
}

TEST_F(SteAccelAdaptorTest, The129thSampleReplacesTheFirst)
{
    create();
    sampleText("1000:0:0");
    for (int i = 0; i < 127; ++i) {
        sampleText("0:0:0");
    }
    EXPECT_EQ(buffer->storage[0].x, 981);
    sampleText("-1000:0:0");
    EXPECT_EQ(buffer->writeCount, 129u);
    EXPECT_EQ(buffer->storage[0].x, -981);
}

TEST_F(SteAccelAdaptorTest, FailedReadStopsTheSensor)
{
    struct Case
    {
        const char *name;
        int (*open)(const std::string &dir);
    };
    const Case cases[] = {
        {"directory",
         [](const std::string &d) { return ::open(d.c_str(), O_RDONLY | O_DIRECTORY); }},
        {"write-only descriptor",
         [](const std::string &d) { return ::open((d + "/data").c_str(), O_WRONLY); }},
    };
    for (const Case &c : cases) {
        SCOPED_TRACE(c.name);
        configureChip();
        create();
        LogCapture log;
        ASSERT_TRUE(adaptor->startSensor());
        ASSERT_TRUE(adaptor->isRunning());
        ASSERT_EQ(qk::readFile(dir.file("mode")), "2");

        const int fd = c.open(dir.path());
        ASSERT_GE(fd, 0);
        adaptor->processSample(0, fd);
        close(fd);

        EXPECT_FALSE(adaptor->isRunning());
        EXPECT_EQ(qk::readFile(dir.file("mode")), "0");
        EXPECT_EQ(buffer->writeCount, 0u);
        EXPECT_EQ(reader.wakeups, 0);
        EXPECT_EQ(log.lines(), QStringList({readFailed}));
        unjoinReader();
    }
}

TEST_F(SteAccelAdaptorTest, EmptyReadKeepsTheSensorRunning)
{
    configureChip();
    create();
    ASSERT_TRUE(adaptor->startSensor());
    sampleText("");
    EXPECT_TRUE(adaptor->isRunning());
    EXPECT_EQ(qk::readFile(dir.file("mode")), "2");
    EXPECT_EQ(buffer->writeCount, 1u);
    adaptor->stopSensor();
}

TEST_F(SteAccelAdaptorTest, SetsUpTheChipFromTheConfiguration)
{
    configureChip();
    create();
    EXPECT_EQ(qk::readFile(dir.file("range")), "2");
    EXPECT_EQ(qk::readFile(dir.file("mode")), "old"); // untouched until a start
    for (int round = 0; round < 2; ++round) {
        SCOPED_TRACE(round);
        EXPECT_TRUE(adaptor->startSensor());
        EXPECT_EQ(qk::readFile(dir.file("mode")), "2");
        EXPECT_TRUE(adaptor->stopSensor());
        EXPECT_EQ(qk::readFile(dir.file("mode")), "0");
    }
}

TEST_F(SteAccelAdaptorTest, AbsentRangeModeWritesEmptyContent)
{
    qk::writeFile(dir.file("range"), "old");
    loadConfig(dir.file("mavrid.conf"), {{"accelerometer/range_path", dir.file("range")}});
    create();
    EXPECT_EQ(qk::readFile(dir.file("range")), "");
}

TEST_F(SteAccelAdaptorTest, AbsentModePathLeavesStartAndStopToTheSysfsPart)
{
    qk::writeFile(dir.file("mode"), "old");
    qk::writeFile(dir.file("data"), "0:0:0");
    loadConfig(
        dir.file("mavrid.conf"),
        {{"accelerometer/range_mode", "2"}, {"accelerometeradaptor/data_path", dir.file("data")}});
    create();
    EXPECT_TRUE(adaptor->startSensor());
    EXPECT_TRUE(adaptor->isRunning());
    EXPECT_TRUE(adaptor->stopSensor());
    EXPECT_FALSE(adaptor->isRunning());
    EXPECT_EQ(qk::readFile(dir.file("mode")), "old");
}

TEST_F(SteAccelAdaptorTest, MissingChipFilesDoNotStopConstructionOrStart)
{
    qk::writeFile(dir.file("data"), "0:0:0");
    loadConfig(dir.file("mavrid.conf"),
               {{"accelerometer/range_path", dir.file("no-range")},
                {"accelerometer/range_mode", "2"},
                {"accelerometer/mode_path", dir.file("no-mode")},
                {"accelerometeradaptor/data_path", dir.file("data")}});
    create();
    EXPECT_TRUE(adaptor->startSensor());
    EXPECT_TRUE(adaptor->stopSensor());
    struct stat st;
    EXPECT_NE(stat(dir.file("no-range").c_str(), &st), 0);
    EXPECT_NE(stat(dir.file("no-mode").c_str(), &st), 0);
}

TEST_F(SteAccelAdaptorTest, WithoutConfigurationTheSensorDoesNotStart)
{
    create();
    // No data file is known to the sysfs part; the mode file is not named.
    EXPECT_FALSE(adaptor->startSensor());
    EXPECT_FALSE(adaptor->isRunning());
    EXPECT_TRUE(adaptor->stopSensor());
}

TEST_F(SteAccelAdaptorTest, PublishesItsSensorAndIntervals)
{
    create();
    EXPECT_EQ(adaptor->id(), QStringLiteral("accelerometeradaptor"));
    EXPECT_EQ(adaptor->description(), QStringLiteral("ste accelerometer"));
    EXPECT_EQ(adaptor->adaptedSensors(), QStringList({QStringLiteral("accelerometer")}));
    EXPECT_EQ(adaptor->adaptedSensorDescription(QStringLiteral("accelerometer")),
              QStringLiteral("ste accelerometer"));
    EXPECT_EQ(buffer->capacity, 128u);
    ASSERT_EQ(adaptor->availableIntervals().size(), 1);
    EXPECT_EQ(adaptor->availableIntervals().first(), DataRange(50, 1000, 0));
    EXPECT_EQ(adaptor->bufferSize(), 0u);
    EXPECT_EQ(adaptor->bufferInterval(), 0u);
    EXPECT_FALSE(adaptor->setInterval(49, 0));
    EXPECT_TRUE(adaptor->setInterval(1000, 0));
    EXPECT_EQ(adaptor->interval(), 1000u);
}

TEST_F(SteAccelAdaptorTest, RefusesStandbyOverride)
{
    create();
    for (bool enabled : {true, false}) {
        EXPECT_FALSE(adaptor->setStandbyOverride(enabled));
        EXPECT_FALSE(adaptor->standbyOverride());
    }
}

TEST_F(SteAccelAdaptorTest, MetaObjectAnswersItsOwnNameAndPassesOthersOn)
{
    create();
    const QMetaObject *meta = adaptor->metaObject();
    EXPECT_STREQ(meta->className(), "SteAccelAdaptor");
    EXPECT_EQ(meta->superClass(), &DeviceAdaptor::staticMetaObject);
    EXPECT_EQ(meta->methodCount(), DeviceAdaptor::staticMetaObject.methodCount());
    EXPECT_EQ(meta->propertyCount(), DeviceAdaptor::staticMetaObject.propertyCount());
    EXPECT_EQ(meta->classInfoCount(), DeviceAdaptor::staticMetaObject.classInfoCount());

    EXPECT_EQ(adaptor->qt_metacast("SteAccelAdaptor"), static_cast<void *>(adaptor.get()));
    EXPECT_EQ(adaptor->qt_metacast(nullptr), nullptr);
    EXPECT_NE(adaptor->qt_metacast("DeviceAdaptor"), nullptr);
    EXPECT_NE(adaptor->qt_metacast("NodeBase"), nullptr);
    EXPECT_EQ(adaptor->qt_metacast("SysfsAdaptor"), nullptr); // no meta-object of its own
    EXPECT_EQ(adaptor->qt_metacast("OtherAdaptor"), nullptr);
}

TEST_F(SteAccelAdaptorTest, FactoryMakesAnAdaptorForTheId)
{
    std::unique_ptr<DeviceAdaptor> made(SteAccelAdaptor::factoryMethod(QStringLiteral("other")));
    ASSERT_NE(made, nullptr);
    EXPECT_STREQ(made->metaObject()->className(), "SteAccelAdaptor");
    EXPECT_EQ(made->id(), QStringLiteral("other"));
    EXPECT_NE(made->findBuffer(QStringLiteral("accelerometer")), nullptr);
}

} // namespace
