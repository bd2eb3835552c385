// SPDX-License-Identifier: GPL-2.0-or-later
// The assertions are part of the program's behaviour, in every build type.
#undef NDEBUG
#include "vexlink.h"

#include <assert.h>
#include <dirent.h>
#include <errno.h>
#include <fcntl.h>
#include <string.h>
#include <sys/stat.h>
#include <unistd.h>

#include <openssl/bio.h>
#include <openssl/buffer.h>
#include <openssl/crypto.h>
#include <openssl/err.h>
#include <openssl/pem.h>

int verbose;

#ifdef VEXLINK_HASH_SEAM
uint32_t (*vexlink_hash_seam)(const X509_NAME *name);
#endif

static const char usage_text[] = "usage: vexlink [options...] [--] [dirs...]\n"
				 "options:\n"
				 "    -certonly  rehash only certificates\n"
				 "    -crlonly   rehash only CRLs\n"
				 "    -version   print version\n"
				 "    -help      print this help\n"
				 "    -h         print this help\n"
				 "    -v         verbose warnings\n";

static void write_stderr_fd(const char *text)
{
	ssize_t n = write(2, text, strlen(text));

	(void)n;
}

// Bytes of a name that a terminal may act on; 0 cannot occur inside one.
static const char control_bytes[] =
	"\001\002\003\004\005\006\007\010\011\012\013\014\015\016\017"
	"\020\021\022\023\024\025\026\027\030\031\032\033\034\035\036\037"
	"\177";

// Writes name with each control byte as a backslash and three octal digits,
// so that whoever names an entry cannot drive the reader's terminal.
static void put_name(const char *name, FILE *out)
{
	size_t span;

	for (;;) {
		span = strcspn(name, control_bytes);
		(void)fwrite(name, 1, span, out);
		name += span;
		if (*name == '\0')
			return;
		fprintf(out, "\\%03o", (unsigned char)*name++);
	}
}

// perror() with the name written by put_name().
static void report_error(const char *name)
{
	int err = errno;

	put_name(name, stderr);
	fprintf(stderr, "%s%s\n", *name ? ": " : "", strerror(err));
}

// A message about one file of a registry: text, kind name, file name.
static void report_file(const char *text, const char *kind_name, const char *filename)
{
	fprintf(stderr, "%s %s ", text, kind_name);
	put_name(filename, stderr);
	fputc('\n', stderr);
}

NameList *NameList_new(void)
{
	return OPENSSL_zalloc(sizeof(NameList));
}

int NameList_push(NameList *list, char *item)
{
	if (list->count == list->capacity) {
		uint64_t want = 2 * (uint64_t)list->capacity + 2;
		char **items;

		if (want > UINT32_MAX || want > SIZE_MAX / sizeof(*items))
			return ERR_NOMEM;
		items = OPENSSL_realloc(list->items, want * sizeof(*items));
		if (!items)
			return ERR_NOMEM;
		list->items = items;
		list->capacity = (uint32_t)want;
	}
	list->items[list->count++] = item;
	return ERR_NONE;
}

void NameList_free(NameList *list)
{
	if (!list)
		return;
	OPENSSL_free(list->items);
	OPENSSL_free(list);
}

static void free_names(NameList *list)
{
	uint32_t i;

	if (!list)
		return;
	for (i = 0; i < list->count; i++)
		OPENSSL_free(list->items[i]);
	NameList_free(list);
}

// Copies every entry name of d that keep() accepts into list.
static int collect_names(DIR *d, NameList *list, int (*keep)(const char *name, int kinds),
			 int kinds)
{
	struct dirent *entry;

	while ((entry = readdir(d)) != NULL) {
		char *copy;

		if (!keep(entry->d_name, kinds))
			continue;
		copy = BUF_strdup(entry->d_name);
		if (!copy)
			return ERR_NOMEM;
		if (NameList_push(list, copy) != ERR_NONE) {
			OPENSSL_free(copy);
			return ERR_NOMEM;
		}
	}
	return ERR_NONE;
}

static char *path_join(const char *dir, const char *name)
{
	size_t size = strlen(dir) + strlen(name) + 2;
	char *path = OPENSSL_malloc(size);

	if (path)
		BIO_snprintf(path, size, "%s/%s", dir, name);
	return path;
}

