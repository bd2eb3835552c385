// SPDX-License-Identifier: GPL-2.0-or-later
#pragma once

#include <QObject>

// A range of values a node offers: lower bound, upper bound and resolution.
// Copies carry the three values only.
class DataRange : public QObject
{
    Q_OBJECT

public:
    DataRange(double min = 0, double max = 0, double resolution = 0, QObject *parent = nullptr)
        : QObject(parent)
        , min(min)
        , max(max)
        , resolution(resolution)
    { }

    DataRange(const DataRange &other)
        : QObject()
        , min(other.min)
        , max(other.max)
        , resolution(other.resolution)
    { }

    DataRange &operator=(const DataRange &other)
    {
        min = other.min;
        max = other.max;
        resolution = other.resolution;
        return *this;
    }

    bool operator==(const DataRange &other) const
    {
        return min == other.min && max == other.max && resolution == other.resolution;
    }

    double min;
    double max;
    double resolution;
};
