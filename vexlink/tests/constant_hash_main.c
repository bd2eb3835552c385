// SPDX-License-Identifier: GPL-2.0-or-later
// vexlink built with every name hashing to 1a2b3c4d, so that more than a
// thousand different names collide.
#include "vexlink.h"

static uint32_t constant_hash(const X509_NAME *name)
{
	(void)name;
	return 0x1a2b3c4d;
}

int main(int argc, char **argv)
{
	vexlink_hash_seam = constant_hash;
	return vexlink_main(argc, argv);
}
