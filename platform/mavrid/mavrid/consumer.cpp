// SPDX-License-Identifier: GPL-2.0-or-later
#include "consumer.h"

void Consumer::addSink(SinkBase *sink, const QString &name)
{
    if (sink) {
        m_sinks.insert(name, sink);
    }
}

SinkBase *Consumer::findSink(const QString &name) const
{
    return m_sinks.value(name, nullptr);
}
