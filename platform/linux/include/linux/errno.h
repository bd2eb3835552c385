// SPDX-License-Identifier: GPL-2.0-or-later
#ifndef _LINUX_ERRNO_H
#define _LINUX_ERRNO_H

/* The numbers user space sees; the layer never includes the C library's. */
#define EPERM 1
#define ENOENT 2
#define EINTR 4
#define EIO 5
#define ENXIO 6
#define EAGAIN 11
#define ENOMEM 12
#define EFAULT 14
#define EBUSY 16
#define EEXIST 17
#define ENODEV 19
#define EINVAL 22
#define ENOSPC 28
#define ENOSYS 38
#define ETIMEDOUT 110

/* Kernel-internal, never seen by user space. */
#define EPROBE_DEFER 517

#endif
