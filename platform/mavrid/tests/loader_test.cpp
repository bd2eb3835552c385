// SPDX-License-Identifier: GPL-2.0-or-later
#include <mavrid/loader.h>

#include <gtest/gtest.h>

namespace {

class LoaderTest : public ::testing::Test
{
protected:
    void SetUp() override { loader.setPluginDirectory(QStringLiteral(TEST_PLUGIN_DIR)); }
    void TearDown() override { loader.unloadPlugins(); }

    Loader &loader = Loader::instance();
};

TEST_F(LoaderTest, LoadsAVerifiedPluginOnceAndRegistersIt)
{
    QString error;
    ASSERT_TRUE(loader.loadPlugin(QStringLiteral("mavridtest_good"), &error)) << qPrintable(error);
    EXPECT_TRUE(loader.isLoaded(QStringLiteral("mavridtest_good")));
    EXPECT_TRUE(loader.loadPlugin(QStringLiteral("mavridtest_good"), &error));
    loader.unloadPlugins();
    EXPECT_FALSE(loader.isLoaded(QStringLiteral("mavridtest_good")));
}

TEST_F(LoaderTest, RefusesWhatIsNotAVerifiedPlugin)
{
    struct Case
    {
        const char *name;
        const char *error;
    };
    const Case cases[] = {
        {"mavridtest_wrongkey", "plug-in built for another configuration"},
        {"mavridtest_notplugin", "no plug-in object"},
        {"mavridtest_nosymbols", "not a plug-in"},
        {"mavridtest_missing", "cannot open shared object file"},
    };
    for (const Case &c : cases) {
        SCOPED_TRACE(c.name);
        QString error;
        EXPECT_FALSE(loader.loadPlugin(QLatin1String(c.name), &error));
        EXPECT_TRUE(error.contains(QLatin1String(c.error))) << qPrintable(error);
        EXPECT_FALSE(loader.isLoaded(QLatin1String(c.name)));
    }
}

} // namespace
