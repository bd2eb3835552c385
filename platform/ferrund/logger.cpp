// SPDX-License-Identifier: GPL-2.0-or-later
#include "logger.h"

#include <cstdarg>
#include <cstdio>
#include <string>

namespace {

bool s_debug = false;

void writeLine(const char *format, va_list args)
{
    va_list copy;
    va_copy(copy, args);
    const int n = vsnprintf(nullptr, 0, format, copy);
    va_end(copy);
    if (n < 0) {
        return;
    }
    std::string line(size_t(n) + 1, '\0');
    vsnprintf(line.data(), line.size(), format, args);
    line.back() = '\n';
    // One write per line, so lines of several processes do not interleave.
    (void)fwrite(line.data(), 1, line.size(), stderr);
    (void)fflush(stderr);
}

} // namespace

void Logger::logError(const char *format, ...)
{
    va_list args;
    va_start(args, format);
    writeLine(format, args);
    va_end(args);
}

void Logger::logDebug(const char *format, ...)
{
    if (!s_debug) {
        return;
    }
    va_list args;
    va_start(args, format);
    writeLine(format, args);
    va_end(args);
}

void Logger::setDebug(bool on)
{
    s_debug = on;
}

bool Logger::debug()
{
    return s_debug;
}
