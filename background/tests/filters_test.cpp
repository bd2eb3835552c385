// SPDX-License-Identifier: GPL-2.0-or-later
#include "briskovitrelbackground.h"

#include "probe.h"

#include <gtest/gtest.h>

#include <QtCore/QtAlgorithms>

#include <cmath>
#include <cstdlib>
#include <vector>

namespace {

struct WordCase
{
    QRgb in;
    QRgb out;
};

// One pixel per case, in two rows so that the walk must cross a row end.
QImage imageOf(const std::vector<WordCase> &cases, QImage::Format format = QImage::Format_ARGB32)
{
    QImage image(int(cases.size()), 2, format);
    for (int y = 0; y < 2; ++y) {
        for (int x = 0; x < image.width(); ++x) {
            image.setPixel(x, y, cases[size_t(x)].in);
        }
    }
    return image;
}

void expectWords(const QImage &image, const std::vector<WordCase> &cases)
{
    for (int y = 0; y < image.height(); ++y) {
        for (int x = 0; x < image.width(); ++x) {
            EXPECT_EQ(image.pixel(x, y), cases[size_t(x)].out)
                << std::hex << "in 0x" << cases[size_t(x)].in << " at " << std::dec << x << ","
                << y;
        }
    }
}

QImage filled(int width, int height, QRgb word, QImage::Format format = QImage::Format_RGB32)
{
    QImage image(width, height, format);
    image.fill(word);
    return image;
}

} // namespace

TEST(Darken, KeepsThreeQuartersOfEachChannelAndForcesAlpha)
{
    const std::vector<WordCase> cases = {
        {0xffffffff, 0xffbebebe},
        {0x00000000, 0xff000000}, // transparent black becomes opaque
        {0xff808080, 0xff606060},
        {0x12345678, 0xff27405a},
        {0xff010203, 0xff000101}, // lowest bits fall out of each byte
    };
    QImage image = imageOf(cases);
    BriskoVitrelBackground().darken(&image);
    expectWords(image, cases);
}

TEST(Darken, MoreKeepsAQuarterOfEachChannel)
{
    const std::vector<WordCase> cases = {
        {0xffffffff, 0xff3f3f3f},
        {0x00000000, 0xff000000},
        {0x12345678, 0xff0d151e},
        {0xff030303, 0xff000000},
    };
    QImage image = imageOf(cases);
    BriskoVitrelBackground().darkenMore(&image);
    expectWords(image, cases);
}

TEST(Filters, ConvertImagesThatDoNotHoldPixelWords)
{
    BriskoVitrelBackground background;

    QImage grey = filled(3, 2, 0xffffffff, QImage::Format_Grayscale8);
    background.darken(&grey);
    ASSERT_EQ(grey.depth(), 32);
    EXPECT_EQ(grey.size(), QSize(3, 2));
    EXPECT_EQ(grey.pixel(2, 1), 0xffbebebeu);

    // 32 bits deep but in byte order: walking it as words would swap red
    // and blue.
    QImage bytes(2, 2, QImage::Format_RGBA8888);
    bytes.fill(QColor(255, 0, 0));
    background.darkenMore(&bytes);
    EXPECT_EQ(bytes.pixel(1, 1), 0xff3f0000u);

    QImage indexed = filled(4, 4, 0xffffffff, QImage::Format_Mono);
    background.curves(&indexed);
    EXPECT_EQ(indexed.pixel(3, 3), 0xff666666u);
}

TEST(Filters, LeaveNullImagesNull)
{
    BriskoVitrelBackground background;
    QImage image;
    background.curves(&image);
    background.darken(&image);
    background.darkenMore(&image);
    background.saturate(&image);
    background.addNoise(&image);
    EXPECT_TRUE(image.isNull());
}

