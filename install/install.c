// SPDX-License-Identifier: GPL-2.0-or-later
// install: copies files into place with a given mode, owner, group and
// times, optionally stripped and with backups of what they replace, and
// creates directories.
#include <errno.h>
#include <error.h>
#include <fcntl.h>
#include <getopt.h>
#include <grp.h>
#include <limits.h>
#include <pwd.h>
#include <signal.h>
#include <stdint.h>
#include <stdio.h>
#include <stdlib.h>
#include <string.h>
#include <sys/socket.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

#include "backup.h"
#include "copy.h"
#include "copyopts.h"
#include "dirchain.h"
#include "fileutil.h"
#include "frame.h"
#include "modechange.h"
#include "quote.h"
#include "savewd.h"
#include "transfer.h"
#include "version.h"
#include "xalloc.h"
#include "xstrtol.h"

#define BUG_REPORT_ADDRESS "quellkit-bugs@lists.quellkit.org"

static mode_t file_mode = S_IRWXU | S_IRGRP | S_IXGRP | S_IROTH | S_IXOTH;
static mode_t directory_mode = S_IRWXU | S_IRGRP | S_IXGRP | S_IROTH | S_IXOTH;
static mode_t directory_mode_bits = 07777;
static uid_t new_owner = (uid_t)-1;
static gid_t new_group = (gid_t)-1;
static bool strip_files;
// the mask the run started with, given back to strip
static mode_t initial_umask;

static struct copy_options copy_options;

// What the options asked for, as far as it is settled after reading them.
struct request {
	const char *suffix;
	const char *version_control;
	const char *target_directory;
	const char *mode_spec;
	const char *owner_name;
	const char *group_name;
	bool make_backups;
	bool no_target_directory;
	bool make_leading;
	bool dir_arg;
};

enum { HELP_OPTION = CHAR_MAX + 1, VERSION_OPTION };

static const struct option long_options[] = {
	{ "backup", optional_argument, NULL, 'b' },
	{ "directory", no_argument, NULL, 'd' },
	{ "group", required_argument, NULL, 'g' },
	{ "mode", required_argument, NULL, 'm' },
	{ "no-target-directory", no_argument, NULL, 'T' },
	{ "owner", required_argument, NULL, 'o' },
	{ "preserve-timestamps", no_argument, NULL, 'p' },
	{ "strip", no_argument, NULL, 's' },
	{ "suffix", required_argument, NULL, 'S' },
	{ "target-directory", required_argument, NULL, 't' },
	{ "verbose", no_argument, NULL, 'v' },
	{ "help", no_argument, NULL, HELP_OPTION },
	{ "version", no_argument, NULL, VERSION_OPTION },
	{ NULL, 0, NULL, 0 },
};

