// SPDX-License-Identifier: GPL-2.0-or-later
// A plug-in for the loader's tests; the TESTPLUGIN_* definition picks how it
// is broken, if at all.
#include <mavrid/plugin.h>
#include <mavrid/pluginexport.h>
#include <mavrid/sensormanager.h>

#include <QPointer>

#if !defined(TESTPLUGIN_NOSYMBOLS)

namespace {

class TestPlugin : public Plugin
{
public:
    void Register(Loader &) override { ++registered; }
    void Init(Loader &) override { setObjectName(QStringLiteral("registered %1").arg(registered)); }

    int registered = 0;
};

} // namespace

extern "C" {

Q_DECL_EXPORT QObject *qt_plugin_instance()
{
    static QPointer<QObject> instance;
    if (!instance) {
#if defined(TESTPLUGIN_NOTPLUGIN)
        instance = new QObject;
#else
        instance = new TestPlugin;
#endif
    }
    return instance.data();
}

Q_DECL_EXPORT const char *qt_plugin_query_verification_data()
{
#if defined(TESTPLUGIN_WRONGKEY)
    return "pattern=QT_PLUGIN_VERIFICATION_DATA\nversion=4.8.3\ndebug=true\nbuildkey=sparc solaris cc full-config";
#else
    return MAVRID_PLUGIN_VERIFICATION_DATA;
#endif
}
}

#else

extern "C" Q_DECL_EXPORT int mavridtest_nothing()
{
    return 0;
}

#endif
