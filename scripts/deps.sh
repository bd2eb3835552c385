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
exit 0
