// SPDX-License-Identifier: GPL-2.0-or-later
#pragma once

#include <QtGlobal>

// The build key names the processor, the system, the compiler family and the
// configuration; the loader refuses plug-ins built with another key.
#if defined(__x86_64__)
#define MAVRID_BUILD_KEY_PROCESSOR "x86_64"
#elif defined(__i386__)
#define MAVRID_BUILD_KEY_PROCESSOR "i386"
#elif defined(__aarch64__)
#define MAVRID_BUILD_KEY_PROCESSOR "aarch64"
#elif defined(__arm__)
#define MAVRID_BUILD_KEY_PROCESSOR "arm"
#else
#define MAVRID_BUILD_KEY_PROCESSOR "unknown"
#endif

#if defined(__linux__)
#define MAVRID_BUILD_KEY_SYSTEM "linux"
#else
#define MAVRID_BUILD_KEY_SYSTEM "unix"
#endif

#if defined(__GNUC__)
#define MAVRID_BUILD_KEY_COMPILER "g++-" QT_STRINGIFY(__GNUC__)
#else
#define MAVRID_BUILD_KEY_COMPILER "unknown"
#endif

#define MAVRID_BUILD_KEY                                                                           \
    MAVRID_BUILD_KEY_PROCESSOR " " MAVRID_BUILD_KEY_SYSTEM " " MAVRID_BUILD_KEY_COMPILER           \
                               " full-config"

// What a plug-in's qt_plugin_query_verification_data() returns.
#define MAVRID_PLUGIN_VERIFICATION_DATA                                                            \
    "pattern=QT_PLUGIN_VERIFICATION_DATA\n"                                                        \
    "version=4.8.3\n"                                                                              \
    "debug=true\n"                                                                                 \
    "buildkey=" MAVRID_BUILD_KEY
