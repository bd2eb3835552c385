// SPDX-License-Identifier: GPL-2.0-or-later
// Allocation failures on purpose, for tests of the paths that handle them.
//
// Linked into a test program (target qkfailalloc) or preloaded into a
// program under test (qkfailalloc_preload), it takes over malloc, calloc,
// realloc, free, strdup and strndup for the whole process, the C library's
// and other libraries' own calls included, and hands what it lets through
// to the sanitizer's allocator when there is one, else to the C library's.
// A refused allocation returns NULL with errno ENOMEM.
//
// At start it arms itself from the environment, if asked to:
//   FAILALLOC_NTH=n    as failalloc_fail_nth(n)
//   FAILALLOC_AFTER=n  as failalloc_fail_after(n)
//   FAILALLOC_ABOVE=n  as failalloc_fail_above(n)
// A sanitizer build checks that its runtime comes first, so a preloading
// test there also sets ASAN_OPTIONS=verify_asan_link_order=0.
#ifndef QK_FAILALLOC_H
#define QK_FAILALLOC_H

#include <stddef.h>

#ifdef __cplusplus
extern "C" {
#endif

// From now on, counts allocations and refuses the n-th of them (the first
// is 1); n = 0 refuses none, which only counts.
void failalloc_fail_nth(unsigned long n);

// From now on, counts allocations and refuses every one after the first n.
void failalloc_fail_after(unsigned long n);

// From now on, counts allocations and refuses every one of more than size
// bytes.
void failalloc_fail_above(size_t size);

// Lets every allocation through again and stops counting; the counts stay
// readable until the next arming.
void failalloc_disarm(void);

// The allocations asked for since the last arming, refused ones included.
unsigned long failalloc_count(void);

// The blocks allocated since the last arming that are not freed yet.
unsigned long failalloc_live(void);

#ifdef __cplusplus
}
#endif

#endif
