// SPDX-License-Identifier: GPL-2.0-or-later
#pragma once

#include <QtGlobal>

namespace ostrel {

// Splits length bytes of text at ":" and converts the first three fields
// as decimal integers the way QString::toInt(nullptr, 10) does for the
// text taken as Latin-1: surrounding white space is ignored, a sign may
// lead, and anything else, an empty field, a missing field or a value
// outside 32 bits gives 0. Allocates nothing.
void parseSampleFields(const char *text, int length, qint32 raw[3]);

// The chip's raw reading as acceleration: raw x 0.1 x 9.812865328, truncated
// toward zero.
inline qint32 scaleRawValue(qint32 raw)
{
    return qint32(double(raw) * 0.1 * 9.812865328);
}

} // namespace ostrel
