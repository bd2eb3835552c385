/* SPDX-License-Identifier: GPL-2.0-or-later */
/*
 * Board data of a trellow connector: a GPIO input whose debounced level is
 * reported as the state of an extcon device.
 */
#ifndef __TRELLOW_H__
#define __TRELLOW_H__

/**
 * struct trellow_platform_data - one connector of a board
 * @name:	name of the extcon device
 * @gpio:	GPIO line to watch
 * @debounce_ms: delay from an interrupt to the reading of the level
 * @irq_flags:	trigger flags of the line's interrupt; must not be 0
 * @on_text:	state text for a high line, or NULL
 * @off_text:	state text for a low line, or NULL
 *
 * The texts are used as state text only when both are given; with its
 * newline, a text is cut to the page the state is read into. The driver
 * keeps these pointers, so the data must outlive the binding.
 */
struct trellow_platform_data {
	const char *name;
	unsigned gpio;
	unsigned debounce_ms;
	unsigned long irq_flags;
	const char *on_text;
	const char *off_text;
};

#endif /* __TRELLOW_H__ */
