// SPDX-License-Identifier: GPL-2.0-or-later
#include "core/sensormanager.h"

#include "ostrel.h"
#include "ostrelplugin.h"
#include "testsupport.h"

#include <mavrid/loader.h>

#include <gtest/gtest.h>

namespace {

const QString registering = QStringLiteral(
    "[I] ostrelplugin:8 virtual void OstrelPlugin::Register(Loader&): registering ostrel");
const QString recordStart = QStringLiteral(
    "[W] ../../core/sensormanager:%1 void SensorManager::registerDeviceAdaptor(const QString&) "
    "[with DEVICE_ADAPTOR_TYPE = SteAccelAdaptor]: ");

// Another plug-in's adaptor type that answers the same class name.
struct Impostor
{
    static const QMetaObject staticMetaObject;
    static DeviceAdaptor *factoryMethod(const QString &) { return nullptr; }
};
const QMetaObject Impostor::staticMetaObject = SteAccelAdaptor::staticMetaObject;

class RegistrationTest : public ::testing::Test
{
protected:
    void SetUp() override { manager.reset(); }
    void TearDown() override { manager.reset(); }

    const DeviceAdaptorInstanceEntry entry(const QString &key) const
    {
        return manager.deviceAdaptorInstances().value(key);
    }

    SensorManager &manager = SensorManager::instance();
};

TEST_F(RegistrationTest, RegisterEntersTheAdaptorWithoutCreatingIt)
{
    LogCapture log;
    QObject *object = qt_plugin_instance();
    Plugin *plugin = qobject_cast<Plugin *>(object);
    ASSERT_NE(plugin, nullptr);
    plugin->Register(Loader::instance());

    EXPECT_EQ(log.lines(), QStringList({registering}));
    ASSERT_EQ(manager.deviceAdaptorInstances().keys(),
              QStringList({QStringLiteral("accelerometeradaptor")}));
    const DeviceAdaptorInstanceEntry e = entry(QStringLiteral("accelerometeradaptor"));
    EXPECT_EQ(e.type, QStringLiteral("SteAccelAdaptor"));
    EXPECT_EQ(e.id, QStringLiteral("accelerometeradaptor"));
    EXPECT_EQ(e.adaptor, nullptr);
    ASSERT_EQ(manager.deviceAdaptorFactories().keys(),
              QStringList({QStringLiteral("SteAccelAdaptor")}));
    EXPECT_EQ(manager.deviceAdaptorFactories().value(QStringLiteral("SteAccelAdaptor")),
              &SteAccelAdaptor::factoryMethod);
    delete object;
}

TEST_F(RegistrationTest, SecondRegistrationOfAnIdChangesNothing)
{
    manager.registerDeviceAdaptor<SteAccelAdaptor>(QStringLiteral("accelerometeradaptor"));
    LogCapture log;
    manager.registerDeviceAdaptor<SteAccelAdaptor>(QStringLiteral("accelerometeradaptor"));
    EXPECT_EQ(
        log.lines(),
        QStringList({recordStart.arg(509)
                     + QStringLiteral("<accelerometeradaptor> Adaptor is already present!")}));
    EXPECT_EQ(manager.deviceAdaptorInstances().size(), 1);
    EXPECT_EQ(manager.deviceAdaptorFactories().size(), 1);
}

TEST_F(RegistrationTest, KeyIsThePartBeforeTheFirstSemicolon)
{
    manager.registerDeviceAdaptor<SteAccelAdaptor>(QStringLiteral("accel;path=1;x"));
    ASSERT_EQ(manager.deviceAdaptorInstances().keys(), QStringList({QStringLiteral("accel")}));
    EXPECT_EQ(entry(QStringLiteral("accel")).id, QStringLiteral("accel;path=1;x"));

    LogCapture log;
    manager.registerDeviceAdaptor<SteAccelAdaptor>(QStringLiteral("accel;path=2"));
    EXPECT_EQ(log.lines(),
              QStringList(
                  {recordStart.arg(509) + QStringLiteral("<accel> Adaptor is already present!")}));
    EXPECT_EQ(entry(QStringLiteral("accel")).id, QStringLiteral("accel;path=1;x"));
}

TEST_F(RegistrationTest, SecondIdOfTheSameTypeSharesItsFactory)
{
    manager.registerDeviceAdaptor<SteAccelAdaptor>(QStringLiteral("accelerometeradaptor"));
    LogCapture log;
    manager.registerDeviceAdaptor<SteAccelAdaptor>(QStringLiteral("secondaccelerometer"));
    EXPECT_TRUE(log.lines().isEmpty());
    EXPECT_EQ(manager.deviceAdaptorInstances().keys(),
              QStringList(
                  {QStringLiteral("accelerometeradaptor"), QStringLiteral("secondaccelerometer")}));
    EXPECT_EQ(entry(QStringLiteral("secondaccelerometer")).type, QStringLiteral("SteAccelAdaptor"));
    EXPECT_EQ(manager.deviceAdaptorFactories().size(), 1);
}

TEST_F(RegistrationTest, DifferentFactoryUnderTheTypeNameIsKept)
{
    manager.registerDeviceAdaptor<Impostor>(QStringLiteral("impostor"));
    LogCapture log;
    manager.registerDeviceAdaptor<SteAccelAdaptor>(QStringLiteral("accelerometeradaptor"));

    EXPECT_EQ(
        log.lines(),
        QStringList({recordStart.arg(522) + QStringLiteral("Device adaptor type doesn't match!")}));
    EXPECT_EQ(entry(QStringLiteral("accelerometeradaptor")).type,
              QStringLiteral("SteAccelAdaptor"));
    EXPECT_EQ(manager.deviceAdaptorInstances().size(), 2);
    EXPECT_EQ(manager.deviceAdaptorFactories().value(QStringLiteral("SteAccelAdaptor")),
              &Impostor::factoryMethod);
}

TEST_F(RegistrationTest, ManagerCreatesTheAdaptorOnRequestThroughTheFactory)
{
    manager.registerDeviceAdaptor<SteAccelAdaptor>(QStringLiteral("accelerometeradaptor"));
    DeviceAdaptor *adaptor = manager.requestDeviceAdaptor(QStringLiteral("accelerometeradaptor"));
    ASSERT_NE(adaptor, nullptr);
    EXPECT_STREQ(adaptor->metaObject()->className(), "SteAccelAdaptor");
    EXPECT_EQ(manager.requestDeviceAdaptor(QStringLiteral("accelerometeradaptor")), adaptor);
    manager.releaseDeviceAdaptor(QStringLiteral("accelerometeradaptor"));
    EXPECT_EQ(entry(QStringLiteral("accelerometeradaptor")).adaptor, adaptor);
    manager.releaseDeviceAdaptor(QStringLiteral("accelerometeradaptor"));
    EXPECT_EQ(entry(QStringLiteral("accelerometeradaptor")).adaptor, nullptr);
}

} // namespace