// libcrypto's PEM readers give a null result at the end of the objects of
// a kind, for a corrupt block and when memory ran out. The end leaves a
// reason in the error queue (at least "no start line"), a failed allocation
// one for memory; but a block whose base64 is corrupt leaves none, and
// neither do some failed allocations of the PEM reader.
enum { READ_END, READ_NOMEM, READ_UNCLEAR };

static int read_failure(void)
{
	unsigned long e;
	int seen = 0, nomem = 0;

	while ((e = ERR_get_error()) != 0) {
		seen = 1;
		if (ERR_GET_REASON(e) == ERR_R_MALLOC_FAILURE)
			nomem = 1;
	}
	return nomem ? READ_NOMEM : seen ? READ_END : READ_UNCLEAR;
}

// An encrypted block would otherwise make libcrypto ask for a pass phrase on
// the terminal, or on standard input, and wait there; refused, the object
// is unreadable like any other.
static int refuse_pass_phrase(char *buf, int size, int rwflag, void *data)
{
	(void)buf;
	(void)size;
	(void)rwflag;
	(void)data;
	return -1;
}

static void *read_cert(FILE *fp)
{
	return PEM_read_X509_AUX(fp, NULL, refuse_pass_phrase, NULL);
}

static void *read_crl(FILE *fp)
{
	return PEM_read_X509_CRL(fp, NULL, refuse_pass_phrase, NULL);
}

// Reads the next object with read into *object (NULL at the end). A failure
// that leaves no reason is read once more from the same place: a corrupt
// block fails again and ends the file for this kind, while a passing
// shortage of memory does not.
static int read_object(FILE *fp, void *(*read)(FILE *), void **object)
{
	long start = ftell(fp);

	for (int attempt = 0;; attempt++) {
		ERR_clear_error();
		*object = read(fp);
		if (*object)
			return ERR_NONE;
		switch (read_failure()) {
		case READ_END:
			return ERR_NONE;
		case READ_NOMEM:
			return ERR_NOMEM;
		}
		if (attempt > 0)
			return ERR_NONE;
		if (start < 0 || fseek(fp, start, SEEK_SET) != 0)
			return ERR_NOMEM;
	}
}

int read_cert_name(X509_NAME **name, FILE *fp)
{
	void *x;
	int r;

	*name = NULL;
	r = read_object(fp, read_cert, &x);
	if (!x)
		return r;
	*name = X509_NAME_dup(X509_get_subject_name(x));
	X509_free(x);
	return *name ? ERR_NONE : ERR_NOMEM;
}

int read_crl_name(X509_NAME **name, FILE *fp)
{
	void *crl;
	int r;

	*name = NULL;
	r = read_object(fp, read_crl, &crl);
	if (!crl)
		return r;
	*name = X509_NAME_dup(X509_CRL_get_issuer(crl));
	X509_CRL_free(crl);
	return *name ? ERR_NONE : ERR_NOMEM;
}

// The hash fails only when libcrypto cannot allocate its digest context.
static int name_hash(const X509_NAME *name, uint32_t *hash)
{
	int ok = 0;
	unsigned long h;

#ifdef VEXLINK_HASH_SEAM
	if (vexlink_hash_seam) {
		*hash = vexlink_hash_seam(name);
		return ERR_NONE;
	}
#endif
	h = X509_NAME_hash_ex(name, NULL, NULL, &ok);
	*hash = (uint32_t)h;
	return ok ? ERR_NONE : ERR_NOMEM;
}

int HashMaker_new(HashMaker **out, const char *dir, const char *suffix, const char *kind_name,
		  HashMaker_reader reader)
{
	HashMaker *obj = OPENSSL_zalloc(sizeof(*obj));

	*out = obj;
	if (!obj)
		return ERR_NOMEM;
	obj->dir = dir;
	obj->suffix = suffix;
	obj->kind_name = kind_name;
	obj->reader = reader;
	return ERR_NONE;
}

void HashMaker_free(HashMaker *obj)
{
	uint32_t i;

	if (!obj)
		return;
	for (i = 0; i < obj->n_slots; i++)
		X509_NAME_free(obj->slots[i]);
	OPENSSL_free(obj->slots);
	OPENSSL_free(obj);
}

