// SPDX-License-Identifier: GPL-2.0-or-later
// Backup kinds and the names of backup files.
#ifndef INSTALL_BACKUP_H
#define INSTALL_BACKUP_H

#ifdef __cplusplus
extern "C" {
#endif

enum backup_type {
	backup_none = 0,
	backup_simple = 1,
	// numbered if the file already has numbered backups, else simple
	backup_existing = 2,
	numbered_backups = 3
};

// Suffix of simple backups, "~" unless the driver replaces it (from
// SIMPLE_BACKUP_SUFFIX or -S). Not freed.
extern const char *simple_backup_suffix;

// Called after a bad backup keyword was reported and the valid ones listed;
// expected not to return. Defined here, initially a routine that exits with
// status 1; the driver sets it to its own usage failure routine (the hint to
// try --help, then status 1).
extern void (*argmatch_die)(void);

// The backup type for the CONTROL argument of --backup (NULL or "" when
// none was given); then VERSION_CONTROL; else backup_existing. context
// names the argument in messages ("backup type"). A bad keyword ends the run
// through argmatch_die.
enum backup_type backup_type_of(const char *context, const char *argument);

// A newly allocated backup name for file (type backup_simple,
// backup_existing or numbered_backups), shortened to fit the name limit of
// the file's directory. The caller frees it.
char *backup_name_for(const char *file, enum backup_type type);

#ifdef __cplusplus
}
#endif

#endif
