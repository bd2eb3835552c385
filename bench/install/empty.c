// SPDX-License-Identifier: GPL-2.0-or-later
// The least a dynamically linked C program costs to start.
int main(void)
{
	return 0;
}