static _Noreturn void usage(int status)
{
	if (status != EXIT_SUCCESS) {
		fprintf(stderr, _("Try `%s --help' for more information.\n"), program_name);
		exit(status);
	}
	printf(_("Usage: %s [OPTION]... [-T] SOURCE DEST\n"
		 "  or:  %s [OPTION]... SOURCE... DIRECTORY\n"
		 "  or:  %s [OPTION]... -t DIRECTORY SOURCE...\n"
		 "  or:  %s [OPTION]... -d DIRECTORY...\n"
		 "In the first three forms, copy SOURCE to DEST or multiple SOURCE(s) to\n"
		 "the existing DIRECTORY, while setting permission modes and owner/group.\n"
		 "In the 4th form, create all components of the given DIRECTORY(ies).\n"),
	       program_name, program_name, program_name, program_name);
	fputs(_("\n"
		"Mandatory arguments to long options are mandatory for short options too.\n"
		"      --backup[=CONTROL]  make a backup of each existing destination file\n"
		"  -b                  like --backup but does not accept an argument\n"
		"  -c                  (ignored)\n"
		"  -d, --directory     treat all arguments as directory names; create all\n"
		"                        components of the specified directories\n"
		"  -D                  create all leading components of DEST except the last,\n"
		"                        then copy SOURCE to DEST\n"
		"  -g, --group=GROUP   set group ownership, instead of process' current group\n"
		"  -m, --mode=MODE     set permission mode (as in chmod), instead of rwxr-xr-x\n"
		"  -o, --owner=OWNER   set ownership (super-user only)\n"
		"  -p, --preserve-timestamps   apply access/modification times of SOURCE files\n"
		"                        to corresponding destination files\n"
		"  -s, --strip         strip symbol tables\n"
		"  -S, --suffix=SUFFIX  override the usual backup suffix\n"
		"  -t, --target-directory=DIRECTORY  copy all SOURCE arguments into DIRECTORY\n"
		"  -T, --no-target-directory  treat DEST as a normal file\n"
		"  -v, --verbose       print the name of each directory as it is created\n"
		"      --help     display this help and exit\n"
		"      --version  output version information and exit\n"),
	      stdout);
	fputs(_("\n"
		"The backup suffix is `~', unless set with --suffix or SIMPLE_BACKUP_SUFFIX.\n"
		"The version control method may be selected via the --backup option or through\n"
		"the VERSION_CONTROL environment variable.  Here are the values:\n"),
	      stdout);
	fputs(_("\n"
		"  none, off       never make backups (even if --backup is given)\n"
		"  numbered, t     make numbered backups\n"
		"  existing, nil   numbered if numbered backups exist, simple otherwise\n"
		"  simple, never   always make simple backups\n"),
	      stdout);
	printf(_("\nReport bugs to <%s>.\n"), BUG_REPORT_ADDRESS);
	exit(status);
}

static void usage_failure(void)
{
	usage(EXIT_FAILURE);
}

static void set_copy_options(struct copy_options *co)
{
	co->backup_type = backup_none;
	co->regular_copy_of_specials = true;
	co->follow_links = COPY_FOLLOW_ALWAYS;
	co->remove_existing_first = true;
	co->remove_after_failed_open = false;
	co->hard_link = false;
	co->prompting = COPY_PROMPT_NEVER;
	co->move_instead = false;
	co->may_chown_any = geteuid() == 0;
	co->one_filesystem = false;
	co->keep_ownership = false;
	co->keep_permissions = false;
	co->keep_times = false;
	co->keep_links = false;
	co->keep_required = false;
	co->recurse = false;
	co->force_mode = true;
	co->forced_mode = S_IRUSR | S_IWUSR;
	co->sparse_mode = SPARSE_AUTO;
	co->symbolic_link = false;
	co->only_if_newer = false;
	co->verbose = false;
	co->stdin_is_terminal = false;
	co->created_names = NULL;
	co->seen_sources = NULL;
}

static bool looks_like_directory(const char *name)
{
	const char *base = last_component(name);
	size_t len = strlen(base);

	return len == 0 || base[len - 1] == '/';
}

// dir joined with the last component of source.
static char *target_name(const char *dir, const char *source)
{
	const char *base = last_component(source);
	const char *dir_base = last_component(dir);
	size_t dir_len = (size_t)(dir_base - dir) + strlen(dir_base);

	while (dir_len > (size_t)(dir_base - dir) && dir[dir_len - 1] == '/')
		dir_len--;
	bool only_slashes = strspn(dir, "/") == strlen(dir) && dir[0] != '\0';
	while (*base == '/')
		base++;

	size_t base_len = strlen(base);
	char *name = checked_malloc(dir_len + 1 + base_len + 1);
	memcpy(name, dir, dir_len);
	size_t n = dir_len;
	if (!only_slashes)
		name[n++] = '/';
	memcpy(name + n, base, base_len + 1);
	return name;
}

static uid_t resolve_one_id(const char *text, bool is_user)
{
	unsigned long value;

	if (is_user) {
		struct passwd *pw = getpwnam(text);
		endpwent();
		if (pw)
			return pw->pw_uid;
	} else {
		struct group *gr = getgrnam(text);
		endgrent();
		if (gr)
			return gr->gr_gid;
	}
	if (xstrtoul(text, NULL, 0, &value) != LONGINT_OK || value > UINT32_MAX)
		error(EXIT_FAILURE, 0, is_user ? _("invalid user %s") : _("invalid group %s"),
		      quote_name(text));
	return (uid_t)value;
}

