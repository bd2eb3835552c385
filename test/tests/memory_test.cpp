// SPDX-License-Identifier: GPL-2.0-or-later
// Running out of memory while quoting a long word for a message.
#include <gtest/gtest.h>

#include "qktest.h"

#include <string>

namespace {

TEST(Memory, ExhaustedWhileQuotingEndsWithStatusTwo)
{
    // Too long for the fixed quoting area, so quoting has to allocate.
    std::string longWord(100000, '7');
    longWord += 'x';
    qk::RunOptions options;
    options.env["LC_ALL"] = "C";
    options.env["LD_PRELOAD"] = FAILALLOC_PATH;
    options.env["FAILALLOC_ABOVE"] = "65536";
    // The sanitizer runtime wants to come first; the shim hands it every
    // allocation that it lets through.
    options.env["ASAN_OPTIONS"] = "verify_asan_link_order=0:detect_leaks=1";
    qk::RunResult r = qk::run({TEST_PATH, longWord, "-eq", "1"}, options);
    EXPECT_EQ(r.status, 2);
    EXPECT_EQ(r.err, std::string(TEST_PATH) + ": memory exhausted\n");
    EXPECT_EQ(r.out, "");

    // The same line without the shim quotes the whole word.
    options.env.erase("LD_PRELOAD");
    r = qk::run({TEST_PATH, longWord, "-eq", "1"}, options);
    EXPECT_EQ(r.status, 2);
    EXPECT_EQ(r.err, std::string(TEST_PATH) + ": invalid integer `" + longWord + "'\n");
}

} // namespace
