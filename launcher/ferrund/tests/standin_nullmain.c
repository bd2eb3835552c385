// SPDX-License-Identifier: GPL-2.0-or-later
// Stand-in launcher library whose main is an absolute symbol of value zero:
// the loader finds it without error, but it cannot be called.
__asm__(".globl main\n.type main, @function\n.set main, 0\n");
