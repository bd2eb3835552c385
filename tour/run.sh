#!/bin/bash
# SPDX-License-Identifier: GPL-2.0-or-later
# Runs every stop of the tour over a staged system image: run.sh IMAGE
# Each stop is a script NN-name.sh that gets the image in $IMAGE.
set -uo pipefail
here=$(cd "$(dirname "$0")" && pwd)
export IMAGE=$(cd "$1" && pwd)
export LD_LIBRARY_PATH="$IMAGE/usr/lib${LD_LIBRARY_PATH:+:$LD_LIBRARY_PATH}"
export PATH="$IMAGE/usr/bin:$PATH"
failed=0
for stop in "$here"/[0-9][0-9]-*.sh; do
	[ -e "$stop" ] || continue
	name=$(basename "$stop" .sh)
	echo
	echo "=== tour: ${name#[0-9][0-9]-}"
	if ! bash "$stop"; then
		echo "=== tour stop $name FAILED"
		failed=1
	fi
done
exit $failed
