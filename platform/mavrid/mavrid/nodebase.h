// SPDX-License-Identifier: GPL-2.0-or-later
#pragma once

#include "datarange.h"

#include <QList>
#include <QMap>
#include <QObject>
#include <QPair>
#include <QString>

class RingBufferBase;

typedef QPair<unsigned int, unsigned int> IntegerRange;
typedef QList<IntegerRange> IntegerRangeList;

/*
 * A node of the daemon's sensor graph. Intervals are in milliseconds; each
 * session may request one, and the node runs at the shortest request. This
 * host does no buffering of its own, so buffer sizes and intervals are 0.
 */
class NodeBase : public QObject
{
    Q_OBJECT

public:
    explicit NodeBase(const QString &id, QObject *parent = nullptr);
    ~NodeBase() override;

    QString id() const;
    QString description() const;
    void setDescription(const QString &description);

    QList<DataRange> availableIntervals() const;
    void introduceAvailableInterval(const DataRange &range);

    virtual IntegerRangeList getAvailableBufferSizes(bool &hwSupported) const;
    virtual IntegerRangeList getAvailableBufferIntervals(bool &hwSupported) const;
    virtual unsigned int bufferSize() const;
    virtual unsigned int bufferInterval() const;
    virtual void removeSession(int sessionId);
    virtual bool setDataRange(const DataRange &range, int sessionId);
    // Keeps the node running while the device is in standby; true when
    // taken.
    virtual bool setStandbyOverride(bool enabled);
    // The interval in force: the shortest request, 0 without requests.
    virtual unsigned int interval() const;
    // False when the value lies in none of the available intervals.
    virtual bool setInterval(unsigned int value, int sessionId);
    // The shortest requested interval and its session (-1 without requests).
    virtual unsigned int evaluateIntervalRequests(int &sessionId) const;
    virtual RingBufferBase *findBuffer(const QString &name) const;
    virtual bool setBufferSize(unsigned int value);
    virtual bool setBufferInterval(unsigned int value);

    bool standbyOverride() const;

protected:
    bool isValidIntervalRequest(unsigned int value) const;

private:
    QString m_id;
    QString m_description;
    QList<DataRange> m_intervals;
    QMap<int, unsigned int> m_intervalRequests;
    bool m_standbyOverride = false;
};