static void resolve_ids(const struct request *req)
{
	if (req->owner_name)
		new_owner = resolve_one_id(req->owner_name, true);
	if (req->group_name)
		new_group = (gid_t)resolve_one_id(req->group_name, false);
}

static void run_strip(const char *name)
{
	int status;
	char *arg = NULL;

	// a name that begins with "-" would be read as an option
	if (name[0] == '-') {
		size_t len = strlen(name);
		arg = checked_malloc(len + 3);
		memcpy(arg, "./", 2);
		memcpy(arg + 2, name, len + 1);
	}
	// the child must not write the pending verbose output a second time
	(void)fflush(stdout);
	pid_t pid = fork();
	if (pid < 0)
		error(EXIT_FAILURE, errno, _("fork system call failed"));
	if (pid == 0) {
		(void)umask(initial_umask);
		execlp("strip", "strip", arg ? arg : name, (char *)NULL);
		error(0, errno, _("cannot run strip"));
		_exit(EXIT_FAILURE);
	}
	while (waitpid(pid, &status, 0) < 0)
		if (errno != EINTR)
			error(EXIT_FAILURE, errno, _("waiting for strip"));
	free(arg);
	if (!WIFEXITED(status) || WEXITSTATUS(status) != 0)
		error(EXIT_FAILURE, 0, _("strip process terminated abnormally"));
}

// Opens the file that strip left at dest without following a link swapped
// in for it and without blocking on a FIFO; only a regular file will do.
static int open_stripped(const struct copy_dest *dest)
{
	struct stat st;
	int fd = open_not_std_at(dest->dirfd, dest->at_name,
				 O_RDONLY | O_NOFOLLOW | O_NONBLOCK | O_NOCTTY | O_CLOEXEC, 0);

	if (fd < 0)
		return -1;
	int e = fstat(fd, &st) != 0 ? errno : S_ISREG(st.st_mode) ? 0 : EINVAL;
	if (e == 0)
		return fd;
	(void)close(fd);
	errno = e;
	return -1;
}

// Times, owner and mode go to the new file through its descriptor: its name
// lies in a directory others may write, and they may swap a link in.
static bool finish_installed(int fd, const char *to, bool set_times, const struct timespec *times)
{
	if (set_times && set_times_fd(fd, to, times) != 0) {
		error(0, errno, _("cannot set time stamps for %s"), quote_name(to));
		return false;
	}
	if ((new_owner != (uid_t)-1 || new_group != (gid_t)-1) &&
	    fchown(fd, new_owner, new_group) != 0) {
		error(0, errno, _("cannot change ownership of %s"), quote_name(to));
		return false;
	}
	if (fchmod(fd, file_mode) != 0) {
		error(0, errno, _("cannot change permissions of %s"), quote_name(to));
		return false;
	}
	return true;
}

static bool install_one_at(const char *from, const struct copy_dest *dest)
{
	const char *to = dest->name;
	struct stat from_st;
	struct timespec times[2];
	int fd = -1;

	if (copy_options.keep_times) {
		if (stat(from, &from_st) != 0) {
			error(0, errno, _("cannot stat %s"), quote_name(from));
			return false;
		}
		times[0] = from_st.st_atim;
		times[1] = from_st.st_mtim;
	}
	if (!copy_one(from, dest, &copy_options, strip_files ? NULL : &fd))
		return false;

	bool set_times = copy_options.keep_times && (strip_files || !S_ISREG(from_st.st_mode));
	if (strip_files) {
		run_strip(to);
		fd = open_stripped(dest);
		if (fd < 0) {
			// reported as the first step that needed the file
			const char *format = set_times ? _("cannot set time stamps for %s")
					     : new_owner != (uid_t)-1 || new_group != (gid_t)-1
						     ? _("cannot change ownership of %s")
						     : _("cannot change permissions of %s");
			error(0, errno, format, quote_name(to));
			return false;
		}
	}

	bool ok = finish_installed(fd, to, set_times, times);
	if (close(fd) != 0 && ok) {
		error(0, errno, _("closing %s"), quote_name(to));
		ok = false;
	}
	return ok;
}

