// SPDX-License-Identifier: GPL-2.0-or-later
#pragma once

#include <QtGlobal>

// One sample of a three-axis sensor. The daemon's readers share this layout.
struct TimedXyzData
{
    quint64 timestamp;
    qint32 x;
    qint32 y;
    qint32 z;
};
