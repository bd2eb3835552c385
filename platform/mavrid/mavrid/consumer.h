// SPDX-License-Identifier: GPL-2.0-or-later
#pragma once

#include <QHash>
#include <QString>

class SinkBase;

// A table of named sinks through which producers push data into a node.
// The sinks are not owned.
class Consumer
{
public:
    // Enters sink under name, replacing an earlier one of that name.
    void addSink(SinkBase *sink, const QString &name);
    SinkBase *findSink(const QString &name) const;

protected:
    QHash<QString, SinkBase *> m_sinks;
};