static bool install_one(const char *from, const char *to)
{
	const struct copy_dest dest = { AT_FDCWD, to, to };

	return install_one_at(from, &dest);
}

static void announce_dir(const char *full, const struct copy_options *options)
{
	if (options->verbose)
		error(0, 0, _("creating directory %s"), quote_name(full));
}

static int make_parent_dir(const char *full, const char *component,
			   const struct copy_options *options)
{
	int r = mkdir(component, S_IRWXU | S_IRGRP | S_IXGRP | S_IROTH | S_IXOTH);
	if (r == 0)
		announce_dir(full, options);
	return r;
}

static int make_operand_dir(char *dir, struct savewd *wd, const struct copy_options *options)
{
	const struct dir_path_request req = {
		.dir = dir,
		.wd = wd,
		.make_one = make_parent_dir,
		.options = options,
		.mode = directory_mode,
		.announce = announce_dir,
		.bits_to_set = directory_mode_bits,
		.owner = new_owner,
		.group = new_group,
		.keep_existing = false,
	};

	return create_dir_path(&req) ? 0 : 1;
}

// A child that made the leading directories hands the one it ended in, and
// the offset of the last component, to the parent.
static void send_dir(int sock, int dirfd, ptrdiff_t last)
{
	union {
		char buf[CMSG_SPACE(sizeof(int))];
		struct cmsghdr align;
	} control = { { 0 } };
	struct iovec iov = { &last, sizeof last };
	struct msghdr msg = { .msg_iov = &iov,
			      .msg_iovlen = 1,
			      .msg_control = control.buf,
			      .msg_controllen = sizeof control.buf };
	struct cmsghdr *c = CMSG_FIRSTHDR(&msg);

	c->cmsg_level = SOL_SOCKET;
	c->cmsg_type = SCM_RIGHTS;
	c->cmsg_len = CMSG_LEN(sizeof(int));
	memcpy(CMSG_DATA(c), &dirfd, sizeof(int));
	(void)sendmsg(sock, &msg, 0);
}

// Returns the directory a child sent for name, or -1 with errno.
static int receive_dir(int sock, const char *name, ptrdiff_t *last)
{
	union {
		char buf[CMSG_SPACE(sizeof(int))];
		struct cmsghdr align;
	} control;
	struct iovec iov = { last, sizeof *last };
	struct msghdr msg = { .msg_iov = &iov,
			      .msg_iovlen = 1,
			      .msg_control = control.buf,
			      .msg_controllen = sizeof control.buf };
	int fd = -1;

	if (recvmsg(sock, &msg, MSG_DONTWAIT | MSG_CMSG_CLOEXEC) != sizeof *last)
		return -1;
	struct cmsghdr *c = CMSG_FIRSTHDR(&msg);
	if (c && c->cmsg_type == SCM_RIGHTS && c->cmsg_len == CMSG_LEN(sizeof(int)))
		memcpy(&fd, CMSG_DATA(c), sizeof(int));
	if (fd < 0 || *last < 0 || (size_t)*last > strlen(name)) {
		if (fd >= 0)
			(void)close(fd);
		errno = EPROTO;
		return -1;
	}
	return fd;
}

