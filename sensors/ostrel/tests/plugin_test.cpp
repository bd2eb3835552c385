// SPDX-License-Identifier: GPL-2.0-or-later
#include "ostrelplugin.h"

#include <QPointer>

#include <gtest/gtest.h>

#include <algorithm>
#include <cctype>
#include <cstring>
#include <fstream>
#include <string>

#include <elf.h>

namespace {

// The processor named by the machine field of an ELF file's header, or empty.
std::string elfProcessor(const char *path)
{
    Elf32_Ehdr header {};
    std::ifstream file(path, std::ios::binary);
    file.read(reinterpret_cast<char *>(&header), sizeof(header));
    if (!file || std::memcmp(header.e_ident, ELFMAG, SELFMAG) != 0
        || header.e_ident[EI_DATA] != ELFDATA2LSB) {
        return {};
    }
    // The field lies at the same place in 32- and 64-bit headers.
    switch (header.e_machine) {
    case EM_386:
        return "i386";
    case EM_X86_64:
        return "x86_64";
    case EM_ARM:
        return "arm";
    case EM_AARCH64:
        return "aarch64";
    default:
        return {};
    }
}

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

TEST(OstrelPluginExports, VerificationDataNamesTheCompilerAndMachineOfThisBuild)
{
    // The compiler as the build system found it, and the processor from the
    // built plug-in's own header, so that neither comes from the conditions
    // that make the key.
    const std::string compilerId = BUILD_COMPILER_ID;
    if (compilerId != "GNU") {
        GTEST_SKIP() << "the build key names GNU compilers only; this build uses " << compilerId;
    }
    const std::string version = BUILD_COMPILER_VERSION;
    const std::string compiler = "g++-" + version.substr(0, version.find('.'));
    const std::string processor = elfProcessor(OSTREL_PLUGIN_PATH);
    ASSERT_FALSE(processor.empty()) << OSTREL_PLUGIN_PATH;
    std::string system = BUILD_SYSTEM_NAME;
    std::transform(system.begin(), system.end(), system.begin(), [](unsigned char c) {
        return std::tolower(c);
    });

    const std::string expected = "pattern=QT_PLUGIN_VERIFICATION_DATA\n"
                                 "version=4.8.3\n"
                                 "debug=true\n"
                                 "buildkey="
        + processor + " " + system + " " + compiler + " full-config";
    // The plug-in is linked from the same objects as this test.
    EXPECT_EQ(std::string(qt_plugin_query_verification_data()), expected);
    EXPECT_EQ(qt_plugin_query_verification_data(), qt_plugin_query_verification_data());
}

} // namespace