// Moves the names into a table of (n_xns + 1) * 16 slots; on failure the
// registry is left as it was.
static int HashMaker_grow(HashMaker *obj)
{
	uint32_t n_slots, rehash_count = 0, i, h, pos;
	X509_NAME **slots;
	size_t bytes;

	if (obj->n_xns >= UINT32_MAX / 16)
		return ERR_NOMEM;
	n_slots = (obj->n_xns + 1) * 16;
	if (__builtin_mul_overflow(n_slots, sizeof(*slots), &bytes))
		return ERR_NOMEM;
	slots = OPENSSL_zalloc(bytes);
	if (!slots)
		return ERR_NOMEM;
	for (i = 0; i < obj->n_slots; i++) {
		if (!obj->slots[i])
			continue;
		if (name_hash(obj->slots[i], &h) != ERR_NONE) {
			OPENSSL_free(slots);
			return ERR_NOMEM;
		}
		for (pos = h % n_slots; slots[pos]; pos = (pos + 1) % n_slots)
			;
		slots[pos] = obj->slots[i];
		rehash_count++;
	}
	assert(rehash_count == obj->n_xns);
	OPENSSL_free(obj->slots);
	obj->slots = slots;
	obj->n_slots = n_slots;
	return ERR_NONE;
}

int HashMaker_register_x509_name(HashMaker *obj, X509_NAME *name, uint32_t *index, uint32_t *hash)
{
	uint32_t h, other, pos, count = 0;

	if (name_hash(name, &h) != ERR_NONE)
		return ERR_NOMEM;
	if (((uint64_t)obj->n_xns + 1) * 8 > obj->n_slots && HashMaker_grow(obj) != ERR_NONE)
		return ERR_NOMEM;
	for (pos = h % obj->n_slots; obj->slots[pos]; pos = (pos + 1) % obj->n_slots) {
		if (name_hash(obj->slots[pos], &other) != ERR_NONE)
			return ERR_NOMEM;
		if (other != h)
			continue;
		if (X509_NAME_cmp(obj->slots[pos], name) == 0)
			return ERR_DUPLICATE;
		count++;
	}
	obj->slots[pos] = name;
	obj->n_xns++;
	if (index)
		*index = count;
	if (hash)
		*hash = h;
	return ERR_NONE;
}

static int write_all(int fd, const char *buf, size_t len)
{
	while (len > 0) {
		ssize_t done = write(fd, buf, len);

		if (done < 0 && errno == EINTR)
			continue;
		if (done <= 0)
			return -1;
		buf += done;
		len -= (size_t)done;
	}
	return 0;
}

static void close_keeping_errno(int fd)
{
	int saved = errno;

	(void)close(fd);
	errno = saved;
}

int copy_file(const char *source, const char *target)
{
	char buf[8192];
	struct stat st;
	ssize_t got;
	int in, out, r = 0;

	in = open(source, O_RDONLY | O_CLOEXEC);
	if (in < 0)
		return 1;
	if (fstat(in, &st) != 0) {
		r = 1;
		goto out_close_in;
	}
	// No more open than its source: a private file gets a private copy.
	out = open(target, O_WRONLY | O_CREAT | O_EXCL | O_CLOEXEC, 0644 & st.st_mode);
	if (out < 0) {
		r = 2;
		goto out_close_in;
	}
	for (;;) {
		got = read(in, buf, sizeof(buf));
		if (got < 0 && errno == EINTR)
			continue;
		if (got < 0) {
			r = 1;
			break;
		}
		if (got == 0)
			break;
		if (write_all(out, buf, (size_t)got) != 0) {
			r = 2;
			break;
		}
	}
	// A file system may report a failed write only at close.
	if (r != 0)
		close_keeping_errno(out);
	else if (close(out) != 0)
		r = 2;
out_close_in:
	close_keeping_errno(in);
	return r;
}

// Places a symbolic link (or, where the file system has none, a copy) to
// filename under the link name for hash and index.
static int make_link(HashMaker *obj, const char *path, const char *filename, uint32_t hash,
		     uint32_t index)
{
	size_t dir_len = strlen(obj->dir);
	size_t size = dir_len + strlen(obj->suffix) + 22;
	char *link_path = OPENSSL_malloc(size);
	const char *link_name;

	if (!link_path)
		return ERR_NOMEM;
	BIO_snprintf(link_path, size, "%s/%08x.%s%d", obj->dir, (unsigned)hash, obj->suffix,
		     (int)index);
	link_name = link_path + dir_len + 1;
	if (verbose)
		printf(" %s", link_name);
	if (symlink(filename, link_path) != 0) {
		if (errno == EPERM || errno == EOPNOTSUPP || errno == EINVAL) {
			switch (copy_file(path, link_path)) {
			case 1:
				report_error(filename);
				break;
			case 2:
				report_error(link_name);
				break;
			}
		} else {
			report_error(link_name);
		}
	}
	OPENSSL_free(link_path);
	return ERR_NONE;
}

