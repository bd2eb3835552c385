// SPDX-License-Identifier: GPL-2.0-or-later
// refuse_symlink ERRNO PROGRAM ARGS...: runs PROGRAM with symlink() and
// symlinkat() failing with ERRNO, as on a file system without symbolic
// links. Exit status 126 when the filter cannot be installed.
#include <errno.h>
#include <stddef.h>
#include <stdio.h>
#include <stdlib.h>
#include <unistd.h>

#include <linux/audit.h>
#include <linux/filter.h>
#include <linux/seccomp.h>
#include <sys/prctl.h>
#include <sys/syscall.h>

#if defined(__x86_64__)
#define FILTER_ARCH AUDIT_ARCH_X86_64
#elif defined(__i386__)
#define FILTER_ARCH AUDIT_ARCH_I386
#elif defined(__aarch64__)
#define FILTER_ARCH AUDIT_ARCH_AARCH64
#else
#error "no seccomp architecture for this target"
#endif

#ifndef __NR_symlink
#define __NR_symlink __NR_symlinkat
#endif

int main(int argc, char **argv)
{
	if (argc < 3) {
		fprintf(stderr, "usage: refuse_symlink ERRNO PROGRAM [ARGS...]\n");
		return 126;
	}
	unsigned err = (unsigned)atoi(argv[1]);
	struct sock_filter filter[] = {
		BPF_STMT(BPF_LD | BPF_W | BPF_ABS, offsetof(struct seccomp_data, arch)),
		BPF_JUMP(BPF_JMP | BPF_JEQ | BPF_K, FILTER_ARCH, 1, 0),
		BPF_STMT(BPF_RET | BPF_K, SECCOMP_RET_ALLOW),
		BPF_STMT(BPF_LD | BPF_W | BPF_ABS, offsetof(struct seccomp_data, nr)),
		BPF_JUMP(BPF_JMP | BPF_JEQ | BPF_K, __NR_symlink, 2, 0),
		BPF_JUMP(BPF_JMP | BPF_JEQ | BPF_K, __NR_symlinkat, 1, 0),
		BPF_STMT(BPF_RET | BPF_K, SECCOMP_RET_ALLOW),
		BPF_STMT(BPF_RET | BPF_K, SECCOMP_RET_ERRNO | (err & SECCOMP_RET_DATA)),
	};
	struct sock_fprog prog = {
		.len = sizeof(filter) / sizeof(filter[0]),
		.filter = filter,
	};

	if (prctl(PR_SET_NO_NEW_PRIVS, 1, 0, 0, 0) != 0 ||
	    prctl(PR_SET_SECCOMP, SECCOMP_MODE_FILTER, &prog) != 0) {
		perror("refuse_symlink: seccomp");
		return 126;
	}
	execv(argv[2], argv + 2);
	perror(argv[2]);
	return 127;
}
