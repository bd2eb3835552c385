#!/bin/bash
# SPDX-License-Identifier: GPL-2.0-or-later
# abi.sh check|update BASELINE LIBRARY
# Describes the binary interface of LIBRARY (built with debug information)
# and compares it with BASELINE, failing on any difference; "update" writes
# the description to BASELINE instead, for a deliberate change. The
# description leaves out paths and source positions, so it is the same
# wherever and from whichever revision of the sources it is built.
set -euo pipefail
mode=$1
baseline=$2
library=$3

describe()
{
	abidw --no-corpus-path --no-comp-dir-path --no-show-locs \
		--type-id-style hash --drop-undefined-syms --out-file "$1" "$library"
}

case $mode in
update)
	describe "$baseline"
	echo "wrote $baseline"
	;;
check)
	fresh=$(mktemp)
	trap 'rm -f "$fresh"' EXIT
	describe "$fresh"
	if ! abidiff --harmless "$baseline" "$fresh"; then
		echo "the binary interface of $library differs from $baseline;" \
			"for a deliberate change: cmake --build BUILD --target abi-baselines"
		exit 1
	fi
	;;
*)
	echo "usage: abi.sh check|update BASELINE LIBRARY" >&2
	exit 2
	;;
esac
