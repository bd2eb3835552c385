// SPDX-License-Identifier: GPL-2.0-or-later
// The options of one copy, built once by the driver and read by the copy
// engine and the regular-file transfer.
#ifndef INSTALL_COPYOPTS_H
#define INSTALL_COPYOPTS_H

#include <stdbool.h>
#include <sys/types.h>

#include "backup.h"

#ifdef __cplusplus
extern "C" {
#endif

enum copy_follow { COPY_FOLLOW_NEVER = 2, COPY_FOLLOW_ALWAYS = 4 };

enum copy_prompting { COPY_PROMPT_ANSWER_NO = 2, COPY_PROMPT_ASK = 3, COPY_PROMPT_NEVER = 4 };

enum sparse_mode { SPARSE_NEVER = 1, SPARSE_AUTO = 2, SPARSE_ALWAYS = 3 };

// Destinations created so far (owned by the copy engine).
struct created_names;

struct copy_options {
	enum backup_type backup_type;
	bool regular_copy_of_specials;
	enum copy_follow follow_links;
	bool remove_existing_first;
	bool remove_after_failed_open;
	bool hard_link;
	enum copy_prompting prompting;
	bool move_instead;
	bool may_chown_any;
	bool one_filesystem;
	bool keep_ownership;
	bool keep_permissions;
	bool keep_times;
	bool keep_links;
	bool keep_required;
	bool recurse;
	bool force_mode;
	mode_t forced_mode;
	enum sparse_mode sparse_mode;
	bool symbolic_link;
	bool only_if_newer;
	bool verbose;
	bool stdin_is_terminal;
	// NULL when absent
	struct created_names *created_names;
	struct created_names *seen_sources;
};

// Where a copy goes: at_name relative to the directory dirfd (AT_FDCWD for
// the working directory) is used for every call, name in messages.
struct copy_dest {
	int dirfd;
	const char *at_name;
	const char *name;
};

#ifdef __cplusplus
}
#endif

#endif
