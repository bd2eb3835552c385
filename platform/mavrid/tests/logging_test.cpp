// SPDX-License-Identifier: GPL-2.0-or-later
#include <mavrid/logging.h>

#include <QBuffer>

#include <gtest/gtest.h>

namespace {

TEST(MavridLogger, WritesOneLinePerRecordWithItsOrigin)
{
    QBuffer out;
    out.open(QIODevice::WriteOnly);
    MavridLogger::init(&out, MavridLogDebug);
    MavridLogger("void f(int)", "../../core/x", 12, MavridLogWarning)
        << "text " << 42 << " " << QStringLiteral("and") << QByteArray(" more");
    MavridLogger::close();
    EXPECT_EQ(out.data(), "[W] ../../core/x:12 void f(int): text 42 and more\n");
}

TEST(MavridLogger, WritesOnlyWhatTheRulesLetThrough)
{
    struct Case
    {
        bool init;
        bool output;
        int level;
        int outputLevel;
        bool written;
    };
    const Case cases[] = {
        {true, true, 1, 1, true},
        {true, true, 4, 1, true},
        {true, true, 3, 3, true},
        {true, true, 2, 3, false}, // below the output level
        {true, true, 0, 0, false}, // test records are never written
        {true, true, 5, 1, false}, // beyond the known levels
        {false, true, 3, 1, false},
        {true, false, 3, 1, false},
    };
    for (const Case &c : cases) {
        SCOPED_TRACE(::testing::Message()
                     << "level " << c.level << " output level " << c.outputLevel
                     << (c.init ? "" : " uninitialized") << (c.output ? "" : " no output"));
        QBuffer out;
        out.open(QIODevice::WriteOnly);
        MavridLogger::init(c.output ? &out : nullptr, c.outputLevel);
        MavridLogger::initialized = c.init;
        MavridLogger("f", "src", 1, MavridLogLevel(c.level)) << "x";
        MavridLogger::close();
        EXPECT_EQ(!out.data().isEmpty(), c.written) << out.data().constData();
    }
}

} // namespace