TEST(WhiteLevel, BuildsTheToneCurve)
{
    struct
    {
        double level;
        int value;
        int entry;
    } const cases[] = {
        {0.4, 0, 0},     {0.4, 1, 0},     {0.4, 2, 1},     {0.4, 16, 9},   {0.4, 32, 19},
        {0.4, 64, 37},   {0.4, 96, 54},   {0.4, 128, 69},  {0.4, 160, 82}, {0.4, 192, 92},
        {0.4, 224, 98},  {0.4, 254, 101}, {0.4, 255, 102}, {1.0, 64, 93},  {1.0, 128, 174},
        {1.0, 192, 231}, {1.0, 255, 255}, {2.0, 255, 255}, // clamped
        {2.0, 64, 187},  {-1.0, 255, 0},
    };
    for (const auto &c : cases) {
        Probe probe;
        probe.setWhiteLevel(c.level);
        EXPECT_EQ(probe.curveEntry(c.value), c.entry)
            << "level " << c.level << " value " << c.value;
    }
}

TEST(WhiteLevel, SameLevelDoesNotRebuild)
{
    Probe probe;
    EXPECT_EQ(probe.whiteLevel(), 0.4);
    probe.setCurveEntry(128, 7);
    probe.setWhiteLevel(0.4);
    EXPECT_EQ(probe.curveEntry(128), 7);
    probe.setWhiteLevel(1.0);
    EXPECT_EQ(probe.curveEntry(128), 174);
    EXPECT_EQ(probe.whiteLevel(), 1.0);
}

TEST(WhiteLevel, NotANumberAlwaysRebuildsToBlack)
{
    Probe probe;
    probe.setWhiteLevel(std::nan(""));
    EXPECT_EQ(probe.curveEntry(255), 0);
    probe.setCurveEntry(255, 9);
    probe.setWhiteLevel(std::nan(""));
    EXPECT_EQ(probe.curveEntry(255), 0);
    EXPECT_TRUE(std::isnan(probe.whiteLevel()));

    probe.setWhiteLevel(HUGE_VAL);
    EXPECT_EQ(probe.curveEntry(0), 0); // sin(0) * infinity is not a number
    EXPECT_EQ(probe.curveEntry(1), 255);
}

TEST(Curves, MapsTheValueThroughTheTable)
{
    const std::vector<WordCase> cases = {
        {0xffffffff, 0xff666666},
        {0x00ffffff, 0xff666666},
        {0xff000000, 0xff000000},
        {0xffff0000, 0xff660000}, // hue and saturation kept
        {0xff0000ff, 0xff000066},
        {0xff808080, 0xff454545}, // 128 -> 69
    };
    QImage image = imageOf(cases);
    BriskoVitrelBackground().curves(&image);
    expectWords(image, cases);
}

TEST(Saturate, RaisesSaturationByHalfAndKeepsGreys)
{
    const std::vector<WordCase> cases = {
        {0xff808080, 0xff808080},
        {0x40808080, 0xff808080},
        {0xff000000, 0xff000000},
        {0xffffffff, 0xffffffff},
        {0xffff8080, 0xffff4141}, // saturation 127 -> 190
        {0xffffc8c8, 0xffffadad}, // 55 -> 82
        {0xffc86464, 0xffc83131}, // 128 -> 192, value 200 kept
        {0xff80ffc0, 0xff41ffa0}, // hue 150 kept
        {0xffff4040, 0xffff0000}, // 191 -> 286, clamped to 255
        {0xffff0000, 0xffff0000},
    };
    QImage image = imageOf(cases);
    BriskoVitrelBackground().saturate(&image);
    expectWords(image, cases);
}

