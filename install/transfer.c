// SPDX-License-Identifier: GPL-2.0-or-later
#define _GNU_SOURCE
#include "transfer.h"

#include <acl/libacl.h>
#include <errno.h>
#include <error.h>
#include <fcntl.h>
#include <stdint.h>
#include <stdlib.h>
#include <string.h>
#include <sys/acl.h>
#include <sys/time.h>
#include <unistd.h>

#include "fileutil.h"
#include "frame.h"
#include "quote.h"
#include "xalloc.h"

// Block sizes above this are not believed.
#define BLOCK_SIZE_MAX 0x20000000
// Some kernels refuse larger single writes with EINVAL.
#define WRITE_MAX 0x7fffe000

static size_t usable_block_size(const struct stat *st)
{
	if (st->st_blksize > 0 && st->st_blksize <= BLOCK_SIZE_MAX)
		return (size_t)st->st_blksize;
	return 512;
}

static size_t gcd(size_t a, size_t b)
{
	while (b) {
		size_t r = a % b;
		a = b;
		b = r;
	}
	return a;
}

static size_t common_block_size(size_t a, size_t b, size_t limit)
{
	size_t size;

	if (a == 0)
		size = b ? b : 8192;
	else if (b == 0)
		size = a;
	else {
		size_t q = a / gcd(a, b);
		size_t lcm;
		if (__builtin_mul_overflow(q, b, &lcm) || lcm > limit)
			size = a;
		else
			size = lcm;
	}
	return size < limit ? size : limit;
}

// The chunk size of a copy without holes: at least 8 KiB, a multiple of both
// block sizes where possible, no larger than a small regular source needs.
static size_t plain_chunk_size(const struct stat *src, size_t dst_block, size_t align)
{
	size_t size_limit = 2147483647 - (align + 3);
	size_t common = common_block_size(usable_block_size(src), dst_block, size_limit);
	size_t chunk = common > 8192 ? common : 8192;

	if (S_ISREG(src->st_mode) && src->st_size < (off_t)chunk)
		chunk = (size_t)src->st_size + 1;
	chunk = (chunk + common - 1) / common * common;
	if (chunk == 0 || chunk > size_limit)
		chunk = common;
	return chunk;
}

// Whole words are tested first: sixteen vector words at a time, with
// independent ORs, while they fit in the chunk; then single words and bytes
// up to the first non-zero byte, which the non-zero sentinel after the chunk
// guarantees without a length check.
typedef uint64_t zero_vector __attribute__((vector_size(16)));

static bool is_all_zeros(const char *chunk, size_t length)
{
	const char *p = chunk;
	const char *end = chunk + length;
	const size_t block = 16 * sizeof(zero_vector);
	uint32_t word;

	while ((size_t)(end - p) >= block) {
		zero_vector any[8];
		for (int i = 0; i < 8; i++) {
			zero_vector a, b;
			memcpy(&a, p + 32 * i, sizeof a);
			memcpy(&b, p + 32 * i + sizeof a, sizeof b);
			any[i] = a | b;
		}
		any[0] = ((any[0] | any[1]) | (any[2] | any[3])) |
			 ((any[4] | any[5]) | (any[6] | any[7]));
		if (any[0][0] | any[0][1])
			break;
		p += block;
	}
	for (;; p += sizeof word) {
		memcpy(&word, p, sizeof word);
		if (word)
			break;
	}
	while (*p == 0)
		p++;
	return p == end;
}

static ssize_t write_once(int fd, const char *buf, size_t count)
{
	for (;;) {
		ssize_t n = write(fd, buf, count);
		if (n >= 0)
			return n;
		if (errno == EINTR)
			continue;
		if (errno == EINVAL && count > WRITE_MAX) {
			count = WRITE_MAX;
			continue;
		}
		return n;
	}
}

// Returns false with errno when not all of buf was written.
static bool write_all(int fd, const char *buf, size_t count)
{
	while (count > 0) {
		ssize_t n = write_once(fd, buf, count);
		if (n < 0)
			return false;
		if (n == 0) {
			errno = ENOSPC;
			return false;
		}
		buf += n;
		count -= (size_t)n;
	}
	return true;
}

static ssize_t read_once(int fd, char *buf, size_t count)
{
	for (;;) {
		ssize_t n = read(fd, buf, count);
		if (n >= 0 || errno != EINTR)
			return n;
	}
}

struct transfer {
	const char *source;
	const char *destination;
	int src_fd;
	int dst_fd;
	const struct stat *src; // of the open source
	const struct stat *dst; // of the new destination
};

