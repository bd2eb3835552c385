// SPDX-License-Identifier: GPL-2.0-or-later
// Running out of memory while quoting a long word for a message.
#include <gtest/gtest.h>

#include "qktest.h"

#include <string>

namespace {

TEST(Memory, ExhaustedWhileQuotingEndsWithStatusTwo)
{
#ifdef TEST_SANITIZED
    GTEST_SKIP() << "the allocation shim replaces malloc beneath the sanitizer's own allocator";
#endif
    // Too long for the fixed quoting area, so quoting has to allocate.
    std::string longWord(100000, '7');
    longWord += 'x';
    qk::RunOptions options;
    options.env["LC_ALL"] = "C";
    options.env["LD_PRELOAD"] = FAILALLOC_PATH;
    options.env["FAILALLOC_ABOVE"] = "65536";
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
