// SPDX-License-Identifier: GPL-2.0-or-later
#include "briskovitrelbackground.h"

#include "blurmodel.h"
#include "probe.h"

#include <gtest/gtest.h>

#include <array>
#include <random>
#include <vector>

namespace {

// The blur as planes of integers: every pass the line model along the rows
// and then down the columns.
struct Planes
{
    int width;
    int height;
    std::array<std::vector<unsigned>, 3> channel; // red, green, blue

    explicit Planes(const QImage &image)
        : width(image.width())
        , height(image.height())
    {
        for (auto &c : channel) {
            c.resize(size_t(width) * height);
        }
        for (int y = 0; y < height; ++y) {
            for (int x = 0; x < width; ++x) {
                const QRgb p = image.pixel(x, y);
                at(0, x, y) = qRed(p);
                at(1, x, y) = qGreen(p);
                at(2, x, y) = qBlue(p);
            }
        }
    }

    unsigned &at(int c, int x, int y) { return channel[size_t(c)][size_t(y) * width + x]; }

    void blurRows()
    {
        for (int c = 0; c < 3; ++c) {
            for (int y = 0; y < height; ++y) {
                Line line;
                for (int x = 0; x < width; ++x) {
                    line.push_back(at(c, x, y));
                }
                line = blurredLine(line);
                for (int x = 0; x < width; ++x) {
                    at(c, x, y) = line[size_t(x)];
                }
            }
        }
    }

    void blurColumns()
    {
        for (int c = 0; c < 3; ++c) {
            for (int x = 0; x < width; ++x) {
                Line line;
                for (int y = 0; y < height; ++y) {
                    line.push_back(at(c, x, y));
                }
                line = blurredLine(line);
                for (int y = 0; y < height; ++y) {
                    at(c, x, y) = line[size_t(y)];
                }
            }
        }
    }

    QRgb pixel(int x, int y) { return qRgb(int(at(0, x, y)), int(at(1, x, y)), int(at(2, x, y))); }
};

QImage randomImage(int width, int height, unsigned seed,
                   QImage::Format format = QImage::Format_ARGB32)
{
    std::mt19937 random(seed);
    QImage image(width, height, format);
    for (int y = 0; y < height; ++y) {
        for (int x = 0; x < width; ++x) {
            image.setPixel(x, y, QRgb(random()));
        }
    }
    return image;
}

// Compares whole images, reporting only the first differing pixel.
::testing::AssertionResult samePixels(const QImage &actual, Planes &expected)
{
    if (actual.width() != expected.width || actual.height() != expected.height) {
        return ::testing::AssertionFailure() << "size " << actual.width() << "x" << actual.height();
    }
    for (int y = 0; y < actual.height(); ++y) {
        for (int x = 0; x < actual.width(); ++x) {
            if (actual.pixel(x, y) != expected.pixel(x, y)) {
                return ::testing::AssertionFailure()
                    << std::hex << "0x" << actual.pixel(x, y) << " instead of 0x"
                    << expected.pixel(x, y) << std::dec << " at " << x << "," << y;
            }
        }
    }
    return ::testing::AssertionSuccess();
}

} // namespace

TEST(BlurRow, BorderWeightsAreRenormalised)
{
    struct
    {
        int x; // output pixel
        int first; // first tap inside the row
        std::vector<unsigned> weights;
    } const cases[] = {
        {0, 0, {20, 15, 6, 1}},
        {1, 0, {15, 20, 15, 6, 1}},
        {2, 0, {6, 15, 20, 15, 6, 1}},
        {5, 2, {1, 6, 15, 20, 15, 6, 1}},
        {9, 6, {1, 6, 15, 20, 15, 6}},
        {10, 7, {1, 6, 15, 20, 15}},
        {11, 8, {1, 6, 15, 20}},
    };
    const int width = 12;
    for (const auto &c : cases) {
        unsigned sum = 0;
        for (unsigned w : c.weights) {
            sum += w;
        }
        // An impulse on each tap in turn shows that tap's weight over the sum.
        for (int tap = 0; tap < int(c.weights.size()); ++tap) {
            QImage src(width, 1, QImage::Format_RGB32);
            src.fill(0xff000000);
            src.setPixel(c.first + tap, 0, qRgb(0, 252, 0));
            QImage dst(1, width, QImage::Format_ARGB32);
            blurAndDownsampleBy<1>(&src, &dst, 0);
            EXPECT_EQ(dst.pixel(0, c.x), qRgb(0, int(252 * c.weights[size_t(tap)] / sum), 0))
                << "output " << c.x << " tap " << c.first + tap;
        }
    }
}

TEST(BlurRow, FiltersEachChannelOnItsOwn)
{
    QImage src(10, 1, QImage::Format_RGB32);
    src.fill(0xff000000);
    src.setPixel(0, 0, qRgb(100, 50, 7));
    QImage dst(1, 10, QImage::Format_ARGB32);
    blurAndDownsampleBy<1>(&src, &dst, 0);
    EXPECT_EQ(dst.pixel(0, 0), qRgb(47, 23, 3)); // 20 * c / 42
    EXPECT_EQ(dst.pixel(0, 1), qRgb(26, 13, 1)); // 15 * c / 57
    EXPECT_EQ(dst.pixel(0, 2), qRgb(9, 4, 0)); // 6 * c / 63
    EXPECT_EQ(dst.pixel(0, 3), qRgb(1, 0, 0)); // c / 64
    EXPECT_EQ(dst.pixel(0, 4), qRgb(0, 0, 0));
}

