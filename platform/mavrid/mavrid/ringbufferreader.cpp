// SPDX-License-Identifier: GPL-2.0-or-later
#include "ringbufferreader.h"

Pusher::~Pusher() = default;

RingBufferReaderBase::~RingBufferReaderBase() = default;
