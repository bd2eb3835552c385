// SPDX-License-Identifier: GPL-2.0-or-later
#ifndef _LINUX_PARAM_H
#define _LINUX_PARAM_H

/* One tick is 10 ms: coarse enough that conversions must round up. */
#define HZ 100

#endif
