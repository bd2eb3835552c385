// SPDX-License-Identifier: GPL-2.0-or-later
// Stand-in launcher library: records what the front end handed over in the
// file named by FERRUND_RECORD.
#include <dlfcn.h>
#include <stdio.h>
#include <stdlib.h>

int main(int argc, char **argv)
{
	const char *path = getenv("FERRUND_RECORD");
	FILE *f = path ? fopen(path, "w") : NULL;
	if (!f)
		return 2;
	fprintf(f, "argc=%d\n", argc);
	for (int i = 0; i < argc; i++)
		fprintf(f, "argv[%d]=%s\n", i, argv[i]);
	const char *tmpdir = getenv("TMPDIR");
	fprintf(f, "TMPDIR=%s\n", tmpdir ? tmpdir : "(unset)");
	// Globally visible only when preloaded with RTLD_GLOBAL.
	fprintf(f, "zendra=%s\n",
		dlsym(RTLD_DEFAULT, "standin_zendra_marker") ? "visible" : "absent");
	fprintf(f, "unirun=%s\n",
		dlsym(RTLD_DEFAULT, "standin_unirun_marker") ? "visible" : "absent");
	fclose(f);
	// The front end must ignore this.
	return 7;
}
