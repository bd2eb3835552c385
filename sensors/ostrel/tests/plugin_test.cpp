// SPDX-License-Identifier: GPL-2.0-or-later
#include "ostrelplugin.h"

#include <QPointer>

#include <gtest/gtest.h>

#include <string>

namespace {

TEST(OstrelPluginExports, InstanceIsKeptUntilDestroyedThenMadeAgain)
{
    QObject *first = qt_plugin_instance();
    ASSERT_NE(first, nullptr);
    EXPECT_EQ(first->parent(), nullptr);
    EXPECT_EQ(qt_plugin_instance(), first);
    first->setObjectName(QStringLiteral("first"));

    delete first;
    QObject *second = qt_plugin_instance();
    ASSERT_NE(second, nullptr);
    EXPECT_TRUE(second->objectName().isEmpty()) << "the destroyed object came back";
    EXPECT_EQ(qt_plugin_instance(), second);
    delete second;
}

TEST(OstrelPluginExports, ObjectUsesThePluginMetaObject)
{
    QObject *object = qt_plugin_instance();
    EXPECT_EQ(object->metaObject(), &Plugin::staticMetaObject);
    EXPECT_NE(dynamic_cast<OstrelPlugin *>(object), nullptr);
    EXPECT_TRUE(dynamic_cast<OstrelPlugin *>(object)->Dependencies().isEmpty());
    delete object;
}

TEST(OstrelPluginExports, VerificationDataNamesThisBuild)
{
#if defined(__x86_64__)
    const std::string processor = "x86_64";
#elif defined(__i386__)
    const std::string processor = "i386";
#else
    const std::string processor = "unknown";
#endif
    const std::string expected = "pattern=QT_PLUGIN_VERIFICATION_DATA\n"
                                 "version=4.8.3\n"
                                 "debug=true\n"
                                 "buildkey="
        + processor + " linux g++-" + std::to_string(__GNUC__) + " full-config";
    EXPECT_EQ(std::string(qt_plugin_query_verification_data()), expected);
    EXPECT_EQ(qt_plugin_query_verification_data(), qt_plugin_query_verification_data());
}

} // namespace
