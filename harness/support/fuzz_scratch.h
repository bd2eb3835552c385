// SPDX-License-Identifier: GPL-2.0-or-later
// One scratch directory per fuzz process, for targets that work on files.
#ifndef HARNESS_FUZZ_SCRATCH_H
#define HARNESS_FUZZ_SCRATCH_H

// The scratch directory, made under TMPDIR (or /tmp) on the first call and
// removed with its contents when the process exits. Aborts when it cannot
// be made.
const char *fuzz_scratch_dir(void);

// Removes everything inside the directory path, which stays. Aborts when
// something cannot be removed, so that one input's leftovers never reach
// the next.
void fuzz_scratch_clean(const char *path);

#endif
