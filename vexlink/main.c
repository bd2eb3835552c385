// SPDX-License-Identifier: GPL-2.0-or-later
#include "vexlink.h"

int main(int argc, char **argv)
{
	return vexlink_main(argc, argv);
}
