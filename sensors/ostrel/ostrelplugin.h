// SPDX-License-Identifier: GPL-2.0-or-later
#pragma once

#include <mavrid/plugin.h>

class QObject;

// The plug-in object: enters the accelerometer adaptor in the daemon's
// sensor manager. It holds no state.
class OstrelPlugin : public Plugin
{
public:
    ~OstrelPlugin() override;

    void Register(class Loader &l) override;
};

// The plug-in's exports, looked up by name by the daemon's loader.
extern "C" {
// The plug-in object, created on the first call and again after it was
// destroyed; it belongs to the loader.
Q_DECL_EXPORT QObject *qt_plugin_instance();
// The verification text the loader compares with its own.
Q_DECL_EXPORT const char *qt_plugin_query_verification_data();
}
