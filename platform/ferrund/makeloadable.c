// SPDX-License-Identifier: GPL-2.0-or-later
// ferrund-makeloadable FILE: lets the dynamic loader open a
// position-independent executable as a shared object, so that a booster can
// enter its main. The loader refuses objects marked DF_1_PIE; the mark is
// only informational for running the program, which keeps working.
#include <elf.h>
#include <errno.h>
#include <stdio.h>
#include <stdlib.h>
#include <string.h>

static int fail(const char *file, const char *what)
{
	fprintf(stderr, "ferrund-makeloadable: %s: %s\n", file, what);
	return 1;
}

#define CLEAR_PIE(Ehdr, Phdr, Dyn)                                                   \
	do {                                                                         \
		Ehdr *eh = (Ehdr *)data;                                             \
		if (eh->e_phoff + (size_t)eh->e_phnum * sizeof(Phdr) > size)         \
			return fail(file, "truncated program headers");              \
		Phdr *ph = (Phdr *)(data + eh->e_phoff);                             \
		for (int i = 0; i < eh->e_phnum; i++) {                              \
			if (ph[i].p_type != PT_DYNAMIC)                              \
				continue;                                            \
			if (ph[i].p_offset + ph[i].p_filesz > size)                  \
				return fail(file, "truncated dynamic section");      \
			Dyn *d = (Dyn *)(data + ph[i].p_offset);                     \
			size_t n = ph[i].p_filesz / sizeof(Dyn);                     \
			for (size_t k = 0; k < n && d[k].d_tag != DT_NULL; k++) {    \
				if (d[k].d_tag == DT_FLAGS_1 && (d[k].d_un.d_val & DF_1_PIE)) { \
					d[k].d_un.d_val &= ~(__typeof__(d[k].d_un.d_val))DF_1_PIE; \
					changed = 1;                                 \
				}                                                    \
			}                                                            \
		}                                                                    \
	} while (0)

int main(int argc, char **argv)
{
	if (argc != 2) {
		fprintf(stderr, "usage: ferrund-makeloadable FILE\n");
		return 2;
	}
	const char *file = argv[1];
	FILE *f = fopen(file, "r+b");
	if (!f)
		return fail(file, strerror(errno));
	if (fseek(f, 0, SEEK_END) != 0) {
		fclose(f);
		return fail(file, strerror(errno));
	}
	long length = ftell(f);
	rewind(f);
	if (length < (long)sizeof(Elf32_Ehdr)) {
		fclose(f);
		return fail(file, "not an ELF file");
	}
	size_t size = (size_t)length;
	unsigned char *data = malloc(size);
	if (!data || fread(data, 1, size, f) != size) {
		fclose(f);
		free(data);
		return fail(file, "cannot read");
	}
	int changed = 0;
	if (memcmp(data, ELFMAG, SELFMAG) != 0) {
		fclose(f);
		free(data);
		return fail(file, "not an ELF file");
	}
	if (data[EI_CLASS] == ELFCLASS64 && size >= sizeof(Elf64_Ehdr))
		CLEAR_PIE(Elf64_Ehdr, Elf64_Phdr, Elf64_Dyn);
	else if (data[EI_CLASS] == ELFCLASS32)
		CLEAR_PIE(Elf32_Ehdr, Elf32_Phdr, Elf32_Dyn);
	int status = 0;
	if (changed) {
		rewind(f);
		if (fwrite(data, 1, size, f) != size)
			status = fail(file, "cannot write");
	}
	if (fclose(f) != 0)
		status = fail(file, strerror(errno));
	free(data);
	return status;
}
