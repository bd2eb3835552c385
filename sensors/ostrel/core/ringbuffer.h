// SPDX-License-Identifier: GPL-2.0-or-later
#pragma once

#include <mavrid/consumer.h>
#include <mavrid/logging.h>
#include <mavrid/ringbufferreader.h>

#include <QSet>
#include <QString>

// The daemon's readers work on these buffers as built here: the classes,
// their field order and the meaning of each field are shared with it.

class SinkBase
{
public:
    virtual ~SinkBase() { }
};

template <class T> class SinkTyped : public SinkBase
{
public:
    virtual void collect(int n, const T *values) = 0;
};

// Forwards what is pushed into it to a member of the bound instance.
template <class TYPE, class T> class Sink : public SinkTyped<T>
{
public:
    typedef void (TYPE::*Member)(unsigned int n, const T *values);

    Sink(TYPE *instance, Member member)
        : instance(instance)
        , member(member)
    { }

    // A negative count pushes nothing: as unsigned it would run far past
    // the end of values.
    void collect(int n, const T *values) override
    {
        (instance->*member)(n < 0 ? 0u : unsigned(n), values);
    }

private:
    TYPE *instance;
    Member member;
};

class RingBufferBase : public Consumer
{
public:
    virtual ~RingBufferBase() { }
    virtual bool joinTypeChecked(RingBufferReaderBase *reader) = 0;
    virtual bool unjoinTypeChecked(RingBufferReaderBase *reader) = 0;
};

/*
 * A ring of capacity elements with one writer and any number of joined
 * readers. Write number k lands in storage[k % capacity]; the buffer never
 * refuses a write and keeps no read position: each reader keeps its own.
 * Writes, joins and unjoins must not overlap.
 */
template <class TYPE> class RingBuffer : public RingBufferBase
{
public:
    // A size of 0 is taken as 1: every write needs a slot.
    explicit RingBuffer(unsigned int size);
    ~RingBuffer() override;

    bool joinTypeChecked(RingBufferReaderBase *reader) override;
    bool unjoinTypeChecked(RingBufferReaderBase *reader) override;

    // Appends n values and wakes the readers, also when n is 0.
    void write(unsigned int n, const TYPE *values);

    Sink<RingBuffer<TYPE>, TYPE> sink;
    unsigned int capacity;
    TYPE *storage;
    unsigned int writeCount;
    QSet<RingBufferReader<TYPE> *> readers;

protected:
    // Wakes the readers joined now; joins and unjoins made by a woken reader
    // take effect from the next wake-up.
    void wakeReaders();

private:
    Q_DISABLE_COPY(RingBuffer)
};

// The adaptor's buffer: one element at a time is filled in place, then
// counted, then announced.
template <class TYPE> class DeviceAdaptorRingBuffer : public RingBuffer<TYPE>
{
public:
    explicit DeviceAdaptorRingBuffer(unsigned int size)
        : RingBuffer<TYPE>(size)
    { }

    TYPE *writeSlot() { return &this->storage[this->writeCount % this->capacity]; }
    void commitWrite() { ++this->writeCount; }
    using RingBuffer<TYPE>::wakeReaders;
};

template <class TYPE>
RingBuffer<TYPE>::RingBuffer(unsigned int size)
    : sink(this, &RingBuffer<TYPE>::write)
    , capacity(size > 0 ? size : 1)
    , storage(new TYPE[capacity]())
    , writeCount(0)
{
    addSink(&sink, QStringLiteral("sink"));
}

template <class TYPE> RingBuffer<TYPE>::~RingBuffer()
{
    delete[] storage;
}

template <class TYPE> void RingBuffer<TYPE>::write(unsigned int n, const TYPE *values)
{
    for (unsigned int i = 0; i < n; ++i) {
        storage[writeCount % capacity] = values[i];
        ++writeCount;
    }
    wakeReaders();
}

template <class TYPE> void RingBuffer<TYPE>::wakeReaders()
{
    // The copy shares the set's data; a reader that joins or leaves while
    // woken detaches the original, not this.
    const QSet<RingBufferReader<TYPE> *> woken = readers;
    for (RingBufferReader<TYPE> *reader : woken) {
        reader->wakeup();
    }
}

// The daemon's log filters match these records by source and line, so both
// are fixed.
template <class TYPE> bool RingBuffer<TYPE>::joinTypeChecked(RingBufferReaderBase *reader)
{
    MavridLogger(__PRETTY_FUNCTION__, "../../core/ringbuffer", 245, MavridLogDebug)
        << "joining reader to ringbuffer.";
    RingBufferReader<TYPE> *typed = dynamic_cast<RingBufferReader<TYPE> *>(reader);
    if (!typed) {
        MavridLogger(__PRETTY_FUNCTION__, "../../core/ringbuffer", 249, MavridLogWarning)
            << "Ringbuffer join failed!";
        return false;
    }
    typed->readCount = writeCount;
    typed->ringBuffer = this;
    readers.insert(typed);
    return true;
}

template <class TYPE> bool RingBuffer<TYPE>::unjoinTypeChecked(RingBufferReaderBase *reader)
{
    RingBufferReader<TYPE> *typed = dynamic_cast<RingBufferReader<TYPE> *>(reader);
    if (!typed) {
        MavridLogger(__PRETTY_FUNCTION__, "../../core/ringbuffer", 269, MavridLogWarning)
            << "Ringbuffer unjoin failed!";
        return false;
    }
    readers.remove(typed);
    return true;
}