// O_NONBLOCK stays set: it changes nothing for regular files, and a FIFO or
// terminal named like a certificate then reads as empty instead of blocking
// the whole run.
static int open_stream(const char *path, FILE **out)
{
	int fd;

	*out = NULL;
	fd = open(path, O_RDONLY | O_NONBLOCK | O_CLOEXEC);
	if (fd < 0)
		return -1;
	*out = fdopen(fd, "r");
	if (!*out) {
		(void)close(fd);
		return ERR_NOMEM;
	}
	return ERR_NONE;
}

int HashMaker_add_file(HashMaker *obj, const char *filename)
{
	X509_NAME *name;
	uint32_t index, hash;
	char *path;
	FILE *fp;
	int r;

	path = path_join(obj->dir, filename);
	if (!path)
		return ERR_NOMEM;
	r = open_stream(path, &fp);
	if (r != ERR_NONE) {
		if (r < 0)
			report_error(path);
		OPENSSL_free(path);
		return r < 0 ? ERR_NONE : r;
	}
	for (;;) {
		r = obj->reader(&name, fp);
		if (r != ERR_NONE || !name)
			break;
		r = HashMaker_register_x509_name(obj, name, &index, &hash);
		if (r == ERR_DUPLICATE) {
			if (verbose)
				report_file("WARNING: Skiping duplicate", obj->kind_name, filename);
			X509_NAME_free(name);
			continue;
		}
		if (r != ERR_NONE) {
			X509_NAME_free(name);
			break;
		}
		if (index > 999) {
			report_file("Too many hash collisions:", obj->kind_name, filename);
			continue;
		}
		r = make_link(obj, path, filename, hash, index);
		if (r != ERR_NONE)
			break;
	}
	(void)fclose(fp);
	OPENSSL_free(path);
	return r;
}

static int is_hex_digit(char c)
{
	return (c >= '0' && c <= '9') || (c >= 'a' && c <= 'f') || (c >= 'A' && c <= 'F');
}

int is_hash_link_name(const char *name, int kinds)
{
	const char *p;
	int i;

	for (i = 0; i < 8; i++)
		if (!is_hex_digit(name[i]))
			return 0;
	if (name[8] != '.')
		return 0;
	p = name + 9;
	if (*p == 'r') {
		if (!(kinds & KIND_CRL))
			return 0;
		p++;
	} else if (!(kinds & KIND_CERT)) {
		return 0;
	}
	if (*p == '\0')
		return 0;
	for (; *p; p++)
		if (*p < '0' || *p > '9')
			return 0;
	return 1;
}

static int is_pem_name(const char *name, int kinds)
{
	size_t len = strlen(name);

	(void)kinds;
	return len > 4 &&
	       (strcmp(name + len - 4, ".pem") == 0 || strcmp(name + len - 4, ".crt") == 0);
}

int split_cert_dir_list(char *list, int (*each)(const char *dir, void *ctx), void *ctx)
{
	char *start = list, *sep;
	int r;

	// An element that is empty (after a final ':') ends the search.
	while (start[0] != '\0' && (sep = strchr(start + 1, ':')) != NULL) {
		*sep = '\0';
		if (start[1] != '\0' && (r = each(start, ctx)) != ERR_NONE)
			return r;
		start = sep + 1;
	}
	if (start[0] != '\0' && start[1] != '\0')
		return each(start, ctx);
	return ERR_NONE;
}

int purge_links(const char *dir, int kinds)
{
	NameList *names;
	uint32_t i;
	DIR *d;
	int r;

	d = opendir(dir);
	if (!d)
		return ERR_NODIR;
	names = NameList_new();
	if (!names) {
		r = ERR_NOMEM;
		goto out_close_dir;
	}
	r = collect_names(d, names, is_hash_link_name, kinds);
	for (i = 0; r == ERR_NONE && i < names->count; i++) {
		char *path = path_join(dir, names->items[i]);

		if (!path) {
			r = ERR_NOMEM;
			break;
		}
		if (unlink(path) != 0)
			report_error(names->items[i]);
		OPENSSL_free(path);
	}
	free_names(names);
out_close_dir:
	(void)closedir(d);
	return r;
}

