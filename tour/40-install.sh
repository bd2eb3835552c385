#!/bin/bash
# SPDX-License-Identifier: GPL-2.0-or-later
# install from the image: a file put into the image with its leading
# directories, a backup of the file it replaces, and a chain of directories.
set -euo pipefail
work=$(mktemp -d)
dest="$IMAGE/opt/tour-install"
trap 'rm -rf "$work" "$dest"; rmdir "$IMAGE/opt" 2>/dev/null || true' EXIT
# run.sh puts the image first on PATH; the program must be the image's
if [ "$(command -v install)" != "$IMAGE/usr/bin/install" ]; then
	echo "install on PATH is not the image's" >&2
	exit 1
fi
echo "install is \$IMAGE/usr/bin/install"

show()
{
	echo "\$ $*" | sed "s|$IMAGE|\$IMAGE|g; s|$work|\$WORK|g"
	"$@" 2>&1 | sed "s|$IMAGE|\$IMAGE|g; s|$work|\$WORK|g; s/^/  /"
}
listing()
{
	(cd "$dest" && find . -printf '%M %p\n' | sort -k2 | sed 's/^/  /')
}

cd "$work"
printf '#!/bin/sh\necho hello, version 1\n' > app
show install --version
show install -D -v -m 755 app "$dest/bin/app"
show "$dest/bin/app"

printf '#!/bin/sh\necho hello, version 2\n' > app
show install -v -b -m 755 app "$dest/bin/app"
show "$dest/bin/app"
show cat "$dest/bin/app~"

show install -d -v -m 750 "$dest/share/./doc/../lib/data"
echo "what is under \$IMAGE/opt/tour-install now:"
listing

echo "and one mistake, reported with the exit status:"
set +e
show install app "$work/missing/"
echo "  exit status ${PIPESTATUS[0]}"
