#!/bin/bash
# SPDX-License-Identifier: GPL-2.0-or-later
# vexlink: rehashes a copy of the machine's CA certificate set and shows the
# links it made and a certificate found through them.
set -euo pipefail
src=/usr/share/ca-certificates/mozilla
work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT

echo "\$ vexlink -version    ($(command -v vexlink))"
vexlink -version

mkdir "$work/certs"
cp "$src"/*.crt "$work/certs/"
echo
echo "copied $(ls "$work/certs" | wc -l) CA certificates from $src into $work/certs"
echo "\$ vexlink -v $work/certs"
vexlink -v "$work/certs" >"$work/trace" 2>"$work/warnings"
sed -n 1,6p "$work/trace"
echo "... ($(wc -l <"$work/trace") lines)"
echo "on standard error (two certificates with one subject name get one link):"
sed 's/^/  /' "$work/warnings"
echo "links made: $(find "$work/certs" -type l | wc -l); some of them:"
links() { (cd "$work/certs" && ls -l --time-style=+ | awk '/ -> / {print $(NF-2), $(NF-1), $NF}'); }
links | awk 'NR <= 4 {print "  " $0}'

echo
echo "a TLS library finds a root through the links:"
echo "\$ openssl verify -CApath $work/certs ISRG_Root_X1.crt"
openssl verify -CApath "$work/certs" "$work/certs/ISRG_Root_X1.crt"

echo
echo "a second run removes the old links first and makes the same ones again:"
before=$(links)
vexlink "$work/certs"
if [ "$before" = "$(links)" ]; then
	echo "  the same $(find "$work/certs" -type l | wc -l) links"
else
	echo "  the links differ from the first run"
	exit 1
fi

echo
echo "directories from SSL_CERT_DIR; one that does not exist is reported and passed over:"
mkdir "$work/other"
cp "$src/ISRG_Root_X2.crt" "$work/other/"
echo "\$ SSL_CERT_DIR=$work/missing:$work/other vexlink -v"
status=0
SSL_CERT_DIR="$work/missing:$work/other" vexlink -v 2>"$work/errors" || status=$?
echo "on standard error:"
sed 's/^/  /' "$work/errors"
echo "exit status $status"
