#!/bin/bash
# SPDX-License-Identifier: GPL-2.0-or-later
# zarun from the image runs Ruby scripts.
set -uo pipefail
work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT
cat > "$work/hello.rb" <<'RUBY'
name = ARGV.first || "world"
puts "Hello, #{name}! (#{name.length} characters)"
RUBY
show()
{
	echo "\$ zarun $*"
	LC_ALL=C.UTF-8 zarun "$@" 2>&1 | sed 's/^/  /'
	echo "  exit status ${PIPESTATUS[0]}"
}
show "$work/hello.rb" "Zoë"
show -e 'puts [3, 1, 2].sort.inspect'
show -e 'exit 3'
show -e 'raise "something broke"'
