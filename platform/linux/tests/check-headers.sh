#!/bin/sh
# SPDX-License-Identifier: GPL-2.0-or-later
# check-headers.sh CC KERNEL-INCLUDE SIM-INCLUDE SOURCE...
# Fails when a source, compiled as the build compiles it, reads a kernel
# header of the machine (/usr/include/linux, /usr/include/asm*) instead of
# the layer's, or when a layer header is missing from its dependencies.
cc=$1
kinc=$2
sinc=$3
shift 3
status=0
for src in "$@"; do
	deps=$("$cc" -std=gnu11 -D__KERNEL__ -DKBUILD_MODNAME='"check"' \
		-I"$kinc" -I"$sinc" -M "$src") || { status=1; continue; }
	deps=$(printf '%s\n' "$deps" | tr ' \\' '\n\n' | grep -v '^$')
	foreign=$(printf '%s\n' "$deps" | grep -E '(^|/)(linux|asm|asm-generic|uapi)/[^/]*\.h$' |
		grep -v "^$kinc/")
	if [ -n "$foreign" ]; then
		echo "$src reads the machine's kernel headers:"
		printf '  %s\n' $foreign
		status=1
	fi
	if ! printf '%s\n' "$deps" | grep -q "^$kinc/linux/"; then
		echo "$src does not read the layer's headers"
		status=1
	fi
done
[ $status -eq 0 ] && echo "no kernel header of the machine in $# units"
exit $status