TEST(BlurRow, WritesOnlyItsColumn)
{
    const QImage src = randomImage(8, 3, 1);
    QImage dst(5, 8, QImage::Format_ARGB32);
    dst.fill(0x11223344);
    blurAndDownsampleBy<1>(&src, &dst, 2);
    for (int y = 0; y < 8; ++y) {
        for (int x = 0; x < 5; ++x) {
            if (x != 2) {
                EXPECT_EQ(dst.pixel(x, y), 0x11223344u) << x << "," << y;
            }
        }
    }
    EXPECT_NE(dst.pixel(2, 0), 0x11223344u);
}

TEST(BlurRow, IgnoresTargetsThatCannotHoldTheColumn)
{
    const QImage src = randomImage(8, 3, 2);
    struct
    {
        QSize dstSize;
        int row;
    } const cases[] = {
        {QSize(3, 7), 0}, // one pixel too short
        {QSize(3, 8), 3}, // no such column
        {QSize(5, 8), 3}, // no such source row
        {QSize(3, 8), -1},
    };
    for (const auto &c : cases) {
        QImage dst(c.dstSize, QImage::Format_ARGB32);
        dst.fill(0x11223344);
        const QImage before = dst;
        blurAndDownsampleBy<1>(&src, &dst, c.row);
        EXPECT_EQ(dst, before) << "row " << c.row;
    }
    QImage bytes(3, 8, QImage::Format_Grayscale8);
    bytes.fill(7);
    blurAndDownsampleBy<1>(&src, &bytes, 0);
    EXPECT_EQ(bytes.pixel(0, 0), qRgb(7, 7, 7));
}

TEST(BlurAndTranspose, MakesATransposedArgbTarget)
{
    const QImage src = randomImage(60, 40, 3);
    QImage dst;
    BriskoVitrelBackground().blurAndTranspose(src, &dst);
    EXPECT_EQ(dst.size(), QSize(40, 60));
    EXPECT_EQ(dst.format(), QImage::Format_ARGB32);

    BriskoVitrelBackground().blurAndTranspose(src, nullptr);
}

TEST(BlurAndTranspose, MatchesTheReferenceOnRowsOfAnyLength)
{
    Probe background;
    unsigned seed = 10;
    for (int width : {1, 2, 3, 4, 5, 6, 7, 8, 9, 13}) {
        const QImage src = randomImage(width, 3, ++seed);
        QImage dst;
        background.blurAndTranspose(src, &dst);
        Planes expected(src);
        expected.blurRows();
        for (int y = 0; y < src.height(); ++y) {
            for (int x = 0; x < width; ++x) {
                EXPECT_EQ(dst.pixel(y, x), expected.pixel(x, y))
                    << "width " << width << " at " << x << "," << y;
            }
        }
    }
}

TEST(BlurAndTranspose, ReplacesATargetOfTheWrongSize)
{
    const QImage src = randomImage(20, 9, 4);
    QImage dst(4, 4, QImage::Format_RGB32);
    BriskoVitrelBackground().blurAndTranspose(src, &dst);
    EXPECT_EQ(dst.size(), QSize(9, 20));

    // The right size is written in place, in its own format.
    QImage fitting(9, 20, QImage::Format_RGB32);
    BriskoVitrelBackground().blurAndTranspose(src, &fitting);
    EXPECT_EQ(fitting.format(), QImage::Format_RGB32);
    EXPECT_EQ(fitting.pixel(0, 0) | 0xff000000u, dst.pixel(0, 0));
}

TEST(Blur, MatchesTheReferenceOnImagesOfOddSizes)
{
    Probe background;
    ASSERT_EQ(background.blurPasses(), 5);
    unsigned seed = 100;
    for (const QSize size :
         {QSize(50, 50), QSize(51, 77), QSize(77, 51), QSize(63, 63), QSize(99, 55)}) {
        QImage image = randomImage(size.width(), size.height(), ++seed);
        Planes expected(image);
        for (int pass = 0; pass < 5; ++pass) {
            expected.blurRows();
            expected.blurColumns();
        }
        background.blur(&image);
        EXPECT_EQ(image.format(), QImage::Format_ARGB32);
        EXPECT_TRUE(samePixels(image, expected)) << size.width() << "x" << size.height();
    }
}

TEST(Blur, LeavesImagesWithASideUnderFiftyAlone)
{
    BriskoVitrelBackground background;
    for (const QSize size : {QSize(49, 1000), QSize(1000, 49), QSize(0, 0)}) {
        QImage image = randomImage(size.width(), size.height(), 5);
        const QImage before = image.copy();
        background.blur(&image);
        EXPECT_EQ(image, before) << size.width() << "x" << size.height();
    }
    background.blur(nullptr);

    QImage square = randomImage(50, 50, 6);
    const QImage before = square.copy();
    background.blur(&square);
    EXPECT_NE(square, before);
}

TEST(Blur, KeepsAUniformColourAndMakesItOpaque)
{
    for (const QImage::Format format : {QImage::Format_ARGB32, QImage::Format_RGB32}) {
        QImage image(60, 70, format);
        image.fill(0x12345678);
        BriskoVitrelBackground().blur(&image);
        EXPECT_EQ(image.format(), format);
        ASSERT_EQ(image.size(), QSize(60, 70));
        for (int y = 0; y < 70; ++y) {
            for (int x = 0; x < 60; ++x) {
                ASSERT_EQ(image.pixel(x, y), 0xff345678u) << x << "," << y;
            }
        }
    }

    QImage grey(64, 64, QImage::Format_Grayscale8);
    grey.fill(90);
    BriskoVitrelBackground().blur(&grey);
    EXPECT_EQ(grey.depth(), 32);
    EXPECT_EQ(grey.pixel(40, 20), qRgb(90, 90, 90));
}
