// SPDX-License-Identifier: GPL-2.0-or-later
#include "ostrelplugin.h"

#include "core/sensormanager.h"
#include "ostrel.h"

#include <mavrid/logging.h>
#include <mavrid/pluginexport.h>

#include <QPointer>

OstrelPlugin::~OstrelPlugin() = default;

void OstrelPlugin::Register(Loader &l)
{
    Q_UNUSED(l);
    // The record's source and line are fixed: the daemon's log filters match
    // them.
    MavridLogger(__PRETTY_FUNCTION__, "ostrelplugin", 8, MavridLogInfo) << "registering ostrel";
    SensorManager::instance().registerDeviceAdaptor<SteAccelAdaptor>(
        QStringLiteral("accelerometeradaptor"));
}

extern "C" {

Q_DECL_EXPORT QObject *qt_plugin_instance()
{
    static QPointer<QObject> instance;
    if (!instance) {
        instance = new OstrelPlugin;
    }
    return instance.data();
}

Q_DECL_EXPORT const char *qt_plugin_query_verification_data()
{
    static const char data[] = MAVRID_PLUGIN_VERIFICATION_DATA;
    return data;
}
}
