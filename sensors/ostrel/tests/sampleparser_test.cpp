// SPDX-License-Identifier: GPL-2.0-or-later
#include "sampleparser_p.h"

#include <QString>
#include <QStringList>

#include <gtest/gtest.h>

#include <random>
#include <string>

namespace {

// The reference: Qt's own conversion of each field of the text taken as
// Latin-1, a missing field counting as empty.
void qtFields(const std::string &text, qint32 out[3])
{
    const QStringList fields
        = QString::fromLatin1(text.data(), int(text.size())).split(QLatin1Char(':'));
    for (int i = 0; i < 3; ++i) {
        out[i] = i < fields.size() ? fields[i].toInt(nullptr, 10) : 0;
    }
}

void expectLikeQt(const std::string &text)
{
    qint32 expected[3];
    qtFields(text, expected);
    qint32 actual[3] = {-1, -1, -1};
    ostrel::parseSampleFields(text.data(), int(text.size()), actual);
    for (int i = 0; i < 3; ++i) {
        EXPECT_EQ(actual[i], expected[i]) << "field " << i << " of \"" << text << "\"";
    }
}

TEST(SampleParser, ConvertsFieldsLikeQt)
{
    const char *const texts[] = {
        "",
        ":",
        "::",
        ":::",
        "1",
        "1:2",
        "1:2:3:4",
        "+1:-1:-0",
        "0012:000:-0007",
        " 12 :\t-3\n:\r\n7\v",
        "\x85"
        "5:\xa0"
        "6:7\xa0", // Latin-1 white space
        "2147483647:-2147483648:2147483648",
        "-2147483649:99999999999999999999:0",
        "1 2:- 3:+-3",
        "0x10:1e3:1.5",
        "12abc:abc12:--",
        "+:-: ",
        "\xb2:\xb9:\xbe", // superscripts
    };
    for (const char *text : texts) {
        expectLikeQt(text);
    }
}

TEST(SampleParser, AgreesWithQtOnRandomText)
{
    static const char alphabet[] = " \t\n\v\r+-0123456789::::a\x85\xa0\xb9";
    std::mt19937 random(20261210);
    std::uniform_int_distribution<int> length(0, 24);
    std::uniform_int_distribution<int> pick(0, int(sizeof(alphabet)) - 2);
    for (int round = 0; round < 20000; ++round) {
        std::string text;
        for (int n = length(random); n > 0; --n) {
            text += alphabet[pick(random)];
        }
        expectLikeQt(text);
        if (::testing::Test::HasFailure()) {
            break;
        }
    }
}

TEST(SampleParser, StopsAtTheGivenLength)
{
    const char text[] = "1:2:3";
    qint32 raw[3] = {-1, -1, -1};
    ostrel::parseSampleFields(text, 3, raw); // "1:2"
    EXPECT_EQ(raw[0], 1);
    EXPECT_EQ(raw[1], 2);
    EXPECT_EQ(raw[2], 0);
}

} // namespace
