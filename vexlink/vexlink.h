// SPDX-License-Identifier: GPL-2.0-or-later
// vexlink: keeps certificate directories hashed, one link per CA certificate
// (subject name) and CRL (issuer name), named after the name's hash.
#ifndef VEXLINK_H
#define VEXLINK_H

#include <stdint.h>
#include <stdio.h>

#include <openssl/x509.h>

#ifdef __cplusplus
extern "C" {
#endif

// Status codes returned by every step; main_loop's becomes the exit status.
enum {
	ERR_NONE = 0,
	ERR_NOMEM = 1,
	ERR_DUPLICATE = 2, // never leaves the processing of one file
	ERR_NODIR = 3,	   // only between purge_links and link_directory
	ERR_USAGE = 4,	   // the message has already been written
};

// Bits of the kinds set.
enum {
	KIND_CERT = 1,
	KIND_CRL = 2,
};

// Set by "-v": trace on standard output, duplicate warnings.
extern int verbose;

// A growable list of owned strings.
typedef struct NameList {
	uint32_t count;
	uint32_t capacity;
	char **items;
} NameList;

// Returns an empty list, or NULL when it cannot be allocated.
NameList *NameList_new(void);
// Appends item; ERR_NOMEM leaves the list unchanged and item with the caller.
int NameList_push(NameList *list, char *item);
// Frees the array and the list, not the strings.
void NameList_free(NameList *list);

// Reads the next object of one kind from fp. *name is set to NULL first;
// ERR_NONE with no name means nothing more of the kind can be read.
typedef int (*HashMaker_reader)(X509_NAME **name, FILE *fp);

int read_cert_name(X509_NAME **name, FILE *fp);
int read_crl_name(X509_NAME **name, FILE *fp);

// The names seen in one directory for one kind, in an open-addressing table.
typedef struct HashMaker {
	const char *dir;       // borrowed
	const char *suffix;    // borrowed: "" or "r"
	const char *kind_name; // borrowed: "certificate" or "CRL"
	HashMaker_reader reader;
	X509_NAME **slots; // owned names; NULL marks a free slot
	uint32_t n_slots;
	uint32_t n_xns;
} HashMaker;

// Stores a new empty registry in *out; ERR_NOMEM when it cannot be allocated.
int HashMaker_new(HashMaker **out, const char *dir, const char *suffix, const char *kind_name,
		  HashMaker_reader reader);
// Frees the registry and every name in it; NULL is ignored.
void HashMaker_free(HashMaker *obj);
// ERR_NONE: the registry owns name; *index gets the number of different
// names with the same hash seen before, *hash the hash (either may be NULL).
// ERR_DUPLICATE or ERR_NOMEM: name stays with the caller.
int HashMaker_register_x509_name(HashMaker *obj, X509_NAME *name, uint32_t *index, uint32_t *hash);
// Registers every object of the registry's kind in dir/filename and links
// it; only ERR_NOMEM stops the run.
int HashMaker_add_file(HashMaker *obj, const char *filename);

// Copies source to a new target (mode 0644, less what the source's mode and
// the umask take away): 0 done, 1 the source failed, 2 the target failed.
int copy_file(const char *source, const char *target);

// Whether name is a link name ("%08x.%d" or "%08x.r%d", either case of hex
// digits) of a kind in kinds.
int is_hash_link_name(const char *name, int kinds);

// Splits a directory list at ':' in place and calls each() for every element
// of two characters or more; the first character of an element is never a
// separator. Returns the first status other than ERR_NONE from each().
int split_cert_dir_list(char *list, int (*each)(const char *dir, void *ctx), void *ctx);

int purge_links(const char *dir, int kinds);
int link_directory(const char *dir, int kinds);
int main_loop(int argc, char **argv);

// Exit status for main_loop's result; an unknown status fails an assertion.
int exit_status_of(int r);
// The whole program: argument count check, main_loop, exit status.
int vexlink_main(int argc, char **argv);

#ifdef VEXLINK_HASH_SEAM
// Test builds only: replaces the name hash when set.
extern uint32_t (*vexlink_hash_seam)(const X509_NAME *name);
#endif

#ifdef __cplusplus
}
#endif

#endif
