// SPDX-License-Identifier: GPL-2.0-or-later
#ifndef MISUSE_H
#define MISUSE_H

#include "ksim.h"

#ifdef __cplusplus
extern "C" {
#endif

void misuse_sleep_in_interrupt(void);
void misuse_free_pending_work(void);
void misuse_free_unrequested_irq(void);
void misuse_free_registered_extcon(void);
void misuse_set_unregistered_state(void);
void misuse_queue_uninitialised_work(void);

/* 1 when pending work kept the expiry it was first queued with. */
int use_requeue_keeps_first_expiry(void);
/* The state read of a connector whose print_state fails. */
int use_failing_print_state(char *buf, size_t size);

#ifdef __cplusplus
}
#endif

#endif
