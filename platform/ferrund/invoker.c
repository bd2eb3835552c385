// SPDX-License-Identifier: GPL-2.0-or-later
// ferrund-invoke: asks a booster to start a program (see protocol.h).
#include "protocol.h"

#include <errno.h>
#include <limits.h>
#include <stdint.h>
#include <stdio.h>
#include <stdlib.h>
#include <string.h>
#include <sys/socket.h>
#include <sys/un.h>
#include <unistd.h>

#define FAILURE 125

extern char **environ;

struct buffer {
	char *data;
	size_t size;
	size_t capacity;
};

static void fail(const char *what)
{
	fprintf(stderr, "ferrund-invoke: %s\n", what);
	exit(FAILURE);
}

static void append(struct buffer *b, const void *data, size_t size)
{
	if (b->size + size > b->capacity) {
		size_t capacity = b->capacity ? b->capacity : 4096;
		while (capacity < b->size + size)
			capacity *= 2;
		b->data = realloc(b->data, capacity);
		if (!b->data)
			fail("memory exhausted");
		b->capacity = capacity;
	}
	memcpy(b->data + b->size, data, size);
	b->size += size;
}

static void append_word(struct buffer *b, uint32_t value)
{
	append(b, &value, sizeof value);
}

static void append_string(struct buffer *b, const char *s)
{
	size_t length = strlen(s);

	if (length > FERRUND_MAX_STRING)
		fail("argument or environment entry too long");
	append_word(b, (uint32_t)length);
	append(b, s, length);
}

// The booster runs elsewhere: it needs the program as an absolute path.
static char *resolve_program(const char *name)
{
	char resolved[PATH_MAX];

	if (strchr(name, '/'))
		return realpath(name, resolved) ? strdup(resolved) : NULL;
	const char *path = getenv("PATH");
	if (!path)
		path = "/usr/bin:/bin";
	while (*path) {
		size_t n = strcspn(path, ":");
		char candidate[PATH_MAX];
		if (n > 0 && snprintf(candidate, sizeof candidate, "%.*s/%s", (int)n, path, name) < (int)sizeof candidate &&
		    access(candidate, X_OK) == 0 && realpath(candidate, resolved))
			return strdup(resolved);
		path += n;
		if (*path == ':')
			path++;
	}
	return NULL;
}

static int read_fully(int fd, void *data, size_t size)
{
	char *p = data;

	while (size > 0) {
		ssize_t n = read(fd, p, size);
		if (n < 0 && errno == EINTR)
			continue;
		if (n <= 0)
			return -1;
		p += n;
		size -= (size_t)n;
	}
	return 0;
}

static int read_message(int fd, const char *magic, uint32_t *value)
{
	char message[8];

	if (read_fully(fd, message, sizeof message) != 0 || memcmp(message, magic, 4) != 0)
		return -1;
	memcpy(value, message + 4, sizeof *value);
	return 0;
}

static void usage(void)
{
	fprintf(stderr, "Usage: ferrund-invoke [-w] [-s SOCKET] PROGRAM [ARGUMENT]...\n"
			"  -w  wait for the program and exit with its status\n"
			"  -s  the booster's socket (default /tmp/boosty)\n");
	exit(FAILURE);
}

int main(int argc, char **argv)
{
	const char *socket_path = "/tmp/boosty";
	uint32_t flags = 0;
	int opt;

	while ((opt = getopt(argc, argv, "+ws:")) != -1) {
		if (opt == 'w')
			flags |= FERRUND_WAIT_EXIT;
		else if (opt == 's')
			socket_path = optarg;
		else
			usage();
	}
	if (optind >= argc)
		usage();
	if ((unsigned)(argc - optind) > FERRUND_MAX_ARGS)
		fail("too many arguments");

	char *program = resolve_program(argv[optind]);
	if (!program)
		fail("program not found");
	char cwd[PATH_MAX];
	if (!getcwd(cwd, sizeof cwd))
		fail("cannot read the working directory");

	struct buffer request = { NULL, 0, 0 };
	append(&request, FERRUND_MAGIC_REQUEST, 4);
	append_word(&request, FERRUND_PROTOCOL_VERSION);
	append_word(&request, flags);
	append_word(&request, (uint32_t)(argc - optind));
	append_string(&request, program);
	for (int i = optind + 1; i < argc; i++)
		append_string(&request, argv[i]);
	uint32_t envc = 0;
	while (environ[envc] && envc < FERRUND_MAX_ENV)
		envc++;
	append_word(&request, envc);
	for (uint32_t i = 0; i < envc; i++)
		append_string(&request, environ[i]);
	append_string(&request, cwd);

	struct sockaddr_un addr = { .sun_family = AF_UNIX };
	if (strlen(socket_path) >= sizeof addr.sun_path)
		fail("socket path too long");
	strcpy(addr.sun_path, socket_path);
	int fd = socket(AF_UNIX, SOCK_STREAM, 0);
	if (fd < 0 || connect(fd, (struct sockaddr *)&addr, sizeof addr) != 0)
		fail("cannot connect to the booster");
	size_t done = 0;
	while (done < request.size) {
		ssize_t n = send(fd, request.data + done, request.size - done, MSG_NOSIGNAL);
		if (n < 0 && errno == EINTR)
			continue;
		if (n <= 0)
			fail("cannot send the launch request");
		done += (size_t)n;
	}
	free(request.data);
	free(program);

	uint32_t value;
	if (read_message(fd, FERRUND_MAGIC_ACCEPT, &value) != 0)
		fail("the booster refused the launch request");
	if (!(flags & FERRUND_WAIT_EXIT))
		return 0;
	if (read_message(fd, FERRUND_MAGIC_EXIT, &value) != 0)
		fail("the application ended without an exit status");
	return (int)(value & 0xff);
}
