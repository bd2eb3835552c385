// SPDX-License-Identifier: GPL-2.0-or-later
#include "dirchain.h"

#include <errno.h>
#include <error.h>
#include <string.h>
#include <sys/stat.h>
#include <unistd.h>

#include "frame.h"
#include "quote.h"

static int max_status(int a, int b)
{
	return a > b ? a : b;
}

int process_operands(int count, char **operands, dirchain_action_fn action,
		     const struct copy_options *options)
{
	struct savewd wd;
	int status = 0;
	int last_relative = -1;

	savewd_init(&wd);
	for (int i = 0; i < count; i++)
		if (operands[i][0] != '/')
			last_relative = i;

	// Relative operands before the last one need the starting directory
	// back; from the last one on nothing has to be restored.
	int i = 0;
	for (; i < last_relative; i++) {
		if (!savewd_delegating(&wd))
			status = max_status(status, action(operands[i], &wd, options));
		if (operands[i + 1][0] != '/')
			status = max_status(status, savewd_restore(&wd, status));
	}
	savewd_finish(&wd);
	for (; i < count; i++)
		status = max_status(status, action(operands[i], &wd, options));
	return status;
}

ptrdiff_t make_ancestors(char *name, struct savewd *wd, dirchain_make_fn make_one,
			 const struct copy_options *options)
{
	char *component = name;
	char *p = name;
	bool made_dir = false;

	while (*p == '/')
		p++;
	for (;;) {
		char *end = p + strcspn(p, "/");
		char *next = end;
		while (*next == '/')
			next++;
		if (*next == '\0')
			break;

		size_t len = (size_t)(end - component);
		if (!(len == 1 && component[0] == '.')) {
			int chdir_options = 0;
			int make_errno = 0;

			*end = '\0';
			if (strcmp(component, "..") == 0) {
				made_dir = false;
			} else if (make_one(name, component, options) == 0) {
				chdir_options = chdir_no_symlink | chdir_need_readable;
				made_dir = true;
			} else {
				make_errno = errno;
				chdir_options = made_dir ? chdir_no_symlink : chdir_trusted_symlink;
			}
			int r = savewd_chdir(wd, component, chdir_options, NULL);
			*end = '/';
			if (r == -1) {
				if (make_errno && errno == ENOENT)
					errno = make_errno;
				return -1;
			}
			if (r == -2)
				return -2;
		}
		component = p = next;
	}
	return component - name;
}

int fix_dir_owner_mode(int fd, const char *name, mode_t made_mode, uid_t owner, gid_t group,
		       mode_t mode, mode_t bits_to_set)
{
	struct stat st;
	int result = -1;
	mode_t cleared = 0;

	if ((fd >= 0 ? fstat(fd, &st) : stat(name, &st)) != 0)
		goto out_close_fd;
	if (!S_ISDIR(st.st_mode)) {
		errno = ENOTDIR;
		goto out_close_fd;
	}

	if ((owner != (uid_t)-1 && owner != st.st_uid) ||
	    (group != (gid_t)-1 && group != st.st_gid)) {
		int r;
		if (fd >= 0)
			r = fchown(fd, owner, group);
		else if (made_mode == (mode_t)-1)
			r = chown(name, owner, group);
		else
			r = lchown(name, owner, group);
		if (r != 0)
			goto out_close_fd;
		// a change of owner may clear the set-id bits
		if (st.st_mode & (S_IXUSR | S_IXGRP | S_IXOTH))
			cleared = st.st_mode & (S_ISUID | S_ISGID);
	}

	result = 0;
	if (bits_to_set & (cleared | (mode ^ st.st_mode))) {
		mode_t new_mode = mode | (st.st_mode & 07777 & ~bits_to_set);
		result = fd >= 0 ? fchmod(fd, new_mode) : chmod(name, new_mode);
	}

out_close_fd:
	if (fd >= 0) {
		int e = errno;
		if (close(fd) != 0 && result == 0)
			return -1;
		errno = e;
	}
	return result;
}

static void report_dir(int errnum, const char *format, const char *dir)
{
	error(0, errnum, format, quote_name(dir));
}

bool create_dir_path(const struct dir_path_request *req)
{
	char *dir = req->dir;
	struct savewd *wd = req->wd;
	mode_t mode = req->mode;
	bool keep_existing = req->keep_existing;

	if (dir[0] != '/' && savewd_errno(wd)) {
		report_dir(savewd_errno(wd), _("cannot create directory %s"), dir);
		return false;
	}

	ptrdiff_t prefix = make_ancestors(dir, wd, req->make_one, req->options);
	if (prefix == -2)
		return true;
	if (prefix == -1) {
		report_dir(errno, _("cannot create directory %s"), dir);
		return false;
	}

	const char *last = dir + prefix;
	bool keep_owner = req->owner == (uid_t)-1 && req->group == (gid_t)-1;
	bool keep_special = !(req->bits_to_set & (S_ISUID | S_ISGID)) && !(mode & S_ISVTX);
	mode_t made_mode = mode & ~(!keep_owner ? 077 : !keep_special ? 022 : 0);
	int make_errno = 0;
	int chdir_options;

	if (mkdir(last, made_mode) == 0) {
		req->announce(dir, req->options);
		keep_existing = keep_owner && keep_special;
		chdir_options = chdir_no_symlink | chdir_skip_if_opened;
		if (mode & S_IRUSR)
			chdir_options |= chdir_need_readable;
	} else {
		make_errno = errno;
		made_mode = (mode_t)-1;
		chdir_options = chdir_skip_if_opened | chdir_trusted_symlink;
	}
	bool made = made_mode != (mode_t)-1;

	// A new directory made with just the requested bits needs no fixing.
	if (made && keep_existing)
		return true;

	int outcome[2] = { -1, 0 };
	int r = savewd_chdir(wd, last, chdir_options, outcome);
	if (r < -1)
		return true;
	bool changed = r == 0;
	int chdir_errno = errno;
	int fd = outcome[0];
	int report_errno;

	if (made && ((!changed && (mode & S_IXUSR)) || (fd < 0 && (mode & S_IRUSR)))) {
		// we made it but cannot enter or read it as expected
		if (fd >= 0)
			(void)close(fd);
		report_errno = !changed && (mode & S_IXUSR) ? chdir_errno : outcome[1];
	} else if (!made && fd < 0 && !changed && savewd_check_link(last) != 0) {
		// a link planted by someone else is not followed by name either
		report_errno = errno;
	} else {
		if (fix_dir_owner_mode(fd, changed ? "." : last, made_mode, req->owner, req->group,
				       mode, req->bits_to_set) == 0)
			return true;
		if (!made && (make_errno == ENOENT || errno == ENOTDIR)) {
			report_dir(make_errno, _("cannot create directory %s"), dir);
			return false;
		}
		report_errno = errno;
	}
	report_dir(report_errno,
		   keep_owner ? _("cannot change permissions of %s")
			      : _("cannot change owner and permissions of %s"),
		   dir);
	return false;
}
