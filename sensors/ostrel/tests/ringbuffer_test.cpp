// SPDX-License-Identifier: GPL-2.0-or-later
#include "core/ringbuffer.h"

#include "core/timedxyzdata.h"
#include "testsupport.h"

#include <gtest/gtest.h>

#include <cstddef>

namespace {

const QString joinNotice = QStringLiteral(
    "[D] ../../core/ringbuffer:245 bool RingBuffer<TYPE>::joinTypeChecked(RingBufferReaderBase*) "
    "[with TYPE = TimedXyzData]: joining reader to ringbuffer.");
const QString joinFailure = QStringLiteral(
    "[W] ../../core/ringbuffer:249 bool RingBuffer<TYPE>::joinTypeChecked(RingBufferReaderBase*) "
    "[with TYPE = TimedXyzData]: Ringbuffer join failed!");
const QString unjoinFailure = QStringLiteral(
    "[W] ../../core/ringbuffer:269 bool RingBuffer<TYPE>::unjoinTypeChecked(RingBufferReaderBase*) "
    "[with TYPE = TimedXyzData]: Ringbuffer unjoin failed!");

TimedXyzData sample(quint64 k)
{
    return TimedXyzData {k, qint32(k), -qint32(k), qint32(k * 2)};
}

void expectSample(const TimedXyzData &actual, quint64 k)
{
    EXPECT_EQ(actual.timestamp, k);
    EXPECT_EQ(actual.x, qint32(k));
    EXPECT_EQ(actual.y, -qint32(k));
    EXPECT_EQ(actual.z, qint32(k * 2));
}

void writeSamples(RingBuffer<TimedXyzData> &buffer, quint64 first, quint64 count)
{
    for (quint64 k = first; k < first + count; ++k) {
        const TimedXyzData s = sample(k);
        buffer.write(1, &s);
    }
}

// Readers in other processes share these layouts, on either width.
static_assert(offsetof(TimedXyzData, timestamp) == 0, "timestamp first");
static_assert(offsetof(TimedXyzData, x) == 8, "x after the 64-bit time stamp");
static_assert(offsetof(TimedXyzData, y) == 12, "y after x");
static_assert(offsetof(TimedXyzData, z) == 16, "z after y");
static_assert(sizeof(TimedXyzData::timestamp) == 8 && sizeof(TimedXyzData::x) == 4,
              "64-bit time stamp, 32-bit axes");
static_assert(sizeof(RingBuffer<TimedXyzData>::capacity) == 4
                  && sizeof(RingBuffer<TimedXyzData>::writeCount) == 4,
              "32-bit capacity and counter, which wraps");

TEST(RingBuffer, StartsZeroedWithItsSinkEntered)
{
    RingBuffer<TimedXyzData> buffer(128);
    EXPECT_EQ(buffer.capacity, 128u);
    EXPECT_EQ(buffer.writeCount, 0u);
    EXPECT_TRUE(buffer.readers.isEmpty());
    for (unsigned int i = 0; i < buffer.capacity; ++i) {
        expectSample(buffer.storage[i], 0);
    }
    EXPECT_EQ(buffer.findSink(QStringLiteral("sink")), &buffer.sink);
}

TEST(RingBuffer, WriteNumberKLandsInSlotKModuloCapacity)
{
    RingBuffer<TimedXyzData> buffer(128);
    writeSamples(buffer, 0, 129);
    EXPECT_EQ(buffer.writeCount, 129u);
    expectSample(buffer.storage[0], 128); // the 129th replaced the first
    expectSample(buffer.storage[1], 1);
    expectSample(buffer.storage[127], 127);
}

TEST(RingBuffer, SeveralValuesInOneWriteLandInOrder)
{
    RingBuffer<TimedXyzData> buffer(4);
    const TimedXyzData values[]
        = {sample(1), sample(2), sample(3), sample(4), sample(5), sample(6)};
    buffer.write(6, values);
    EXPECT_EQ(buffer.writeCount, 6u);
    expectSample(buffer.storage[0], 5);
    expectSample(buffer.storage[1], 6);
    expectSample(buffer.storage[2], 3);
    expectSample(buffer.storage[3], 4);
}

TEST(RingBuffer, WriteCountWrapsWithoutASlotJump)
{
    RingBuffer<TimedXyzData> buffer(128);
    buffer.writeCount = 4294967294u;
    CountingReader<TimedXyzData> reader;
    ASSERT_TRUE(buffer.joinTypeChecked(&reader));
    writeSamples(buffer, 1, 4);

    EXPECT_EQ(buffer.writeCount, 2u);
    expectSample(buffer.storage[126], 1);
    expectSample(buffer.storage[127], 2);
    expectSample(buffer.storage[0], 3);
    expectSample(buffer.storage[1], 4);

    TimedXyzData out[8];
    ASSERT_EQ(reader.read(8, out), 4u);
    for (quint64 k = 0; k < 4; ++k) {
        expectSample(out[k], k + 1);
    }
}

TEST(RingBuffer, WriteOfNothingStillWakesEveryReader)
{
    RingBuffer<TimedXyzData> buffer(128);
    writeSamples(buffer, 0, 3);
    CountingReader<TimedXyzData> first;
    CountingReader<TimedXyzData> second;
    ASSERT_TRUE(buffer.joinTypeChecked(&first));
    ASSERT_TRUE(buffer.joinTypeChecked(&second));

    buffer.write(0, nullptr);

    EXPECT_EQ(buffer.writeCount, 3u);
    EXPECT_EQ(first.wakeups, 1);
    EXPECT_EQ(second.wakeups, 1);
    EXPECT_EQ(first.unread(), 0u);
}

TEST(RingBuffer, JoinStartsTheReaderAfterWhatWasWritten)
{
    RingBuffer<TimedXyzData> buffer(128);
    writeSamples(buffer, 0, 300);
    CountingReader<TimedXyzData> reader;
    ASSERT_TRUE(buffer.joinTypeChecked(&reader));
    EXPECT_EQ(reader.readCount, 300u);
    EXPECT_EQ(reader.ringBuffer, &buffer);
    EXPECT_EQ(reader.unread(), 0u);

    writeSamples(buffer, 300, 1);
    EXPECT_EQ(reader.wakeups, 1);
    TimedXyzData out[4];
    ASSERT_EQ(reader.read(4, out), 1u);
    expectSample(out[0], 300);
}

TEST(RingBuffer, JoinLogsANoticeEachTime)
{
    LogCapture log;
    RingBuffer<TimedXyzData> buffer(8);
    CountingReader<TimedXyzData> reader;
    EXPECT_TRUE(buffer.joinTypeChecked(&reader));
    EXPECT_TRUE(buffer.joinTypeChecked(&reader));
    EXPECT_EQ(log.lines(), QStringList({joinNotice, joinNotice}));
}

TEST(RingBuffer, JoinAndUnjoinRefuseReadersOfAnotherType)
{
    struct Case
    {
        const char *name;
        RingBufferReaderBase *reader;
    };
    CountingReader<int> ofInts;
    ofInts.readCount = 7;
    const Case cases[] = {
        {"reader of int", &ofInts},
        {"null reader", nullptr},
    };
    for (const Case &c : cases) {
        SCOPED_TRACE(c.name);
        LogCapture log;
        RingBuffer<TimedXyzData> buffer(8);
        writeSamples(buffer, 0, 3);

        EXPECT_FALSE(buffer.joinTypeChecked(c.reader));
        EXPECT_FALSE(buffer.unjoinTypeChecked(c.reader));

        EXPECT_EQ(log.lines(), QStringList({joinNotice, joinFailure, unjoinFailure}));
        EXPECT_TRUE(buffer.readers.isEmpty());
        EXPECT_EQ(buffer.writeCount, 3u);
    }
    EXPECT_EQ(ofInts.readCount, 7u);
    EXPECT_EQ(ofInts.ringBuffer, nullptr);
}

TEST(RingBuffer, DoubleJoinKeepsOneEntry)
{
    RingBuffer<TimedXyzData> buffer(8);
    CountingReader<TimedXyzData> reader;
    ASSERT_TRUE(buffer.joinTypeChecked(&reader));
    ASSERT_TRUE(buffer.joinTypeChecked(&reader));
    EXPECT_EQ(buffer.readers.size(), 1);
    writeSamples(buffer, 0, 1);
    EXPECT_EQ(reader.wakeups, 1);
}

TEST(RingBuffer, UnjoinStopsWakeupsAndAcceptsStrangers)
{
    LogCapture log;
    RingBuffer<TimedXyzData> buffer(8);
    CountingReader<TimedXyzData> joined;
    CountingReader<TimedXyzData> stranger;
    ASSERT_TRUE(buffer.joinTypeChecked(&joined));
    writeSamples(buffer, 0, 2);

    EXPECT_TRUE(buffer.unjoinTypeChecked(&stranger));
    EXPECT_TRUE(buffer.unjoinTypeChecked(&joined));
    writeSamples(buffer, 2, 1);

    EXPECT_EQ(joined.wakeups, 2);
    EXPECT_EQ(stranger.wakeups, 0);
    // Unjoining leaves the reader's own fields alone.
    EXPECT_EQ(joined.readCount, 0u);
    EXPECT_EQ(joined.ringBuffer, &buffer);
    EXPECT_EQ(log.lines(), QStringList({joinNotice}));
}

// A reader that joins or unjoins another one when it is woken.
class MeddlingReader : public RingBufferReader<TimedXyzData>
{
public:
    void wakeup() override
    {
        ++wakeups;
        if (join) {
            buffer->joinTypeChecked(other);
        } else {
            buffer->unjoinTypeChecked(other);
        }
    }

