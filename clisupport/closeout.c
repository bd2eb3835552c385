// SPDX-License-Identifier: GPL-2.0-or-later
#include "closeout.h"

#include <errno.h>
#include <error.h>
#include <stdio_ext.h>
#include <unistd.h>

#include "frame.h"

int close_stream_checked(FILE *stream)
{
	int had_error = ferror(stream) != 0;
	size_t pending = __fpending(stream);
	int closed = fclose(stream) == 0;

	if (had_error) {
		if (closed)
			errno = 0;
		return -1;
	}
	if (closed)
		return 0;
	if (pending == 0 && errno == EBADF)
		return 0;
	return -1;
}

void close_stdout(void)
{
	if (close_stream_checked(stdout) != 0) {
		error(0, errno, "%s", _("write error"));
		_exit(exit_failure);
	}
	if (close_stream_checked(stderr) != 0)
		_exit(exit_failure);
}