static bool install_with_parents(const char *from, char *to)
{
	struct savewd wd;
	bool save_needed = !(from[0] == '/' && to[0] == '/');
	bool failed = false;
	// The directory the walk ended in, so that the copy does not look the
	// leading directories up again: one of them may have been swapped for a
	// link since it was made.
	struct copy_dest dest = { AT_FDCWD, to, to };
	int channel[2] = { -1, -1 };

	savewd_init(&wd);
	if (!save_needed)
		savewd_finish(&wd);
	else if (socketpair(AF_UNIX, SOCK_DGRAM | SOCK_CLOEXEC, 0, channel) != 0)
		channel[0] = channel[1] = -1;

	ptrdiff_t last = make_ancestors(to, &wd, make_parent_dir, &copy_options);
	if (last == -1) {
		error(0, errno, _("cannot create directory %s"), quote_name(to));
		failed = true;
	} else if (last >= 0) {
		dest.dirfd = open_not_std(".", O_RDONLY | O_DIRECTORY | O_CLOEXEC, 0);
		dest.at_name = to + last;
		if (dest.dirfd < 0) {
			error(0, errno, _("cannot create directory %s"), quote_name(to));
			failed = true;
		} else if (wd.state == wd_forking && wd.val.child == 0) {
			send_dir(channel[1], dest.dirfd, last);
		}
	}

	if (save_needed) {
		int r = savewd_restore(&wd, failed);
		int e = errno;
		savewd_finish(&wd);
		if (r < 0 && !failed) {
			error(0, e, _("cannot create directory %s"), quote_name(to));
			failed = true;
		}
		failed |= r > 0;
		if (last == -2 && !failed) {
			dest.dirfd = receive_dir(channel[0], to, &last);
			dest.at_name = to + last;
			if (dest.dirfd < 0) {
				error(0, errno, _("cannot create directory %s"), quote_name(to));
				failed = true;
			}
		}
		(void)close(channel[0]);
		(void)close(channel[1]);
	}
	bool ok = !failed && install_one_at(from, &dest);
	if (dest.dirfd >= 0)
		(void)close(dest.dirfd);
	return ok;
}

// Stops the run unless name is a directory.
static void check_target_directory(const char *name)
{
	struct stat st;

	if (stat(name, &st) != 0)
		error(EXIT_FAILURE, errno, _("accessing %s"), quote_name(name));
	if (!S_ISDIR(st.st_mode))
		error(EXIT_FAILURE, 0, _("target %s is not a directory"), quote_name(name));
}

// Decides between copying to a file and copying into a directory by the last
// operand. Returns the target directory or NULL.
static const char *choose_target(int n_files, char **files)
{
	const char *last = files[n_files - 1];
	struct stat st;
	int stat_errno = 0;

	if (stat(last, &st) != 0) {
		stat_errno = errno;
		if (errno != ENOENT)
			error(EXIT_FAILURE, errno, _("accessing %s"), quote_name(last));
	} else if (S_ISDIR(st.st_mode)) {
		return last;
	}
	if (looks_like_directory(last))
		error(EXIT_FAILURE, stat_errno, _("target %s is not a directory"),
		      quote_name(last));
	if (n_files > 2)
		error(EXIT_FAILURE, 0, _("target %s is not a directory"), quote_name(last));
	return NULL;
}

static void set_modes(const char *spec)
{
	struct mode_step *steps = mode_parse(spec);

	if (!steps)
		error(EXIT_FAILURE, 0, _("invalid mode %s"), quote_name(spec));
	file_mode = mode_apply(0, false, 0, steps, NULL);
	directory_mode = mode_apply(0, true, 0, steps, &directory_mode_bits);
	free(steps);
}

