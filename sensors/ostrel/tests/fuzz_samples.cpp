// SPDX-License-Identifier: GPL-2.0-or-later
// Feeds arbitrary data-file contents to the adaptor and compares the stored
// sample with a slow reference: the text split at ":" and each field converted
// by the toolkit's own string-to-integer conversion.
#include "ostrel.h"

#include <QString>
#include <QStringList>

#include <cstdint>
#include <cstdlib>
#include <sys/mman.h>
#include <unistd.h>

namespace {

class SampleReader : public RingBufferReader<TimedXyzData>
{
public:
    void wakeup() override { ++wakeups; }

    int wakeups = 0;
};

struct Fixture
{
    Fixture()
        : adaptor(QStringLiteral("accelerometeradaptor"))
    {
        buffer = dynamic_cast<RingBuffer<TimedXyzData> *>(
            adaptor.findBuffer(QStringLiteral("accelerometer")));
        if (!buffer || !buffer->joinTypeChecked(&reader)) {
            abort();
        }
    }

    SteAccelAdaptor adaptor;
    RingBuffer<TimedXyzData> *buffer = nullptr;
    SampleReader reader;
};

qint32 referenceValue(const QStringList &fields, int i)
{
    const qint64 raw = i < fields.size() ? fields[i].toInt(nullptr, 10) : 0;
    return qint32(double(raw) * 0.1 * 9.812865328);
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t *data, size_t size)
{
    static Fixture fixture;

    const int fd = memfd_create("data", 0);
    if (fd < 0 || (size > 0 && write(fd, data, size) != ssize_t(size))) {
        abort();
    }
    // Leave the offset at the end: the adaptor must seek back itself.
    const int wakeupsBefore = fixture.reader.wakeups;
    fixture.adaptor.processSample(0, fd);
    close(fd);

    TimedXyzData samples[2];
    if (fixture.reader.read(2, samples) != 1 || fixture.reader.wakeups != wakeupsBefore + 1) {
        abort();
    }
    // Only the first 32 bytes are read.
    const int length = int(size < 32 ? size : 32);
    const QStringList fields
        = QString::fromLatin1(reinterpret_cast<const char *>(data), length).split(QLatin1Char(':'));
    if (samples[0].x != referenceValue(fields, 0) || samples[0].y != referenceValue(fields, 1)
        || samples[0].z != referenceValue(fields, 2)) {
        abort();
    }
    return 0;
}
