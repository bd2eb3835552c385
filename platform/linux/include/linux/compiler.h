// SPDX-License-Identifier: GPL-2.0-or-later
#ifndef _LINUX_COMPILER_H
#define _LINUX_COMPILER_H

#define __must_check __attribute__((warn_unused_result))
#define __maybe_unused __attribute__((unused))
#define __printf(a, b) __attribute__((format(printf, a, b)))
#define likely(x) __builtin_expect(!!(x), 1)
#define unlikely(x) __builtin_expect(!!(x), 0)

#endif
