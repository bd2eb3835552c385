#!/bin/bash
# SPDX-License-Identifier: GPL-2.0-or-later
# Runs inside the daemon test's private mount namespace:
# daemon_session.sh FERRUND INVOKER BOOSTER APP NOTELF OUTDIR
set -u
ferrund=$1 invoke=$2 booster=$3 app=$4 notelf=$5 out=$6

ready()
{
	for _ in $(seq 600); do
		[ "$(grep -c 'booster t ready' "$out/daemon.log")" -ge "$1" ] && return 0
		sleep 0.05
	done
	echo "booster not ready"
	exit 1
}

DISPLAY=:0 "$ferrund" --debug --booster "$booster" > "$out/daemon.out" 2> "$out/daemon.log" &
daemon=$!
ready 1
mkdir -p /tmp/work
cd /tmp/work
APP_MARK=from-invoker "$invoke" -s "$TESTBOOSTER_SOCKET" -w "$app" 7 "two words"
echo "waited=$?"
ready 2
"$invoke" -s "$TESTBOOSTER_SOCKET" "$app" 0
echo "not waiting=$?"
ready 3
"$invoke" -s "$TESTBOOSTER_SOCKET" -w "$notelf"
echo "not loadable=$?"
ready 4
DISPLAY=:0 "$ferrund" --booster "$booster" > /dev/null 2> "$out/second.log"
echo "second daemon=$?"
kill -TERM "$daemon"
wait "$daemon"
echo "daemon=$?"
[ -e "$TESTBOOSTER_SOCKET" ] && echo "socket left" || echo "socket removed"
