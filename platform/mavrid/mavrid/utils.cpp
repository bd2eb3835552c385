// SPDX-License-Identifier: GPL-2.0-or-later
#include "utils.h"

#include <time.h>

namespace Utils {

quint64 getTimeStamp()
{
    struct timespec now;
    clock_gettime(CLOCK_MONOTONIC, &now);
    return quint64(now.tv_sec) * 1000000u + quint64(now.tv_nsec) / 1000u;
}

} // namespace Utils