TEST(AddNoise, OffsetsAreGreyCentredAndWithinFifteen)
{
    QImage image = filled(400, 250, 0xff808080);
    std::srand(12345);
    BriskoVitrelBackground().addNoise(&image);

    double sum = 0;
    double squares = 0;
    int lowest = 0;
    int highest = 0;
    const int count = image.width() * image.height();
    for (int y = 0; y < image.height(); ++y) {
        for (int x = 0; x < image.width(); ++x) {
            const QRgb p = image.pixel(x, y);
            ASSERT_EQ(qAlpha(p), 255);
            ASSERT_EQ(qRed(p), qGreen(p)) << x << "," << y;
            ASSERT_EQ(qRed(p), qBlue(p)) << x << "," << y;
            const int offset = qRed(p) - 128;
            lowest = qMin(lowest, offset);
            highest = qMax(highest, offset);
            sum += offset;
            squares += double(offset) * offset;
        }
    }
    const double mean = sum / count;
    const double variance = squares / count - mean * mean;
    EXPECT_GE(lowest, -15);
    EXPECT_LE(highest, 15);
    EXPECT_LE(lowest, -9);
    EXPECT_GE(highest, 9);
    EXPECT_NEAR(mean, 0.0, 0.05);
    // Thirty fair bits: a variance of 7.5.
    EXPECT_NEAR(variance, 7.5, 0.3);
}

TEST(AddNoise, DrawsOneRandPerPixelInBufferOrder)
{
    const QRgb colours[] = {0xff000000, 0xffffffff, 0xff0a80f5, 0x12345678, 0xff070707};
    QImage image(7, 3, QImage::Format_ARGB32);
    for (int i = 0; i < 21; ++i) {
        image.setPixel(i % 7, i / 7, colours[i % 5]);
    }

    std::srand(7);
    std::vector<int> offsets;
    for (int i = 0; i < 21; ++i) {
        offsets.push_back(qPopulationCount(quint32(std::rand()) >> 1) - 15);
    }
    const int following = std::rand();

    std::srand(7);
    BriskoVitrelBackground().addNoise(&image);
    EXPECT_EQ(std::rand(), following);

    for (int i = 0; i < 21; ++i) {
        const QRgb in = colours[i % 5];
        const int n = offsets[size_t(i)];
        const QRgb expected = qRgb(qBound(0, qRed(in) + n, 255),
                                   qBound(0, qGreen(in) + n, 255),
                                   qBound(0, qBlue(in) + n, 255));
        EXPECT_EQ(image.pixel(i % 7, i / 7), expected) << "pixel " << i << " offset " << n;
    }
}

TEST(MeanValue, AveragesTheLargestChannel)
{
    BriskoVitrelBackground background;

    QImage redAndBlack(2, 1, QImage::Format_RGB32);
    redAndBlack.setPixel(0, 0, 0xffff0000);
    redAndBlack.setPixel(1, 0, 0xff000000);
    EXPECT_EQ(background.extractMeanValue(redAndBlack), 127);

    QImage mixed(3, 1, QImage::Format_ARGB32);
    mixed.setPixel(0, 0, 0x00102030); // alpha is ignored
    mixed.setPixel(1, 0, 0xff0000c8);
    mixed.setPixel(2, 0, 0xff646464);
    EXPECT_EQ(background.extractMeanValue(mixed), (0x30 + 200 + 100) / 3);

    EXPECT_EQ(background.extractMeanValue(filled(5, 4, 0xffc8c8c8, QImage::Format_Grayscale8)),
              200);
}

TEST(MeanValue, IsZeroForAnEmptyImage)
{
    BriskoVitrelBackground background;
    EXPECT_EQ(background.extractMeanValue(QImage()), 0);
    EXPECT_EQ(background.extractMeanValue(QImage(0, 10, QImage::Format_RGB32)), 0);
}

TEST(MeanValue, IsTrueBeyondWhatThirtyTwoBitsCanSum)
{
    // 8610000 white pixels sum to more than 2^31.
    const QImage white = filled(4100, 2100, 0xffffffff, QImage::Format_Grayscale8);
    ASSERT_FALSE(white.isNull());
    EXPECT_EQ(BriskoVitrelBackground().extractMeanValue(white), 255);
}