static bool copy_data(const struct transfer *t, const struct copy_options *options)
{
	size_t page = (size_t)sysconf(_SC_PAGESIZE);
	size_t align = page / gcd(page, 4) * 4;
	size_t chunk = usable_block_size(t->dst);
	bool make_holes = false;

	if (S_ISREG(t->dst->st_mode)) {
		if (options->sparse_mode == SPARSE_ALWAYS)
			make_holes = true;
		else if (options->sparse_mode == SPARSE_AUTO && S_ISREG(t->src->st_mode) &&
			 (int64_t)t->src->st_blocks < (int64_t)t->src->st_size / 512)
			make_holes = true;
	}
	if (!make_holes)
		chunk = plain_chunk_size(t->src, chunk, align);

	char *allocation = checked_malloc(chunk + align + 3);
	char *buf = allocation + (align - (uintptr_t)allocation % align) % align;
	bool ok = false;
	bool last_was_hole = false;
	off_t total = 0;

	for (;;) {
		ssize_t n = read_once(t->src_fd, buf, chunk);
		if (n < 0) {
			error(0, errno, _("reading %s"), quote_name(t->source));
			goto out_free;
		}
		if (n == 0)
			break;
		total += n;

		if (make_holes) {
			buf[n] = 1;
			if (is_all_zeros(buf, (size_t)n)) {
				if (lseek(t->dst_fd, n, SEEK_CUR) < 0) {
					error(0, errno, _("cannot lseek %s"),
					      quote_name(t->destination));
					goto out_free;
				}
				last_was_hole = true;
				continue;
			}
		}
		if (!write_all(t->dst_fd, buf, (size_t)n)) {
			error(0, errno, _("writing %s"), quote_name(t->destination));
			goto out_free;
		}
		last_was_hole = false;
		// a short read of a regular file is its end
		if ((size_t)n < chunk && S_ISREG(t->src->st_mode)) {
			ok = true;
			goto out_free;
		}
	}

	if (last_was_hole && ftruncate(t->dst_fd, total) < 0) {
		error(0, errno, _("writing %s"), quote_name(t->destination));
		goto out_free;
	}
	ok = true;
out_free:
	free(allocation);
	return ok;
}

bool transfer_regular(const char *source, const struct copy_dest *dest,
		      const struct copy_options *options, const struct stat *source_status,
		      int *dest_fd)
{
	const char *destination = dest->name;
	struct stat src, dst;
	struct transfer t = {
		.source = source,
		.destination = destination,
		.src = &src,
		.dst = &dst,
	};

	t.src_fd = open_not_std(source, O_RDONLY, 0);
	if (t.src_fd < 0) {
		error(0, errno, _("cannot open %s for reading"), quote_name(source));
		return false;
	}
	if (fstat(t.src_fd, &src) != 0) {
		error(0, errno, _("cannot fstat %s"), quote_name(source));
		goto out_close_src;
	}
	if (src.st_ino != source_status->st_ino || src.st_dev != source_status->st_dev) {
		error(0, 0, _("skipping file %s, as it was replaced while being copied"),
		      quote_name(source));
		goto out_close_src;
	}

	// Until its mode is forced the new file must not be open to others:
	// with a file-creation mask of 0 they could open it for writing now and
	// keep that descriptor after the final mode is set.
	mode_t create_mode = source_status->st_mode & 0777;
	if (options->force_mode)
		create_mode &= options->forced_mode;
	t.dst_fd = open_not_std_at(dest->dirfd, dest->at_name,
				   O_WRONLY | O_CREAT | O_EXCL | O_CLOEXEC, create_mode);
	if (t.dst_fd < 0) {
		error(0, errno, _("cannot create regular file %s"), quote_name(destination));
		goto out_close_src;
	}
	if (fstat(t.dst_fd, &dst) != 0) {
		error(0, errno, _("cannot fstat %s"), quote_name(destination));
		goto out_close_dst;
	}

	if (!(S_ISREG(src.st_mode) && src.st_size == 0) && !copy_data(&t, options))
		goto out_close_dst;

	if (options->keep_times) {
		struct timespec times[2] = { source_status->st_atim, source_status->st_mtim };
		if (set_times_fd(t.dst_fd, destination, times) != 0)
			error(0, errno, _("preserving times for %s"), quote_name(destination));
	}
	if (set_mode_acl(destination, t.dst_fd, options->forced_mode) != 0)
		goto out_close_dst;

	bool ok = true;
	if (dest_fd)
		*dest_fd = t.dst_fd;
	else if (close(t.dst_fd) != 0) {
		error(0, errno, _("closing %s"), quote_name(destination));
		ok = false;
	}
	if (close(t.src_fd) != 0) {
		error(0, errno, _("closing %s"), quote_name(source));
		ok = false;
	}
	return ok;

out_close_dst:
	(void)close(t.dst_fd);
out_close_src:
	(void)close(t.src_fd);
	return false;
}

int set_mode_acl(const char *name, int fd, mode_t mode)
{
	acl_t acl = acl_from_mode(mode);
	if (!acl) {
		error(0, errno, "%s", quote_name(name));
		return -1;
	}
	if (acl_set_fd(fd, acl) == 0) {
		(void)acl_free(acl);
		return 0;
	}

	int err = errno;
	(void)acl_free(acl);
	if (err == ENOTSUP || err == ENOSYS || err == EINVAL) {
		if (fchmod(fd, mode) == 0)
			return 0;
		err = errno;
	}
	error(0, err, _("setting permissions for %s"), quote_name(name));
	return -1;
}

static void to_timevals(const struct timespec times[2], struct timeval tv[2])
{
	for (int i = 0; i < 2; i++) {
		tv[i].tv_sec = times[i].tv_sec;
		tv[i].tv_usec = times[i].tv_nsec / 1000;
	}
}

int set_times_fd(int fd, const char *name, const struct timespec times[2])
{
	struct timeval tv[2];

	to_timevals(times, tv);
	if (futimesat(fd, NULL, tv) == 0)
		return 0;

	// the name may have been replaced by a link since the file was made
	struct timespec ts[2];
	for (int i = 0; i < 2; i++) {
		ts[i].tv_sec = tv[i].tv_sec;
		ts[i].tv_nsec = tv[i].tv_usec * 1000;
	}
	return utimensat(AT_FDCWD, name, ts, AT_SYMLINK_NOFOLLOW);
}
