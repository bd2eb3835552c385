#!/bin/bash
# SPDX-License-Identifier: GPL-2.0-or-later
# check_image.sh BUILD MANIFEST COMPONENT...
# Stages each deliverable's install component on its own and compares what
# it installs, as lines "COMPONENT MODE PATH", with the manifest; the image
# is their union. Anything installed without a component fails too. The debug
# component COMPONENT-dbg beside each, which the image does without, is
# listed too, its files named by build id shown as ".build-id/ID.debug".
set -euo pipefail
build=$1
manifest=$2
shift 2
stage=$(mktemp -d)
trap 'rm -rf "$stage"' EXIT

for component in "$@" "${@/%/-dbg}" unassigned; do
	DESTDIR="$stage/$component" cmake --install "$build" --component "$component" >/dev/null
	[ -d "$stage/$component" ] || continue
	(cd "$stage/$component" && find . ! -type d -printf "$component %m /%P\n")
done | sed -E 's#/\.build-id/[0-9a-f]{2}/[0-9a-f]+\.debug$#/.build-id/ID.debug#' |
	LC_ALL=C sort > "$stage/staged"

if ! diff -u "$manifest" "$stage/staged"; then
	echo "the staged deliverables differ from $manifest (- expected, + staged)"
	exit 1
fi
