#!/bin/bash
# SPDX-License-Identifier: GPL-2.0-or-later
# Runs inside the daemon test's private mount namespace:
# daemon_session.sh FERRUND INVOKER BOOSTER APP NOTELF OUTDIR
set -u
ferrund=$1 invoke=$2 booster=$3 app=$4 notelf=$5 out=$6

# The daemon reports each booster that is ready on descriptor 3, a pipe that
# this script reads.
mkfifo "$out/ready"
DISPLAY=:0 "$ferrund" --debug --ready-fd 3 --booster "$booster" 3> "$out/ready" \
	> "$out/daemon.out" 2> "$out/daemon.log" &
daemon=$!
exec 4< "$out/ready"

# Waits up to 30 s for the next report, which must be a ready booster.
ready()
{
	read -r -t 30 -u 4 report && [ "${report%% *}" = ready ] || { echo "booster not ready"; exit 1; }
}

ready
mkdir -p /tmp/work
cd /tmp/work
APP_MARK=from-invoker "$invoke" -s "$TESTBOOSTER_SOCKET" -w "$app" 7 "two words"
echo "waited=$?"
ready
"$invoke" -s "$TESTBOOSTER_SOCKET" "$app" 0
echo "not waiting=$?"
ready
"$invoke" -s "$TESTBOOSTER_SOCKET" -w "$notelf"
echo "not loadable=$?"
ready
DISPLAY=:0 "$ferrund" --booster "$booster" > /dev/null 2> "$out/second.log"
echo "second daemon=$?"
kill -TERM "$daemon"
wait "$daemon"
echo "daemon=$?"
[ -e "$TESTBOOSTER_SOCKET" ] && echo "socket left" || echo "socket removed"
