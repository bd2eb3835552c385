// SPDX-License-Identifier: GPL-2.0-or-later
// End to end: ferrund starts the launcher library, which loads the QML
// booster and warms it up; the invoker then has the gallery started in the
// warmed process and gets its exit status back. The probe preloaded into the
// daemon tells from inside the gallery's process which objects it took.
#include "qktest.h"

#include <gtest/gtest.h>

#include <QImage>

#include <string>
#include <sys/stat.h>
#include <vector>

namespace {

std::vector<std::string> lines(const std::string &text)
{
    std::vector<std::string> out;
    size_t start = 0;
    while (start < text.size()) {
        const size_t end = text.find('\n', start);
        std::string l = text.substr(start, end - start);
        out.push_back(l.rfind("first-frame ", 0) == 0 ? "first-frame" : l);
        if (end == std::string::npos) {
            break;
        }
        start = end + 1;
    }
    return out;
}

size_t count(const std::string &text, const std::string &what)
{
    size_t n = 0;
    for (size_t at = text.find(what); at != std::string::npos; at = text.find(what, at + 1)) {
        ++n;
    }
    return n;
}

TEST(BoostedLaunch, GalleryReusesTheWarmedObjectsAndReportsItsStatus)
{
    if (!qk::canUseMountNamespace()) {
        GTEST_SKIP() << "needs root and mount namespaces";
    }
    qk::TempDir dir;
    const std::string runtime = dir.file("runtime");
    mkdir(runtime.c_str(), 0700);
    qk::RunOptions o;
    o.env["QT_QPA_PLATFORM"] = "offscreen";
    o.env["QT_QUICK_BACKEND"] = "software";
    o.env["XDG_RUNTIME_DIR"] = runtime;
    // The sanitizer runtime would otherwise insist on coming first.
    o.env["ASAN_OPTIONS"] = "detect_leaks=0:verify_asan_link_order=0";
    o.timeoutSeconds = 120;
    const qk::RunResult r = qk::run({INPLACE_PATH,
                                     "-b",
                                     FERRUND_LIBRARY,
                                     "/usr/lib/libferrund.so.0",
                                     "-b",
                                     PRELOAD_QML,
                                     "/usr/share/yombabooster/preload.qml",
                                     "-b",
                                     GALLERY_QML,
                                     "/usr/share/vitrelcomponentgallery/componentgallery.qml",
                                     "--",
                                     "bash",
                                     BOOSTED_LAUNCH_SH,
                                     FERRUND_PATH,
                                     INVOKER_PATH,
                                     YOMBABOOSTER_PATH,
                                     GALLERY_PATH,
                                     LAUNCHPROBE_PATH,
                                     dir.path()},
                                    o);
    const std::string log = qk::readFile(dir.file("daemon.log"));
    ASSERT_EQ(r.status, 0) << r.out << r.err << log;
    EXPECT_EQ(r.out, "first=5\nsecond=1\ndaemon=0\nsocket=removed\n") << log;

    // Both launches took the application object and the view that the
    // warm-up had made.
    const std::vector<std::string> first = {
        "application reused",
        "view reused",
        "first-frame",
        "view at 0,0 size 800x600 fullscreen=1 resizeMode=0 opaquePaint=1 noSystemBackground=1",
        "property _desktop=false",
        "grabbed " + dir.file("boosted.png") + " 800x600",
    };
    EXPECT_EQ(lines(qk::readFile(dir.file("trace1"))), first);
    const std::vector<std::string> second = {"application reused", "view reused"};
    EXPECT_EQ(lines(qk::readFile(dir.file("trace2"))), second);

    EXPECT_EQ(count(log, "booster y ready"), 3u) << log;
    EXPECT_EQ(count(log, "launched an application"), 2u) << log;
    EXPECT_EQ(count(log, "Unable to read main qml file\n"), 1u) << log;
    EXPECT_EQ(count(log, "YombaBooster:"), 0u) << "the preload file loads cleanly\n" << log;

    QImage image;
    ASSERT_TRUE(image.load(QString::fromStdString(dir.file("boosted.png")), "PNG"));
    EXPECT_EQ(image.size(), QSize(800, 600));
}

} // namespace
