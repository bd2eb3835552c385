#!/bin/bash
# SPDX-License-Identifier: GPL-2.0-or-later
# Runs every stop of the tour over a staged system image and the staged
# outside parts (platform and harness): run.sh IMAGE OUTSIDE
# In a private mount namespace the outside parts are put at their places
# under /usr, read-only, as the device's own system provides them; the
# deliverables are taken from the image. Each stop is a script NN-name.sh
# that gets the image in $IMAGE.
set -uo pipefail
here=$(cd "$(dirname "$0")" && pwd)
if [ "${1-}" != --inside ]; then
	if [ $# != 2 ]; then
		echo "usage: run.sh IMAGE OUTSIDE" >&2
		exit 2
	fi
	exec unshare --mount --propagation private bash "$0" --inside "$@"
fi
export IMAGE=$(cd "$2" && pwd)
outside=$(cd "$3" && pwd) || exit 1
for dir in /usr/lib /usr/bin; do
	if [ -d "$outside$dir" ]; then
		mount -t overlay overlay -o "lowerdir=$outside$dir:$dir" "$dir" || exit 1
	fi
done
export LD_LIBRARY_PATH="$IMAGE/usr/lib${LD_LIBRARY_PATH:+:$LD_LIBRARY_PATH}"
# The harness's tools are called by name, after everything else.
export PATH="$IMAGE/usr/bin:$PATH:/usr/lib/quellkit-harness"
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
