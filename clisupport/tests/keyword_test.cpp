// SPDX-License-Identifier: GPL-2.0-or-later
#include "keyword.h"

#include <gtest/gtest.h>

extern "C" void (*argmatch_die)(void);
void (*argmatch_die)(void);

namespace {

const char *const backupArgs[]
    = {"none", "off", "simple", "never", "existing", "nil", "numbered", "t", nullptr};
const int backupValues[] = {0, 0, 1, 1, 2, 2, 3, 3};

TEST(MatchArgument, BackupKeywords)
{
    const struct
    {
        const char *argument;
        int index;
    } cases[] = {
        {"nu", 6},
        {"n", -2}, // none, never, nil and numbered differ
        {"t", 7}, // exact, although "t" is short
        {"ne", 3},
        {"x", -1},
        {"", -2},
        {"no", 0},
        {"of", 1},
        {"s", 2},
        {"numbered", 6},
        {"numberedx", -1},
        {"nil", 5},
    };
    for (const auto &c : cases) {
        EXPECT_EQ(match_argument(c.argument, backupArgs, backupValues, sizeof(int)), c.index)
            << "argument: " << c.argument;
    }
}

TEST(MatchArgument, SynonymsAreNotAmbiguous)
{
    const char *const keys[] = {"alpha", "alpine", "beta", nullptr};
    const int same[] = {4, 4, 5};
    EXPECT_EQ(match_argument("al", keys, same, sizeof(int)), 0);
    EXPECT_EQ(match_argument("al", keys, nullptr, 0), -2);
    EXPECT_EQ(match_argument("", keys, same, sizeof(int)), -2);
}

TEST(MatchArgument, EmptyTable)
{
    const char *const keys[] = {nullptr};
    EXPECT_EQ(match_argument("a", keys, nullptr, 0), -1);
}

} // namespace
