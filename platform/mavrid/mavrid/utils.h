// SPDX-License-Identifier: GPL-2.0-or-later
#pragma once

#include <QtGlobal>

namespace Utils {

// Microseconds of the monotonic clock: sample stamps never jump with the
// wall clock.
quint64 getTimeStamp();

} // namespace Utils
