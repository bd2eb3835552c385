// SPDX-License-Identifier: GPL-2.0-or-later
// Parses arbitrary text as a mode specification and applies what parses.
#include <stdint.h>
#include <stdlib.h>
#include <string.h>

#include "modechange.h"
#include "xalloc.h"

int LLVMFuzzerTestOneInput(const uint8_t *data, size_t size)
{
	// the first byte picks the starting mode and the mask
	mode_t old_mode = size ? (mode_t)data[0] << 4 : 0;
	mode_t mask = size > 1 ? (mode_t)data[1] << 1 : 0;
	char *text = checked_malloc(size + 1);

	memcpy(text, data, size);
	text[size] = '\0';
	struct mode_step *steps = mode_parse(text);
	if (steps) {
		for (int is_dir = 0; is_dir < 2; is_dir++) {
			mode_t changed;
			mode_t mode = mode_apply(old_mode, is_dir, mask, steps, &changed);
			if (mode & ~07777 || changed & ~07777)
				abort();
			// bits outside the changed set keep their old value
			if ((mode ^ old_mode) & ~changed & 07777)
				abort();
		}
		free(steps);
	}
	free(text);
	return 0;
}
