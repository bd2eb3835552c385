#!/bin/bash
# SPDX-License-Identifier: GPL-2.0-or-later
# trellow on the simulated machine: a board's connector bound by the module,
# its line bouncing, and what user space reads from the connector.
set -euo pipefail
sim=/usr/lib/quellkit-harness/trellow-sim

show()
{
	echo "\$ trellow-sim $*"
	"$sim" "$@"
	echo
}

echo "A dock on line 5, 50 ms debounce, with the board's state texts; the plug"
echo "bounces going in and coming out:"
show --name dock --gpio 5 --debounce 50 --on Docked --off Undocked \
	load show set 1 wait 10 set 0 wait 10 set 1 wait 80 show \
	set 0 wait 20 set 1 wait 10 set 0 wait 80 show unload show

echo "A headset already plugged at load, without state texts (the extcon"
echo "class's own rendering of the state):"
show --name headset --gpio 12 --debounce 20 --level 1 \
	load show set 0 wait 40 set 1 wait 40 unload

echo "The same headset with a board that asks for rising edges only: the"
echo "unplug raises no interrupt, so the state stays as it was:"
show --name headset --gpio 12 --debounce 20 --flags rising --level 1 \
	load set 0 wait 40 show unload

echo "A board that gives no trigger flags is refused at probe:"
show --name broken --flags 0 load show
