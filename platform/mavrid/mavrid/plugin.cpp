// SPDX-License-Identifier: GPL-2.0-or-later
#include "plugin.h"

PluginBase::~PluginBase() = default;

void PluginBase::Init(Loader &l)
{
    Q_UNUSED(l);
}

QStringList PluginBase::Dependencies()
{
    return QStringList();
}

Plugin::Plugin(QObject *parent)
    : QObject(parent)
{ }

Plugin::~Plugin() = default;
