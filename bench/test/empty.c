// SPDX-License-Identifier: GPL-2.0-or-later
// The floor: a dynamically linked program that does nothing.
int main(void)
{
	return 0;
}
