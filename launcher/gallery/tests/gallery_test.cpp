// SPDX-License-Identifier: GPL-2.0-or-later
// The gallery started directly, offscreen: its modes, its QML file lookup
// and its exit statuses, observed through the trace of the preloaded probe.
#include "qktest.h"

#include <gtest/gtest.h>

#include <QColor>
#include <QImage>
#include <QSet>

#include <string>
#include <sys/stat.h>
#include <vector>

namespace {

const char *const SystemQml = "/usr/share/vitrelcomponentgallery/componentgallery.qml";

std::string fixtureQml(const std::string &origin)
{
    return "import QtQuick 2.15\n"
           "Rectangle { width: 320; height: 240; color: \"teal\"; property string origin: \""
        + origin + "\" }\n";
}

std::vector<std::string> lines(const std::string &text)
{
    std::vector<std::string> out;
    size_t start = 0;
    while (start < text.size()) {
        const size_t end = text.find('\n', start);
        out.push_back(text.substr(start, end - start));
        if (end == std::string::npos) {
            break;
        }
        start = end + 1;
    }
    return out;
}

class Gallery : public ::testing::Test
{
protected:
    void SetUp() override
    {
        if (!qk::canUseMountNamespace()) {
            GTEST_SKIP() << "needs root and mount namespaces";
        }
        // A copy of the program with a QML file of its own beside it.
        m_program = m_dir.file("vitrelcomponentgallery");
        qk::writeFile(m_program, qk::readFile(GALLERY_PATH), 0755);
        m_runtime = m_dir.file("runtime");
        mkdir(m_runtime.c_str(), 0700);
    }

    // Runs the copy with systemQml (if any) at the device path and
    // besideQml (if any) beside it; the trace is left in trace().
    qk::RunResult run(const std::vector<std::string> &args, const std::string &systemQml,
                      const std::string &besideQml, std::map<std::string, std::string> env = {})
    {
        const std::string beside = m_dir.file("componentgallery.qml");
        (void)unlink(beside.c_str());
        if (!besideQml.empty()) {
            qk::writeFile(beside, besideQml);
        }
        std::vector<std::string> argv = {INPLACE_PATH};
        if (!systemQml.empty()) {
            const std::string system = m_dir.file("system.qml");
            qk::writeFile(system, systemQml);
            argv.insert(argv.end(), {"-b", system, SystemQml});
        }
        argv.insert(argv.end(), {"--", m_program});
        argv.insert(argv.end(), args.begin(), args.end());
        (void)unlink(m_dir.file("trace").c_str());
        qk::RunOptions o;
        o.env = env;
        o.env["XDG_RUNTIME_DIR"] = m_runtime;
        o.env["QT_QPA_PLATFORM"] = "offscreen";
        o.env["QT_QUICK_BACKEND"] = "software";
        // The sanitizer runtime would otherwise insist on coming first.
        o.env["ASAN_OPTIONS"] = "detect_leaks=0:verify_asan_link_order=0";
        o.env["LD_PRELOAD"] = LAUNCHPROBE_PATH;
        // The build tree's run paths are relative to the program, and the
        // copy sits elsewhere.
        o.env["LD_LIBRARY_PATH"] = CACHE_LIBRARY_DIR;
        o.env["LAUNCHPROBE_TRACE"] = m_dir.file("trace");
        o.env["LAUNCHPROBE_PROPERTIES"] = "_desktop,origin";
        if (!o.env.count("LAUNCHPROBE_EXIT_AFTER_FRAME")) {
            o.env["LAUNCHPROBE_EXIT_AFTER_FRAME"] = "4";
        }
        o.timeoutSeconds = 30;
        return qk::run(argv, o);
    }

    std::vector<std::string> trace()
    {
        struct stat st;
        if (stat(m_dir.file("trace").c_str(), &st) != 0) {
            return {};
        }
        std::vector<std::string> out;
        for (const std::string &l : lines(qk::readFile(m_dir.file("trace")))) {
            // The time stamp varies; the rest is what the tests compare.
            out.push_back(l.rfind("first-frame ", 0) == 0 ? "first-frame" : l);
        }
        return out;
    }

