#!/bin/bash
# SPDX-License-Identifier: GPL-2.0-or-later
# Installs the Debian packages of scripts/packages that are missing, and the
# locales the tests use. Safe to run again: it does nothing when all is there.
set -euo pipefail
here=$(cd "$(dirname "$0")" && pwd)

wanted=$(grep -v '^\s*#' "$here/packages" | grep -v '^\s*$')

# Names with ":i386" are of the 32-bit build, installed beside the native ones.
if grep -q ':i386$' <<<"$wanted" && ! dpkg --print-foreign-architectures | grep -qx i386; then
	dpkg --add-architecture i386
fi
missing=()
for p in $wanted; do
	if ! dpkg-query -W -f='${Status}' "$p" 2>/dev/null | grep -q 'ok installed'; then
		missing+=("$p")
	fi
done

if [ ${#missing[@]} -gt 0 ]; then
	echo "deps: installing ${missing[*]}"
	export DEBIAN_FRONTEND=noninteractive
	apt-get update -qq
	apt-get install -y -qq --no-install-recommends "${missing[@]}" >/dev/null
fi

# German in UTF-8 and in a one-byte character set, for the translated and
# locale-dependent quotation marks.
have_locale()
{
	locale -a 2>/dev/null | grep -qix "$1"
}
have_locale de_DE.utf8 || localedef -i de_DE -f UTF-8 de_DE.UTF-8
have_locale de_DE.iso88591 || localedef -i de_DE -f ISO-8859-1 de_DE.ISO-8859-1
have_locale en_US.utf8 || localedef -i en_US -f UTF-8 en_US.UTF-8

# Some kernels are built without 32-bit x86 support. There the 32-bit programs
# run under user-mode emulation instead, registered for i386 executables.
runs_32bit()
{
	local dir
	dir=$(mktemp -d)
	echo 'int main(void) { return 0; }' >"$dir/t.c"
	gcc -m32 "$dir/t.c" -o "$dir/t" 2>/dev/null && "$dir/t" 2>/dev/null
	local result=$?
	rm -rf "$dir"
	return $result
}
if ! runs_32bit; then
	echo "deps: this kernel does not run 32-bit x86 programs; registering an emulator"
	if ! dpkg-query -W -f='${Status}' qemu-user-static 2>/dev/null | grep -q 'ok installed'; then
		export DEBIAN_FRONTEND=noninteractive
		apt-get update -qq
		apt-get install -y -qq --no-install-recommends qemu-user-static >/dev/null
	fi
	misc=/proc/sys/fs/binfmt_misc
	[ -e $misc/register ] || mount -t binfmt_misc binfmt_misc $misc
	# ELF, 32-bit, little-endian, executable or shared object, machine 386.
	[ -e $misc/qk-i386 ] || printf '%s' \
		':qk-i386:M::\x7fELF\x01\x01\x01\x00\x00\x00\x00\x00\x00\x00\x00\x00\x02\x00\x03\x00:\xff\xff\xff\xff\xff\xfe\xfe\x00\xff\xff\xff\xff\xff\xff\xff\xff\xfe\xff\xff\xff:/usr/bin/qemu-i386-static:FP' \
		>$misc/register
	runs_32bit || echo "deps: 32-bit x86 programs still do not run" >&2
fi
exit 0
