// SPDX-License-Identifier: GPL-2.0-or-later
#pragma once

// The launcher's log: one line per call on standard error.
class Logger
{
public:
    // Logs one error line; format and arguments as for printf.
    static void logError(const char *format, ...) __attribute__((format(printf, 1, 2)));
    // Logs one line only when debug output was turned on.
    static void logDebug(const char *format, ...) __attribute__((format(printf, 1, 2)));
    static void setDebug(bool on);
    static bool debug();
};
