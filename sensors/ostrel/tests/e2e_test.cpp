// SPDX-License-Identifier: GPL-2.0-or-later
// The built plug-in as the host program loads it from its folder.
#include <qktest.h>

#include <gtest/gtest.h>

#include <set>
#include <sstream>
#include <string>
#include <vector>

namespace {

struct Sample
{
    unsigned long long timestamp;
    long x, y, z;
};

std::vector<Sample> parseSamples(const std::string &out)
{
    std::vector<Sample> samples;
    std::istringstream lines(out);
    std::string line;
    while (std::getline(lines, line)) {
        std::istringstream fields(line);
        Sample s {};
        std::string rest;
        fields >> s.timestamp >> s.x >> s.y >> s.z;
        EXPECT_TRUE(fields && !(fields >> rest)) << "not a sample line: " << line;
        samples.push_back(s);
    }
    return samples;
}

class HostRun : public ::testing::Test
{
protected:
    void SetUp() override
    {
        qk::writeFile(dir.file("range"), "");
        qk::writeFile(dir.file("mode"), "");
        qk::writeFile(dir.file("mavrid.conf"),
                      "[accelerometer]\n"
                      "range_path = "
                          + dir.file("range")
                          + "\n"
                            "range_mode = 4\n"
                            "mode_path = "
                          + dir.file("mode")
                          + "\n"
                            "\n"
                            "[accelerometeradaptor]\n"
                            "data_path = "
                          + dir.file("data") + "\n");
    }

    qk::RunResult runHost(const std::vector<std::string> &extra = {})
    {
        std::vector<std::string> argv = {MAVRID_PATH,
                                         "--config",
                                         dir.file("mavrid.conf"),
                                         "--plugin-dir",
                                         OSTREL_PLUGIN_DIR,
                                         "--interval",
                                         "50"};
        argv.insert(argv.end(), extra.begin(), extra.end());
        return qk::run(argv);
    }

    qk::TempDir dir;
};

TEST_F(HostRun, DrainsTheScaledSamplesOfTheDataFile)
{
    struct Case
    {
        const char *data;
        long x, y, z;
    };
    const Case cases[] = {
        {"1000:-1000:0:12345\n", 981, -981, 0},
        {"102:1020:-1020\n", 100, 1000, -1000},
        {"garbage", 0, 0, 0},
    };
    for (const Case &c : cases) {
        SCOPED_TRACE(c.data);
        qk::writeFile(dir.file("data"), c.data);
        const qk::RunResult r = runHost({"--samples", "3"});
        EXPECT_EQ(r.status, 0);
        EXPECT_EQ(r.err, "");
        const std::vector<Sample> samples = parseSamples(r.out);
        ASSERT_EQ(samples.size(), 3u) << r.out;
        for (size_t i = 0; i < samples.size(); ++i) {
            EXPECT_EQ(samples[i].x, c.x);
            EXPECT_EQ(samples[i].y, c.y);
            EXPECT_EQ(samples[i].z, c.z);
            if (i > 0) {
                // Timers catch up after a delay, so only the order is sure.
                EXPECT_GT(samples[i].timestamp, samples[i - 1].timestamp);
            }
        }
        EXPECT_EQ(qk::readFile(dir.file("range")), "4");
        EXPECT_EQ(qk::readFile(dir.file("mode")), "0"); // stopped at the end
    }
}

TEST_F(HostRun, LogsRegistrationAndJoinAtLevelOne)
{
    qk::writeFile(dir.file("data"), "0:0:0");
    const qk::RunResult r = runHost({"--samples", "1", "--log-level", "1"});
    EXPECT_EQ(r.status, 0);
    EXPECT_NE(
        r.err.find(
            "[I] ostrelplugin:8 virtual void OstrelPlugin::Register(Loader&): registering ostrel\n"),
        std::string::npos)
        << r.err;
    EXPECT_NE(
        r.err.find(
            "[D] ../../core/ringbuffer:245 bool RingBuffer<TYPE>::joinTypeChecked(RingBufferReaderBase*) "
            "[with TYPE = TimedXyzData]: joining reader to ringbuffer.\n"),
        std::string::npos)
        << r.err;
    EXPECT_EQ(parseSamples(r.out).size(), 1u);
}

TEST_F(HostRun, FailedReadStopsTheSensorAndTheRun)
{
    // A directory opens but cannot be read.
    qk::writeFile(dir.file("mavrid.conf"),
                  "accelerometer/mode_path=" + dir.file("mode")
                      + "\n"
                        "accelerometer/range_mode=4\n"
                        "accelerometeradaptor/data_path="
                      + dir.path() + "\n");
    const qk::RunResult r = runHost({"--samples", "3"});
    EXPECT_EQ(r.status, 1);
    EXPECT_EQ(r.out, "");
    EXPECT_EQ(r.err,
              "[W] ostrel:116 virtual void SteAccelAdaptor::processSample(int, int): Read failed\n"
              "mavrid: sensor accelerometer stopped\n");
    EXPECT_EQ(qk::readFile(dir.file("mode")), "0");
}

TEST_F(HostRun, FailsWithoutThePlugin)
{
    qk::writeFile(dir.file("data"), "0:0:0");
    const qk::RunResult r
        = qk::run({MAVRID_PATH, "--config", dir.file("mavrid.conf"), "--plugin-dir", dir.path()});
    EXPECT_EQ(r.status, 1);
    EXPECT_EQ(r.out, "");
    EXPECT_NE(r.err.find("mavrid: "), std::string::npos);
    EXPECT_NE(r.err.find("libostrel.so"), std::string::npos) << r.err;
}

TEST(OstrelPluginFile, ExportsExactlyThePluginEntryPoints)
{
    const qk::RunResult r = qk::run({"nm", "-D", "--defined-only", OSTREL_PLUGIN_PATH});
    ASSERT_EQ(r.status, 0) << r.err;
    std::set<std::string> names;
    std::istringstream lines(r.out);
    std::string line;
    while (std::getline(lines, line)) {
        names.insert(line.substr(line.rfind(' ') + 1));
    }
    EXPECT_EQ(names,
              (std::set<std::string> {"qt_plugin_instance", "qt_plugin_query_verification_data"}));
}

TEST(OstrelPluginFile, SearchesLibrariesInTheDaemonDirectory)
{
    const qk::RunResult r = qk::run({"readelf", "-d", OSTREL_PLUGIN_PATH});
    ASSERT_EQ(r.status, 0) << r.err;
    std::vector<std::string> paths;
    std::istringstream lines(r.out);
    std::string line;
    while (std::getline(lines, line)) {
        if (line.find("(RUNPATH)") != std::string::npos
            || line.find("(RPATH)") != std::string::npos) {
            const size_t open = line.find('[');
            paths.push_back(line.substr(open + 1, line.rfind(']') - open - 1));
        }
    }
    EXPECT_EQ(paths, std::vector<std::string> {"/usr/lib/mavrid/"});
}

} // namespace
