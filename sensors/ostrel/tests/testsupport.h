// SPDX-License-Identifier: GPL-2.0-or-later
// Shared pieces of the plug-in's tests: capturing log records, a reader
// that counts its wake-ups, and writing a configuration.
#pragma once

#include "core/ringbuffer.h"

#include <QBuffer>
#include <QStringList>

#include <string>
#include <utility>
#include <vector>

class LogCapture
{
public:
    explicit LogCapture(int level = MavridLogDebug);
    ~LogCapture();

    QStringList lines() const;

private:
    QBuffer m_buffer;
};

template <class T> class CountingReader : public RingBufferReader<T>
{
public:
    void wakeup() override { ++wakeups; }

    int wakeups = 0;
};

// Writes "group/name" keys to a configuration file at path and loads it.
void loadConfig(const std::string &path,
                const std::vector<std::pair<std::string, std::string>> &keys);
