// SPDX-License-Identifier: GPL-2.0-or-later
#ifndef _LINUX_INIT_H
#define _LINUX_INIT_H

/* Nothing is discarded after start-up here, so the section marks are empty. */
#define __init
#define __exit
#define __initdata
#define __exitdata

typedef int (*initcall_t)(void);
typedef void (*exitcall_t)(void);

#endif
