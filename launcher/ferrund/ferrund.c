// SPDX-License-Identifier: GPL-2.0-or-later
// ferrund: prepares the process and hands the command line to the launcher
// library, which runs the launcher daemon.
#include <dlfcn.h>
#include <limits.h>
#include <malloc.h>
#include <stdbool.h>
#include <stdio.h>
#include <stdlib.h>
#include <string.h>

#define LAUNCHER_LIBRARY "/usr/lib/libferrund.so.0"
#define FATAL_LOAD "FATAL!!: Failed to load the launcher library\n"

struct malloc_setting {
	const char *variable;
	int parameter;
};

static const struct malloc_setting malloc_settings[] = {
	{ "MALLOC_TRIM_THRESHOLD_", M_TRIM_THRESHOLD },
	{ "MALLOC_TOP_PAD_", M_TOP_PAD },
	{ "MALLOC_PERTURB_", M_PERTURB },
	{ "MALLOC_MMAP_THRESHOLD_", M_MMAP_THRESHOLD },
	{ "MALLOC_MMAP_MAX_", M_MMAP_MAX },
};

static const char *const preloads[] = {
	"/usr/lib/libzendraqmllauncher.so.0",
	"/usr/bin/unirun",
};

// Where long is wider than int, a plain cast would wrap a large value into
// a small or negative one; clamp as strtol itself does at its own limits.
static int saturate_int(long value)
{
	if (value > INT_MAX)
		return INT_MAX;
	if (value < INT_MIN)
		return INT_MIN;
	return (int)value;
}

static void tune_allocator(void)
{
	for (size_t i = 0; i < sizeof malloc_settings / sizeof malloc_settings[0]; i++) {
		const char *value = getenv(malloc_settings[i].variable);
		if (value)
			(void)mallopt(malloc_settings[i].parameter,
				      saturate_int(strtol(value, NULL, 10)));
	}
}

// Mapped and resolved now so that the daemon's children share them; the
// handles stay open for the life of the process.
static void preload(bool debug)
{
	for (size_t i = 0; i < sizeof preloads / sizeof preloads[0]; i++) {
		(void)dlerror();
		if (!dlopen(preloads[i], RTLD_NOW | RTLD_GLOBAL) && debug)
			fprintf(stderr, "Warning: can't preload %s\n", preloads[i]);
	}
}

int main(int argc, char **argv)
{
	bool debug = false;
	bool help = false;

	if (!getenv("DISPLAY")) {
		fputs("FATAL!!: DISPLAY environment variable not set.\n", stderr);
		return 1;
	}
	for (int i = 1; i < argc; i++) {
		if (strcmp(argv[i], "--debug") == 0)
			debug = true;
		else if (strcmp(argv[i], "--help") == 0 || strcmp(argv[i], "-h") == 0)
			help = true;
	}
	(void)setenv("TMPDIR", "/var/tmp", 0);
	tune_allocator();
	if (!help)
		preload(debug);

	(void)dlerror();
	void *library = dlopen(LAUNCHER_LIBRARY, RTLD_LAZY);
	if (!library) {
		fprintf(stderr, "%s\n", dlerror());
		fputs(FATAL_LOAD, stderr);
		return 1;
	}
	(void)dlerror();
	int (*library_main)(int, char **) = (int (*)(int, char **))dlsym(library, "main");
	const char *error = dlerror();
	if (error) {
		fprintf(stderr, "%s\n", error);
		(void)dlclose(library);
		fputs(FATAL_LOAD, stderr);
		return 1;
	}
	// A symbol defined as zero gives no error but cannot be called.
	if (!library_main) {
		(void)dlclose(library);
		fputs(FATAL_LOAD, stderr);
		return 1;
	}
	(void)library_main(argc, argv);
	(void)dlclose(library);
	return 0;
}
