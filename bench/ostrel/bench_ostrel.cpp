// SPDX-License-Identifier: GPL-2.0-or-later
// bench-ostrel DATAFILE: times SteAccelAdaptor::processSample over DATAFILE
// (meant to be on a tmpfs) and a one-element RingBuffer write against a
// plain copy of one sample into an array, each the best of several rounds of
// thread CPU time, and counts the allocations made while sampling.
#include "ostrel.h"

#include <mavrid/config.h>

#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <fcntl.h>
#include <time.h>
#include <unistd.h>

extern "C" void *__libc_malloc(size_t size);
extern "C" void *__libc_calloc(size_t n, size_t size);
extern "C" void *__libc_realloc(void *p, size_t size);
extern "C" void *__libc_memalign(size_t alignment, size_t size);

namespace {

unsigned long allocations = 0;

} // namespace

// Every allocation in the process, Qt's and the C++ library's included,
// passes through these.
extern "C" void *malloc(size_t size)
{
    ++allocations;
    return __libc_malloc(size);
}

extern "C" void *calloc(size_t n, size_t size)
{
    ++allocations;
    return __libc_calloc(n, size);
}

extern "C" void *realloc(void *p, size_t size)
{
    ++allocations;
    return __libc_realloc(p, size);
}

extern "C" void *memalign(size_t alignment, size_t size)
{
    ++allocations;
    return __libc_memalign(alignment, size);
}

namespace {

class NullReader : public RingBufferReader<TimedXyzData>
{
public:
    void wakeup() override { ++wakeups; }
    unsigned long wakeups = 0;
};

// CPU time of this thread: the machine may be shared, and time spent waiting
// for a processor is not the code's.
double now()
{
    struct timespec t;
    clock_gettime(CLOCK_THREAD_CPUTIME_ID, &t);
    return double(t.tv_sec) + double(t.tv_nsec) * 1e-9;
}

template <class F> double bestNanoseconds(long iterations, int rounds, F step)
{
    double best = 1e30;
    for (int r = 0; r < rounds; ++r) {
        const double start = now();
        for (long i = 0; i < iterations; ++i) {
            step(i);
        }
        const double ns = (now() - start) * 1e9 / double(iterations);
        if (ns < best) {
            best = ns;
        }
    }
    return best;
}

// Keeps the compiler from dropping or merging the stores under test.
inline void clobber(const void *p)
{
    asm volatile("" : : "g"(p) : "memory");
}

} // namespace

int main(int argc, char *argv[])
{
    if (argc != 2) {
        std::fprintf(stderr, "usage: bench-ostrel DATAFILE\n");
        return 2;
    }
    const int rounds = 31;

    SteAccelAdaptor adaptor(QStringLiteral("accelerometeradaptor"));
    auto *buffer = dynamic_cast<RingBuffer<TimedXyzData> *>(
        adaptor.findBuffer(QStringLiteral("accelerometer")));
    NullReader reader;
    if (!buffer || !buffer->joinTypeChecked(&reader)) {
        std::fprintf(stderr, "bench-ostrel: no accelerometer buffer\n");
        return 1;
    }
    const int fd = open(argv[1], O_RDONLY);
    if (fd < 0) {
        std::perror(argv[1]);
        return 1;
    }

    const long sampleIterations = 20000;
    adaptor.processSample(0, fd); // first-use costs out of the count
    const unsigned long before = allocations;
    const double sampleNs
        = bestNanoseconds(sampleIterations, rounds, [&](long) { adaptor.processSample(0, fd); });
    const unsigned long sampleAllocations = allocations - before;
    const unsigned long samplesTaken = (unsigned long)(sampleIterations)*rounds;
    TimedXyzData last[1] = {};
    reader.readCount = buffer->writeCount - 1;
    reader.read(1, last);
    close(fd);

    // Ring write of one element, with the adaptor's reader joined.
    const long writeIterations = 2000000;
    TimedXyzData value {1, 2, 3, 4};
    const double writeNs = bestNanoseconds(writeIterations, rounds, [&](long i) {
        value.timestamp = quint64(i);
        buffer->write(1, &value);
    });
    // The floor: the same element copied into an array slot, the slot chosen
    // the same way.
    static TimedXyzData array[128];
    volatile unsigned int capacity = 128;
    const unsigned int n = capacity;
    const double copyNs = bestNanoseconds(writeIterations, rounds, [&](long i) {
        value.timestamp = quint64(i);
        std::memcpy(&array[unsigned(i) % n], &value, sizeof(value));
        clobber(array);
    });
    // And with the slot chosen by a mask, the cheapest index there is.
    const double maskedCopyNs = bestNanoseconds(writeIterations, rounds, [&](long i) {
        value.timestamp = quint64(i);
        std::memcpy(&array[i & 127], &value, sizeof(value));
        clobber(array);
    });
    // The write without readers: the slot and the count alone.
    buffer->unjoinTypeChecked(&reader);
    const double lonelyWriteNs = bestNanoseconds(writeIterations, rounds, [&](long i) {
        value.timestamp = quint64(i);
        buffer->write(1, &value);
    });

    std::printf("processSample: %.0f ns per sample, %.0f samples per second (target >= 300000)\n",
                sampleNs,
                1e9 / sampleNs);
    std::printf("  last sample %d %d %d; allocations during %lu samples: %lu\n",
                last[0].x,
                last[0].y,
                last[0].z,
                samplesTaken,
                sampleAllocations);
    std::printf("ring write of one element (%zu bytes, 1 reader): %.2f ns\n",
                sizeof(TimedXyzData),
                writeNs);
    std::printf("ring write of one element (no reader):           %.2f ns\n", lonelyWriteNs);
    std::printf("plain copy into an array, slot i %% capacity:     %.2f ns\n", copyNs);
    std::printf("plain copy into an array, slot i & 127:          %.2f ns\n", maskedCopyNs);
    std::printf("ratio write / copy (slot i %% capacity): %.2f (target <= 3)\n", writeNs / copyNs);
    std::printf("ratio write / copy (slot i & 127):      %.2f (target <= 3)\n",
                writeNs / maskedCopyNs);
    std::printf("wakeups: %lu\n", reader.wakeups);
    return 0;
}
