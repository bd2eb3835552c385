// SPDX-License-Identifier: GPL-2.0-or-later
#include "nodebase.h"

NodeBase::NodeBase(const QString &id, QObject *parent)
    : QObject(parent)
    , m_id(id)
{ }

NodeBase::~NodeBase() = default;

QString NodeBase::id() const
{
    return m_id;
}

QString NodeBase::description() const
{
    return m_description;
}

void NodeBase::setDescription(const QString &description)
{
    m_description = description;
}

QList<DataRange> NodeBase::availableIntervals() const
{
    return m_intervals;
}

void NodeBase::introduceAvailableInterval(const DataRange &range)
{
    m_intervals.append(range);
}

IntegerRangeList NodeBase::getAvailableBufferSizes(bool &hwSupported) const
{
    hwSupported = false;
    return IntegerRangeList();
}

IntegerRangeList NodeBase::getAvailableBufferIntervals(bool &hwSupported) const
{
    hwSupported = false;
    return IntegerRangeList();
}

unsigned int NodeBase::bufferSize() const
{
    return 0;
}

unsigned int NodeBase::bufferInterval() const
{
    return 0;
}

void NodeBase::removeSession(int sessionId)
{
    m_intervalRequests.remove(sessionId);
}

bool NodeBase::setDataRange(const DataRange &range, int sessionId)
{
    Q_UNUSED(range);
    Q_UNUSED(sessionId);
    return false;
}

bool NodeBase::setStandbyOverride(bool enabled)
{
    m_standbyOverride = enabled;
    return true;
}

bool NodeBase::standbyOverride() const
{
    return m_standbyOverride;
}

unsigned int NodeBase::interval() const
{
    int sessionId;
    return evaluateIntervalRequests(sessionId);
}

bool NodeBase::setInterval(unsigned int value, int sessionId)
{
    if (!isValidIntervalRequest(value)) {
        return false;
    }
    m_intervalRequests.insert(sessionId, value);
    return true;
}

unsigned int NodeBase::evaluateIntervalRequests(int &sessionId) const
{
    sessionId = -1;
    unsigned int shortest = 0;
    for (auto it = m_intervalRequests.constBegin(); it != m_intervalRequests.constEnd(); ++it) {
        if (sessionId == -1 || it.value() < shortest) {
            shortest = it.value();
            sessionId = it.key();
        }
    }
    return shortest;
}

RingBufferBase *NodeBase::findBuffer(const QString &name) const
{
    Q_UNUSED(name);
    return nullptr;
}

bool NodeBase::setBufferSize(unsigned int value)
{
    return value == 0;
}

bool NodeBase::setBufferInterval(unsigned int value)
{
    return value == 0;
}

bool NodeBase::isValidIntervalRequest(unsigned int value) const
{
    if (value == 0) {
        return false;
    }
    if (m_intervals.isEmpty()) {
        return true;
    }
    for (const DataRange &range : m_intervals) {
        if (value >= range.min && value <= range.max) {
            return true;
        }
    }
    return false;
}
