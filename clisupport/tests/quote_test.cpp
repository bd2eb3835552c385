// SPDX-License-Identifier: GPL-2.0-or-later
#include "quote.h"

#include <gtest/gtest.h>

#include <cerrno>
#include <clocale>
#include <cstring>
#include <libintl.h>
#include <string>

namespace {

struct QuoteCase
{
    const char *text;
    const char *quoted;
};

class QuoteTest : public ::testing::Test
{
protected:
    void TearDown() override
    {
        setlocale(LC_ALL, "C");
        textdomain("messages");
    }

    void useLocale(const char *name)
    {
        if (!setlocale(LC_ALL, name)) {
            GTEST_SKIP() << "locale " << name << " is not installed";
        }
    }
};

void expectQuoted(const QuoteCase *cases, size_t count)
{
    for (size_t i = 0; i < count; ++i) {
        EXPECT_STREQ(quote_name(cases[i].text), cases[i].quoted) << "text: " << cases[i].text;
    }
}

TEST_F(QuoteTest, CLocaleEscapes)
{
    const QuoteCase cases[] = {
        {"foo bar", "`foo bar'"},
        {"it's", "`it\\'s'"},
        {"a\tb", "`a\\tb'"},
        {"a\\b", "`a\\\\b'"},
        {"", "`'"},
        {"\xe9", "`\\351'"},
        {"a`b", "`a`b'"},
        {"\a\b\n\v\f\r", "`\\a\\b\\n\\v\\f\\r'"},
        {"\x1b[0m", "`\\033[0m'"}, // terminal escape made harmless
        {"\x01\x7f\xff", "`\\001\\177\\377'"},
        {"user@host", "`user@host'"}, // printable in the locale, kept
        {"\"$(x)?*", "`\"$(x)?*'"},
    };
    useLocale("C");
    expectQuoted(cases, sizeof cases / sizeof cases[0]);
}

TEST_F(QuoteTest, Utf8LocaleKeepsPrintableCharacters)
{
    const QuoteCase cases[] = {
        {"caf\xc3\xa9", "`caf\xc3\xa9'"},
        {"\xff", "`\\377'"},
        {"a\xc3", "`a\\303'"}, // incomplete at the end
        {"\xe2\x82", "`\\342\\202'"}, // incomplete run covers the rest
        {"\xc3(", "`\\303('"}, // invalid: only the bad byte
        {"\x01", "`\\001'"},
        {"\xc2\x85", "`\\302\\205'"}, // a C1 control character
        {"\xe2\x82\xac 5", "`\xe2\x82\xac 5'"},
    };
    useLocale("C.UTF-8");
    expectQuoted(cases, sizeof cases / sizeof cases[0]);
}

TEST_F(QuoteTest, OneByteLocaleUsesItsClassification)
{
    useLocale("de_DE.ISO-8859-1");
    EXPECT_STREQ(quote_name("\xe9t\xe9"), "`\xe9t\xe9'");
    EXPECT_STREQ(quote_name("\x85"), "`\\205'");
}

TEST_F(QuoteTest, TranslatedMarksFromTheCatalog)
{
    useLocale("de_DE.UTF-8");
    bindtextdomain("quellkit", LOCALE_DIR);
    textdomain("quellkit");
    EXPECT_STREQ(quote_name("foo"),
                 "\xe2\x80\x9e"
                 "foo"
                 "\xe2\x80\x9c");
    // The closing mark inside a name is escaped; a plain apostrophe is not.
    EXPECT_STREQ(quote_name("a\xe2\x80\x9c"
                            "b"),
                 "\xe2\x80\x9e"
                 "a\\\xe2\x80\x9c"
                 "b\xe2\x80\x9c");
    EXPECT_STREQ(quote_name("it's"),
                 "\xe2\x80\x9e"
                 "it's\xe2\x80\x9c");
}

TEST_F(QuoteTest, LongNameMovesSlotZeroToTheHeap)
{
    useLocale("C");
    std::string name(300, 'x');
    name[150] = '\t';
    std::string expected = "`" + name.substr(0, 150) + "\\t" + name.substr(151) + "'";
    EXPECT_EQ(quote_name(name.c_str()), expected);
    EXPECT_EQ(quote_name(name.c_str()), expected);
    EXPECT_STREQ(quote_name("short"), "`short'");
}

TEST_F(QuoteTest, SlotsAreIndependent)
{
    useLocale("C");
    const char *first = quote_name("one");
    const char *other = quote_name_n(1, "two");
    EXPECT_STREQ(first, "`one'");
    EXPECT_STREQ(other, "`two'");
    quote_name("three");
    EXPECT_STREQ(first, "`three'");
    EXPECT_STREQ(other, "`two'");
    const char *far = quote_name_n(7, std::string(400, 'y').c_str());
    EXPECT_EQ(strlen(far), 402u);
    EXPECT_STREQ(other, "`two'");
}

TEST_F(QuoteTest, KeepsErrno)
{
    useLocale("C");
    errno = ENOENT;
    quote_name("a");
    EXPECT_EQ(errno, ENOENT);
    errno = EACCES;
    quote_name_n(3, std::string(1000, 'z').c_str()); // allocates
    EXPECT_EQ(errno, EACCES);
}

TEST_F(QuoteTest, BufferGetsWhatFitsAndTheWholeLength)
{
    useLocale("C");
    char buf[8];
    memset(buf, '#', sizeof buf);
    EXPECT_EQ(quote_to_buffer(buf, 3, "abc"), 5u);
    EXPECT_EQ(std::string(buf, 4), "`ab#"); // no terminator without room
    EXPECT_EQ(quote_to_buffer(buf, 6, "abc"), 5u);
    EXPECT_STREQ(buf, "`abc'");
    EXPECT_EQ(quote_to_buffer(nullptr, 0, "a\tb"), 6u);
}

TEST(QuoteDeathTest, NegativeSlotAborts)
{
    EXPECT_DEATH(quote_in_slot(-1, "x"), "");
}

} // namespace
