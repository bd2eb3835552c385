// SPDX-License-Identifier: GPL-2.0-or-later
// Stand-in launcher library without an entry point.
int standin_not_main(void)
{
	return 0;
}
