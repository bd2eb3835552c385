// SPDX-License-Identifier: GPL-2.0-or-later
#include <mavrid/config.h>

#include <qktest.h>

#include <gtest/gtest.h>

namespace {

class ConfigTest : public ::testing::Test
{
protected:
    void TearDown() override { Config::configuration()->clear(); }

    qk::TempDir dir;
    Config *config = Config::configuration();
};

TEST_F(ConfigTest, ReadsGroupedAndPlainKeys)
{
    qk::writeFile(dir.file("c.conf"),
                  "# comment\n"
                  "top/level = 1\n"
                  "[accelerometer]\n"
                  "  range_path =  /sys/x/range \n"
                  "; another comment\n"
                  "range_mode=\n"
                  "not a key\n"
                  "[ other ]\n"
                  "path=/a=b\n");
    ASSERT_TRUE(config->load(QString::fromStdString(dir.file("c.conf"))));
    EXPECT_EQ(config->value(QStringLiteral("top/level")).toInt(), 1);
    EXPECT_EQ(config->value(QStringLiteral("accelerometer/range_path")).toByteArray(),
              "/sys/x/range");
    EXPECT_TRUE(config->value(QStringLiteral("accelerometer/range_mode")).isValid());
    EXPECT_EQ(config->value(QStringLiteral("accelerometer/range_mode")).toByteArray(), "");
    EXPECT_EQ(config->value(QStringLiteral("other/path")).toString(), QStringLiteral("/a=b"));
    EXPECT_FALSE(config->value(QStringLiteral("not a key")).isValid());
}

TEST_F(ConfigTest, AbsentKeyIsInvalidAndConvertsToEmpty)
{
    const QVariant v = config->value(QStringLiteral("accelerometer/mode_path"));
    EXPECT_FALSE(v.isValid());
    EXPECT_TRUE(v.toByteArray().isEmpty());
    EXPECT_EQ(v.toInt(), 0);
}

TEST_F(ConfigTest, UnreadableFileLeavesNoKeys)
{
    qk::writeFile(dir.file("c.conf"), "a/b=1\n");
    ASSERT_TRUE(config->load(QString::fromStdString(dir.file("c.conf"))));
    EXPECT_FALSE(config->load(QString::fromStdString(dir.file("missing.conf"))));
    EXPECT_FALSE(config->value(QStringLiteral("a/b")).isValid());
}

} // namespace
