// SPDX-License-Identifier: GPL-2.0-or-later
#pragma once

#include <QObject>
#include <QStringList>

class Loader;

// What the daemon asks of a plug-in object once its library is loaded.
class PluginBase
{
public:
    virtual ~PluginBase();
    // Called once after loading; enters the plug-in's adaptors and sensors.
    virtual void Register(class Loader &l) = 0;
    // Called after Register; nothing to do by default.
    virtual void Init(class Loader &l);
    // Names of plug-ins to load before this one; none by default.
    virtual QStringList Dependencies();
};

class Plugin : public QObject, public PluginBase
{
    Q_OBJECT

public:
    explicit Plugin(QObject *parent = nullptr);
    ~Plugin() override;
};