    RingBuffer<TimedXyzData> *buffer = nullptr;
    RingBufferReaderBase *other = nullptr;
    bool join = true;
    int wakeups = 0;
};

TEST(RingBuffer, JoinsAndUnjoinsDuringAWakeupCountFromTheNext)
{
    for (bool join : {true, false}) {
        SCOPED_TRACE(join ? "join while woken" : "unjoin while woken");
        RingBuffer<TimedXyzData> buffer(8);
        MeddlingReader meddler;
        CountingReader<TimedXyzData> other;
        meddler.buffer = &buffer;
        meddler.other = &other;
        meddler.join = join;
        ASSERT_TRUE(buffer.joinTypeChecked(&meddler));
        if (!join) {
            ASSERT_TRUE(buffer.joinTypeChecked(&other));
        }

        writeSamples(buffer, 0, 1);
        EXPECT_EQ(other.wakeups, join ? 0 : 1);
        writeSamples(buffer, 1, 1);
        EXPECT_EQ(other.wakeups, 1);
        EXPECT_EQ(meddler.wakeups, 2);
    }
}

TEST(RingBuffer, SamplePushedThroughTheSinkLandsAsWritten)
{
    const TimedXyzData values[] = {sample(11), sample(12), sample(13)};
    RingBuffer<TimedXyzData> written(4);
    written.write(3, values);

    RingBuffer<TimedXyzData> pushed(4);
    CountingReader<TimedXyzData> reader;
    ASSERT_TRUE(pushed.joinTypeChecked(&reader));
    auto *sink = dynamic_cast<SinkTyped<TimedXyzData> *>(pushed.findSink(QStringLiteral("sink")));
    ASSERT_NE(sink, nullptr);
    sink->collect(3, values);

    EXPECT_EQ(pushed.writeCount, written.writeCount);
    EXPECT_EQ(reader.wakeups, 1);
    for (unsigned int i = 0; i < 4; ++i) {
        SCOPED_TRACE(i);
        EXPECT_EQ(pushed.storage[i].timestamp, written.storage[i].timestamp);
        EXPECT_EQ(pushed.storage[i].x, written.storage[i].x);
        EXPECT_EQ(pushed.storage[i].y, written.storage[i].y);
        EXPECT_EQ(pushed.storage[i].z, written.storage[i].z);
    }
}

TEST(RingBuffer, SinkPushesNothingForANegativeCount)
{
    RingBuffer<TimedXyzData> buffer(4);
    CountingReader<TimedXyzData> reader;
    ASSERT_TRUE(buffer.joinTypeChecked(&reader));
    const TimedXyzData value = sample(5);
    buffer.sink.collect(-1, &value);
    EXPECT_EQ(buffer.writeCount, 0u);
    expectSample(buffer.storage[0], 0);
    EXPECT_EQ(reader.wakeups, 1);
}

TEST(RingBuffer, BufferOfSizeZeroStillHoldsTheNewestElement)
{
    RingBuffer<TimedXyzData> buffer(0);
    CountingReader<TimedXyzData> reader;
    ASSERT_TRUE(buffer.joinTypeChecked(&reader));
    writeSamples(buffer, 1, 2);
    TimedXyzData out[2];
    ASSERT_EQ(reader.read(2, out), 1u);
    expectSample(out[0], 2);
    EXPECT_EQ(reader.lost, 1u);
}

TEST(RingBufferReader, OverrunReaderSkipsToTheOldestHeldElement)
{
    RingBuffer<TimedXyzData> buffer(8);
    CountingReader<TimedXyzData> reader;
    ASSERT_TRUE(buffer.joinTypeChecked(&reader));
    writeSamples(buffer, 0, 20);
    EXPECT_EQ(reader.unread(), 8u);
    TimedXyzData out[3];
    ASSERT_EQ(reader.read(3, out), 3u);
    expectSample(out[0], 12);
    expectSample(out[2], 14);
    EXPECT_EQ(reader.lost, 12u);
    EXPECT_EQ(reader.unread(), 5u);
}

TEST(DeviceAdaptorRingBuffer, InPlaceWritesFollowTheSlotSequence)
{
    DeviceAdaptorRingBuffer<TimedXyzData> buffer(128);
    CountingReader<TimedXyzData> reader;
    ASSERT_TRUE(buffer.joinTypeChecked(&reader));
    for (quint64 k = 0; k < 129; ++k) {
        TimedXyzData *slot = buffer.writeSlot();
        ASSERT_EQ(slot, &buffer.storage[k % 128]);
        *slot = sample(k);
        buffer.commitWrite();
        buffer.wakeReaders();
    }
    EXPECT_EQ(buffer.writeCount, 129u);
    EXPECT_EQ(reader.wakeups, 129);
    expectSample(buffer.storage[0], 128);
    expectSample(buffer.storage[1], 1);
}

} // namespace
