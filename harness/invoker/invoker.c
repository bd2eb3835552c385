// SPDX-License-Identifier: GPL-2.0-or-later
// ferrund-invoke: asks a booster to start a program (see protocol.h).
#include "protocol.h"

#include <errno.h>
#include <limits.h>
#include <poll.h>
#include <stdint.h>
#include <stdio.h>
#include <stdlib.h>
#include <string.h>
#include <sys/socket.h>
#include <sys/time.h>
#include <sys/un.h>
#include <time.h>
#include <unistd.h>

#define FAILURE 125
// Long enough for a booster that is still warming up on a busy device.
#define DEFAULT_TIMEOUT_SECONDS 30

extern char **environ;

static int timeout_seconds = DEFAULT_TIMEOUT_SECONDS;

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
		if (n > 0 &&
		    snprintf(candidate, sizeof candidate, "%.*s/%s", (int)n, path, name) <
			    (int)sizeof candidate &&
		    access(candidate, X_OK) == 0 && realpath(candidate, resolved))
			return strdup(resolved);
		path += n;
		if (*path == ':')
			path++;
	}
	return NULL;
}

static long long now_ms(void)
{
	struct timespec ts;

	clock_gettime(CLOCK_MONOTONIC, &ts);
	return (long long)ts.tv_sec * 1000 + ts.tv_nsec / 1000000;
}

// Waits for events on fd until deadline (milliseconds of now_ms, or -1 for
// no limit); 0 when they came, -1 when the time ran out.
static int wait_for(int fd, short events, long long deadline)
{
	for (;;) {
		long long left = deadline < 0 ? -1 : deadline - now_ms();
		if (deadline >= 0 && left <= 0)
			return -1;
		struct pollfd p = { .fd = fd, .events = events };
		int r = poll(&p, 1, left > INT_MAX ? INT_MAX : (int)left);
		if (r > 0)
			return 0;
		if (r < 0 && errno != EINTR)
			return -1;
	}
}

static int read_fully(int fd, void *data, size_t size, long long deadline)
{
	char *p = data;

	while (size > 0) {
		if (wait_for(fd, POLLIN, deadline) != 0)
			return -1;
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

static int read_message(int fd, const char *magic, uint32_t *value, long long deadline)
{
	char message[8];

	if (read_fully(fd, message, sizeof message, deadline) != 0 ||
	    memcmp(message, magic, 4) != 0)
		return -1;
	memcpy(value, message + 4, sizeof *value);
	return 0;
}

static void usage(void)
{
	fprintf(stderr,
		"Usage: ferrund-invoke [-w] [-s SOCKET] [-t SECONDS] PROGRAM [ARGUMENT]...\n"
		"  -w  wait for the program and exit with its status\n"
		"  -s  the booster's socket (default /tmp/boosty)\n"
		"  -t  give up when no booster has taken the request in this time (default %d)\n",
		DEFAULT_TIMEOUT_SECONDS);
	exit(FAILURE);
}

static int parse_seconds(const char *text)
{
	char *end;
	errno = 0;
	long seconds = strtol(text, &end, 10);

	if (errno || end == text || *end || seconds < 1 || seconds > 24 * 3600)
		usage();
	return (int)seconds;
}

static void fail_timeout(void)
{
	fprintf(stderr, "ferrund-invoke: no booster took the launch request within %d s\n",
		timeout_seconds);
	exit(FAILURE);
}

// Connects within the time left: a booster that does not accept leaves the
// connection queued, and once the queue is full connect itself would block.
static int connect_booster(const char *socket_path, long long deadline)
{
	struct sockaddr_un addr = { .sun_family = AF_UNIX };
	if (strlen(socket_path) >= sizeof addr.sun_path)
		fail("socket path too long");
	strcpy(addr.sun_path, socket_path);
	int fd = socket(AF_UNIX, SOCK_STREAM | SOCK_CLOEXEC, 0);
	if (fd < 0)
		fail("cannot connect to the booster");
	long long left = deadline - now_ms();
	struct timeval limit = { .tv_sec = left / 1000, .tv_usec = (left % 1000) * 1000 };
	if (setsockopt(fd, SOL_SOCKET, SO_SNDTIMEO, &limit, sizeof limit) != 0)
		fail("cannot connect to the booster");
	if (connect(fd, (struct sockaddr *)&addr, sizeof addr) != 0) {
		if (errno == EAGAIN || errno == EINPROGRESS)
			fail_timeout();
		fail("cannot connect to the booster");
	}
	return fd;
}

int main(int argc, char **argv)
{
	const char *socket_path = "/tmp/boosty";
	uint32_t flags = 0;
	int opt;

	while ((opt = getopt(argc, argv, "+ws:t:")) != -1) {
		if (opt == 'w')
			flags |= FERRUND_WAIT_EXIT;
		else if (opt == 's')
			socket_path = optarg;
		else if (opt == 't')
			timeout_seconds = parse_seconds(optarg);
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

	const long long deadline = now_ms() + timeout_seconds * 1000LL;
	int fd = connect_booster(socket_path, deadline);
	size_t done = 0;
	while (done < request.size) {
		if (wait_for(fd, POLLOUT, deadline) != 0)
			fail_timeout();
		ssize_t n = send(fd, request.data + done, request.size - done,
				 MSG_NOSIGNAL | MSG_DONTWAIT);
		if (n < 0 && (errno == EINTR || errno == EAGAIN))
			continue;
		if (n <= 0)
			fail("cannot send the launch request");
		done += (size_t)n;
	}
	free(request.data);
	free(program);

	uint32_t value;
	if (wait_for(fd, POLLIN, deadline) != 0)
		fail_timeout();
	if (read_message(fd, FERRUND_MAGIC_ACCEPT, &value, deadline) != 0)
		fail("the booster refused the launch request");
	if (!(flags & FERRUND_WAIT_EXIT))
		return 0;
	// The application may run for as long as it likes.
	if (read_message(fd, FERRUND_MAGIC_EXIT, &value, -1) != 0)
		fail("the application ended without an exit status");
	return (int)(value & 0xff);
}
