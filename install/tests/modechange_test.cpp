// SPDX-License-Identifier: GPL-2.0-or-later
#include "modechange.h"

#include <cstdlib>
#include <gtest/gtest.h>

namespace {

struct Applied
{
    mode_t fileMode;
    mode_t dirMode;
    mode_t dirChanged;
    mode_t fileChanged;
};

Applied applyFromZero(const char *text)
{
    struct mode_step *steps = mode_parse(text);
    Applied a {};
    EXPECT_NE(steps, nullptr) << text;
    if (!steps)
        return a;
    a.fileMode = mode_apply(0, false, 0, steps, &a.fileChanged);
    a.dirMode = mode_apply(0, true, 0, steps, &a.dirChanged);
    free(steps);
    return a;
}

TEST(ModeParse, InstallerUseFromModeZero)
{
    struct Case
    {
        const char *text;
        mode_t fileMode, dirMode, dirChanged;
    } cases[] = {
        {"755", 0755, 0755, 01777}, // set-id bits of a directory untouched
        {"4755", 04755, 04755, 05777},
        {"2755", 02755, 02755, 03777},
        {"07777", 07777, 07777, 07777},
        {"0", 0, 0, 01777},
        {"u+x", 0100, 0100, 0100},
        {"+x", 0111, 0111, 0111}, // no class letter: only the mask limits
        {"a=rx,u+w", 0755, 0755, 01777},
        {"u=rwx,g=u,o=", 0770, 0770, 01777},
        {"+X", 0, 0111, 0111}, // mode 0 has no execute bit; directories do
        {"u+s", 04000, 04000, 04000},
        {"g=s", 02000, 02000, 02070},
        {"a=", 0, 0, 01777},
        {"=", 0, 0, 01777},
        {"o+t", 01000, 01000, 01000},
        {"a+rwxst", 07777, 07777, 07777},
        {"u+rwx-w", 0500, 0500, 0700}, // two operators share the clause's classes
        {"u=rw,go=u-w", 0644, 0644, 01777},
        {"ug=rwx,o=rx,u-x", 0675, 0675, 01777},
        {"go+u", 0, 0, 0}, // copies owner bits, which are none
    };
    for (const Case &c : cases) {
        Applied a = applyFromZero(c.text);
        EXPECT_EQ(a.fileMode, c.fileMode) << c.text;
        EXPECT_EQ(a.dirMode, c.dirMode) << c.text;
        EXPECT_EQ(a.dirChanged, c.dirChanged) << c.text;
    }
}

TEST(ModeParse, InvalidTextsGiveNothing)
{
    const char *texts[] = {
        "10000",
        "77777",
        "8",
        "75x",
        "",
        "u",
        "u+z",
        "ugo",
        "u+x,",
        ",u+x",
        "+r,",
        "u+x,,g+x",
        "g=ur",
        "a+r x",
        "-9",
        "rwx",
        "0x7",
        "7 ",
    };
    for (const char *text : texts) {
        struct mode_step *steps = mode_parse(text);
        EXPECT_EQ(steps, nullptr) << '"' << text << '"';
        free(steps);
    }
}

TEST(ModeApply, WorksOnExistingModes)
{
    struct Case
    {
        const char *text;
        mode_t old;
        bool isDir;
        mode_t mask;
        mode_t expected, changed;
    } cases[] = {
        {"+X", 0644, false, 0, 0644, 0}, // no execute bit set yet
        {"+X", 0744, false, 0, 0755, 0111},
        {"g=u", 0640, false, 0, 0660, 02070},
        {"o=g", 0754, false, 0, 0755, 01007}, // group r-x copied over others r--
        {"u-s", 06755, false, 0, 02755, 04000},
        {"755", 06700, true, 0, 06755, 01777}, // directory keeps its set-id bits
        {"755", 06700, false, 0, 0755, 07777},
        {"u=rwx,g=rx,o=rx", 02700, true, 0, 02755, 01777},
        {"g-s", 02755, true, 0, 0755, 02000},
        {"+w", 0, false, 022, 0200, 0200}, // the mask limits steps without classes
        {"a+w", 0, false, 022, 0222, 0222}, // ... but not those with classes
        {"=r", 0777, false, 0266, 0400, 07777},
        {"-r", 0777, false, 0, 0333, 0444},
    };
    for (const Case &c : cases) {
        struct mode_step *steps = mode_parse(c.text);
        ASSERT_NE(steps, nullptr) << c.text;
        mode_t changed = 0;
        EXPECT_EQ(mode_apply(c.old, c.isDir, c.mask, steps, &changed), c.expected)
            << c.text << " on " << std::oct << c.old;
        EXPECT_EQ(changed, c.changed) << c.text << " on " << std::oct << c.old;
        EXPECT_EQ(mode_apply(c.old, c.isDir, c.mask, steps, nullptr), c.expected) << c.text;
        free(steps);
    }
}

TEST(ModeApply, IgnoresFileTypeBitsOfTheOldMode)
{
    struct mode_step *steps = mode_parse("u+x");
    ASSERT_NE(steps, nullptr);
    EXPECT_EQ(mode_apply(0100644, false, 0, steps, nullptr), 0744u);
    free(steps);
}

} // namespace