    qk::TempDir m_dir;
    std::string m_program;
    std::string m_runtime;
};

TEST_F(Gallery, ModesFollowTheExactOptions)
{
    const std::string device
        = "view at 0,0 size 800x600 fullscreen=1 resizeMode=0 opaquePaint=1 noSystemBackground=1";
    const std::string window
        = "view at 0,0 size 320x240 fullscreen=0 resizeMode=1 opaquePaint=0 noSystemBackground=0";
    const std::string second
        = "view at 100,100 size 320x240 fullscreen=0 resizeMode=1 opaquePaint=0 noSystemBackground=0";
    struct Case
    {
        std::vector<std::string> args;
        std::string view;
        bool desktop;
    };
    const Case cases[] = {
        {{}, device, false},
        {{"-desktop"}, window, true},
        {{"a", "-desktop", "b"}, window, true}, // anywhere on the line
        {{"-openInSecondScreen", "-desktop"},
         second,
         true}, // the one screen there is counts as empty
        {{"-openInSecondScreen"}, device, false}, // no effect without -desktop
        {{"-Desktop"}, device, false}, // case-sensitive
        {{"--desktop"}, device, false}, // whole elements only
        {{"-desktopx"}, device, false},
        {{"-desktop", "-openinsecondscreen"}, window, true},
        {{"-desktop", "-openInSecondScreenX"}, window, true},
    };
    for (const Case &c : cases) {
        std::string name;
        for (const std::string &a : c.args) {
            name += a + " ";
        }
        const qk::RunResult r = run(c.args, fixtureQml("system"), fixtureQml("beside"));
        EXPECT_EQ(r.status, 4) << name << "the event loop's result is the status\n" << r.err;
        EXPECT_EQ(r.err, "") << name;
        const std::vector<std::string> expected = {
            "application new",
            "view new",
            "first-frame",
            c.view,
            c.desktop ? "property _desktop=true" : "property _desktop=(none)",
            c.desktop ? "property origin=beside" : "property origin=system",
        };
        EXPECT_EQ(trace(), expected) << name;
    }
}

TEST_F(Gallery, DesktopDirectoryMayHoldUrlCharacters)
{
    // A development checkout may sit anywhere: '#' or '?' in a plain path
    // must not be read as the start of a URL fragment or query.
    const std::string dir = m_dir.file("work #2?");
    ASSERT_EQ(mkdir(dir.c_str(), 0755), 0);
    m_program = dir + "/vitrelcomponentgallery";
    qk::writeFile(m_program, qk::readFile(GALLERY_PATH), 0755);
    qk::writeFile(dir + "/componentgallery.qml", fixtureQml("odd directory"));
    const qk::RunResult r = run({"-desktop"}, fixtureQml("system"), "");
    EXPECT_EQ(r.status, 4) << r.err;
    const std::vector<std::string> t = trace();
    ASSERT_EQ(t.size(), 6u) << r.err;
    EXPECT_EQ(t[5], "property origin=odd directory");
}

TEST_F(Gallery, UnreadableMainFileEndsWithStatusOneWithoutEventLoop)
{
    struct Case
    {
        const char *name;
        std::vector<std::string> args;
        std::string system;
        std::string beside;
    };
    const std::string broken = "import QtQuick 2.15\nRectangle { width: }\n";
    const Case cases[] = {
        {"device, no file", {}, "", fixtureQml("beside")},
        {"device, broken file", {}, broken, fixtureQml("beside")},
        {"desktop, no file beside", {"-desktop"}, fixtureQml("system"), ""},
        {"desktop, broken file beside",
         {"-desktop", "-openInSecondScreen"},
         fixtureQml("system"),
         broken},
    };
    for (const Case &c : cases) {
        // Nothing would end an event loop: no exit after a frame.
        const qk::RunResult r
            = run(c.args, c.system, c.beside, {{"LAUNCHPROBE_EXIT_AFTER_FRAME", ""}});
        EXPECT_EQ(r.status, 1) << c.name;
        EXPECT_FALSE(r.signaled) << c.name;
        const std::vector<std::string> err = lines(r.err);
        ASSERT_FALSE(err.empty()) << c.name;
        EXPECT_EQ(err.back(), "Unable to read main qml file") << c.name;
        const std::vector<std::string> expected = {"application new", "view new"};
        EXPECT_EQ(trace(), expected) << c.name << ": never shown";
    }
}

TEST_F(Gallery, ScreenshotShowsTheComponents)
{
    const std::string png = m_dir.file("gallery.png");
    const qk::RunResult r = run({},
                                qk::readFile(GALLERY_QML),
                                "",
                                {{"LAUNCHPROBE_GRAB", png}, {"LAUNCHPROBE_EXIT_AFTER_FRAME", "0"}});
    ASSERT_EQ(r.status, 0) << r.err;
    EXPECT_EQ(r.err, "") << "the gallery's QML loads without warnings";
    const std::vector<std::string> t = trace();
    ASSERT_EQ(t.size(), 7u);
    EXPECT_EQ(t[6], "grabbed " + png + " 800x600");

    QImage image;
    ASSERT_TRUE(image.load(QString::fromStdString(png), "PNG"));
    EXPECT_EQ(image.size(), QSize(800, 600));
    // Text, outlines and filled controls: many colours, and the dark fill of
    // the highlighted button and the checked switch.
    QSet<QRgb> colours;
    int dark = 0;
    for (int y = 0; y < image.height(); y += 2) {
        for (int x = 0; x < image.width(); x += 2) {
            const QColor c = image.pixelColor(x, y);
            colours.insert(c.rgb());
            if (c.lightness() < 80) {
                ++dark;
            }
        }
    }
    EXPECT_GT(colours.size(), 50);
    EXPECT_GT(dark, 1000);
}

} // namespace
