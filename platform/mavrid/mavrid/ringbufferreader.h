// SPDX-License-Identifier: GPL-2.0-or-later
#pragma once

template <class TYPE> class RingBuffer;

// Something a producer wakes when data waits for it.
class Pusher
{
public:
    virtual ~Pusher();
    virtual void wakeup() = 0;
};

class RingBufferReaderBase : public Pusher
{
public:
    ~RingBufferReaderBase() override;
};

/*
 * A reader of a RingBuffer<TYPE>. Joining sets readCount to the buffer's
 * write count and ringBuffer to the buffer; read() then drains what was
 * written since. A reader that fell more than a buffer's capacity behind
 * skips to the oldest element still held and counts the others as lost.
 */
template <class TYPE> class RingBufferReader : public RingBufferReaderBase
{
public:
    // Elements written and not read yet, at most the buffer's capacity.
    unsigned int unread() const;
    // Copies up to max unread elements into values, oldest first, and
    // returns their number.
    unsigned int read(unsigned int max, TYPE *values);

    unsigned int readCount = 0;
    const RingBuffer<TYPE> *ringBuffer = nullptr;
    unsigned int lost = 0;
};

template <class TYPE> unsigned int RingBufferReader<TYPE>::unread() const
{
    if (!ringBuffer) {
        return 0;
    }
    const unsigned int behind = ringBuffer->writeCount - readCount;
    return behind > ringBuffer->capacity ? ringBuffer->capacity : behind;
}

template <class TYPE> unsigned int RingBufferReader<TYPE>::read(unsigned int max, TYPE *values)
{
    if (!ringBuffer) {
        return 0;
    }
    const unsigned int behind = ringBuffer->writeCount - readCount;
    if (behind > ringBuffer->capacity) {
        lost += behind - ringBuffer->capacity;
        readCount = ringBuffer->writeCount - ringBuffer->capacity;
    }
    unsigned int n = 0;
    while (n < max && readCount != ringBuffer->writeCount) {
        values[n++] = ringBuffer->storage[readCount % ringBuffer->capacity];
        ++readCount;
    }
    return n;
}
