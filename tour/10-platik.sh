#!/bin/bash
# SPDX-License-Identifier: GPL-2.0-or-later
# libplatik from the image, with board files put in place of /etc/platik by a
# private mount namespace (the machine's /etc is left alone).
set -euo pipefail
work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT

cat > "$work/board.c" <<'C'
#include <stdio.h>
#include <stdlib.h>
#include <platik.h>
int main(void)
{
	char *name = getplatik();
	if (name)
		printf("getplatik() -> \"%s\"\n", name);
	else
		printf("getplatik() -> NULL\n");
	free(name);
	return 0;
}
C
export PKG_CONFIG_SYSROOT_DIR="$IMAGE" PKG_CONFIG_LIBDIR="$IMAGE/usr/lib/pkgconfig"
# Built for the image's width: a 32-bit image needs -m32.
cc=cc
readelf -h "$IMAGE/usr/lib/libplatik.so.1" | grep -q ELF32 && cc="cc -m32"
echo "\$ $cc board.c \$(pkg-config --cflags --libs platik)"
$cc -o "$work/board" "$work/board.c" $(pkg-config --cflags --libs platik)
echo "\$ readelf -d libplatik.so.1"
readelf -d "$IMAGE/usr/lib/libplatik.so.1" | grep -E 'SONAME|NEEDED' | sed 's/^ */  /'

# board FILE-CONTENT-OR--: runs the program with /etc/platik holding the
# content, or absent for "-".
board()
{
	mkdir -p "$work/ov"
	unshare --mount sh -c '
		mount --make-rprivate /
		mount -t tmpfs tmpfs "$1"
		mkdir "$1/u" "$1/w"
		mount -t overlay overlay -o "lowerdir=/etc,upperdir=$1/u,workdir=$1/w" /etc
		rm -f /etc/platik
		[ "$2" = - ] || printf "%b" "$2" > /etc/platik
		exec "$3"' sh "$work/ov" "$1" "$work/board" 2>&1 | sed 's/^/  /'
}
echo "/etc/platik = \"snowboard-x86 rev B\\n\":"
board 'snowboard-x86 rev B\n'
echo "/etc/platik empty:"
board ''
echo "/etc/platik missing:"
board -