static int link_file(HashMaker *certs, HashMaker *crls, const char *name)
{
	int r = ERR_NONE;

	if (verbose) {
		put_name(name, stdout);
		fputs(" =>", stdout);
	}
	if (certs)
		r = HashMaker_add_file(certs, name);
	if (r == ERR_NONE && crls)
		r = HashMaker_add_file(crls, name);
	if (r == ERR_NONE && verbose)
		putchar('\n');
	return r;
}

int link_directory(const char *dir, int kinds)
{
	HashMaker *certs = NULL, *crls = NULL;
	NameList *names;
	uint32_t i;
	DIR *d;
	int r;

	if (verbose) {
		fputs("Doing ", stdout);
		put_name(dir, stdout);
		putchar('\n');
	}
	r = purge_links(dir, kinds);
	if (r == ERR_NODIR) {
		report_error(dir);
		return ERR_NONE;
	}
	if (r != ERR_NONE)
		return r;
	d = opendir(dir);
	if (!d) {
		report_error(dir);
		return ERR_NONE;
	}
	names = NameList_new();
	if (!names) {
		r = ERR_NOMEM;
		goto out_close_dir;
	}
	r = collect_names(d, names, is_pem_name, kinds);
	if (r == ERR_NONE && (kinds & KIND_CERT))
		r = HashMaker_new(&certs, dir, "", "certificate", read_cert_name);
	if (r == ERR_NONE && (kinds & KIND_CRL))
		r = HashMaker_new(&crls, dir, "r", "CRL", read_crl_name);
	for (i = 0; r == ERR_NONE && i < names->count; i++)
		r = link_file(certs, crls, names->items[i]);
	HashMaker_free(certs);
	HashMaker_free(crls);
	free_names(names);
out_close_dir:
	(void)closedir(d);
	return r;
}

static int link_listed_directory(const char *dir, void *ctx)
{
	return link_directory(dir, *(const int *)ctx);
}

static int link_environment_directories(int kinds)
{
	const char *value = getenv("SSL_CERT_DIR");
	char *copy;
	int r;

	if (!value || !*value)
		return link_directory("/etc/ssl/certs", kinds);
	copy = BUF_strdup(value);
	if (!copy)
		return ERR_NOMEM;
	r = split_cert_dir_list(copy, link_listed_directory, &kinds);
	OPENSSL_free(copy);
	return r;
}

int main_loop(int argc, char **argv)
{
	int certonly = 0, crlonly = 0, kinds, i, r;

	for (i = 1; i < argc && argv[i][0] == '-'; i++) {
		const char *arg = argv[i];

		if (strcmp(arg, "-certonly") == 0) {
			certonly = 1;
		} else if (strcmp(arg, "-crlonly") == 0) {
			crlonly = 1;
		} else if (strcmp(arg, "-v") == 0) {
			verbose = 1;
		} else if (strcmp(arg, "-version") == 0) {
			puts("vexlink 1.1");
			return ERR_NONE;
		} else if (strcmp(arg, "-help") == 0 || strcmp(arg, "-h") == 0) {
			fputs(usage_text, stdout);
			return ERR_NONE;
		} else if (strcmp(arg, "--") == 0) {
			i++;
			break;
		} else {
			fputs("Bad option ", stderr);
			put_name(arg, stderr);
			fputs("; try vexlink -h\n", stderr);
			return ERR_USAGE;
		}
	}
	if (certonly && crlonly) {
		fputs("-certonly and -crlonly are mutually exclusive\n", stderr);
		return ERR_USAGE;
	}
	kinds = certonly ? KIND_CERT : crlonly ? KIND_CRL : KIND_CERT | KIND_CRL;
	if (i >= argc)
		return link_environment_directories(kinds);
	for (; i < argc; i++) {
		r = link_directory(argv[i], kinds);
		if (r != ERR_NONE)
			return r;
	}
	return ERR_NONE;
}

int exit_status_of(int r)
{
	switch (r) {
	case ERR_NOMEM:
		write_stderr_fd("Out of memory\n");
		return 1;
	case ERR_USAGE:
		return 1;
	default:
		assert(r == ERR_NONE);
		return 0;
	}
}

int vexlink_main(int argc, char **argv)
{
	if (argc == 0) {
		write_stderr_fd("Bad excecution\n");
		return 2;
	}
	return exit_status_of(main_loop(argc, argv));
}