static void read_option(int c, struct request *req)
{
	switch (c) {
	case 'b':
		req->make_backups = true;
		if (optarg)
			req->version_control = optarg;
		break;
	case 'c':
		break;
	case 'd':
		req->dir_arg = true;
		break;
	case 'D':
		req->make_leading = true;
		break;
	case 'g':
		req->group_name = optarg;
		break;
	case 'm':
		req->mode_spec = optarg;
		break;
	case 'o':
		req->owner_name = optarg;
		break;
	case 'p':
		copy_options.keep_times = true;
		break;
	case 's':
		strip_files = true;
		// an inherited "ignore" would defeat the wait for strip
		(void)signal(SIGCHLD, SIG_DFL);
		break;
	case 'S':
		req->make_backups = true;
		req->suffix = optarg;
		break;
	case 't':
		if (req->target_directory)
			error(EXIT_FAILURE, 0, _("multiple target directories specified"));
		check_target_directory(optarg);
		req->target_directory = optarg;
		break;
	case 'T':
		req->no_target_directory = true;
		break;
	case 'v':
		copy_options.verbose = true;
		break;
	case HELP_OPTION:
		usage(EXIT_SUCCESS);
	case VERSION_OPTION: {
		static const char *const authors[] = { "the Quellkit developers", NULL };
		print_version_text(stdout, "install", "quellkit", "6.9", authors);
		exit(EXIT_SUCCESS);
	}
	default:
		usage(EXIT_FAILURE);
	}
}

// Refuses options that do not go together and settles the backups.
static void apply_options(const struct request *req)
{
	if (req->dir_arg && strip_files)
		error(EXIT_FAILURE, 0,
		      _("the strip option may not be used when installing a directory"));
	if (req->dir_arg && req->target_directory)
		error(EXIT_FAILURE, 0,
		      _("target directory not allowed when installing a directory"));
	if (req->suffix)
		simple_backup_suffix = checked_strdup(req->suffix);
	copy_options.backup_type = req->make_backups
					   ? backup_type_of(_("backup type"), req->version_control)
					   : backup_none;
}

// Checks the number of operands for the form and settles the target
// directory. Returns the number of operands to install, the target
// directory not counted.
static int check_operands(struct request *req, int n_files, char **files)
{
	if (n_files < ((req->dir_arg || req->target_directory) ? 1 : 2)) {
		if (n_files == 1)
			error(0, 0, _("missing destination file operand after %s"),
			      quote_name(files[0]));
		else
			error(0, 0, _("missing file operand"));
		usage(EXIT_FAILURE);
	}

	if (req->no_target_directory) {
		if (req->target_directory)
			error(EXIT_FAILURE, 0,
			      _("Cannot combine --target-directory (-t) "
				"and --no-target-directory (-T)"));
		if (n_files > 2) {
			error(0, 0, _("extra operand %s"), quote_name(files[2]));
			usage(EXIT_FAILURE);
		}
	} else if (!req->dir_arg && !req->target_directory) {
		req->target_directory = choose_target(n_files, files);
		if (req->target_directory)
			n_files--;
	}
	return n_files;
}

static int install_into_directory(const char *dir, int n_files, char **files)
{
	int status = EXIT_SUCCESS;

	copy_options.created_names = created_names_new();
	for (int i = 0; i < n_files; i++) {
		char *dest = target_name(dir, files[i]);
		if (!install_one(files[i], dest))
			status = EXIT_FAILURE;
		free(dest);
	}
	return status;
}

// Runs the form the request names. Returns the exit status.
static int install_operands(const struct request *req, int n_files, char **files)
{
	if (req->dir_arg)
		return process_operands(n_files, files, make_operand_dir, &copy_options);
	if (req->target_directory)
		return install_into_directory(req->target_directory, n_files, files);

	bool ok = req->make_leading ? install_with_parents(files[0], files[1])
				    : install_one(files[0], files[1]);
	return ok ? EXIT_SUCCESS : EXIT_FAILURE;
}

int main(int argc, char **argv)
{
	struct request req = { 0 };
	int c;

	frame_start(argv[0], EXIT_FAILURE);
	argmatch_die = usage_failure;
	set_copy_options(&copy_options);
	initial_umask = umask(0);
	req.suffix = getenv("SIMPLE_BACKUP_SUFFIX");

	while ((c = getopt_long(argc, argv, "bcsDdg:m:o:pt:TvS:", long_options, NULL)) != -1)
		read_option(c, &req);
	apply_options(&req);

	char **files = argv + optind;
	int n_files = check_operands(&req, argc - optind, files);
	if (req.mode_spec)
		set_modes(req.mode_spec);
	resolve_ids(&req);
	return install_operands(&req, n_files, files);
}
