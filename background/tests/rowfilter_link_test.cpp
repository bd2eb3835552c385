// SPDX-License-Identifier: GPL-2.0-or-later
// A caller that knows the row filter only by its plain declaration, as an
// outside program written against it would: it has to link with the library
// and get the library's filter.

#include <gtest/gtest.h>

#include <QtGui/QImage>

#include "blurmodel.h"

#include <dlfcn.h>

#include <random>

void blurAndDownsampleBy(const QImage *src, QImage *dst, int row);

namespace {

using RowFilter = void (*)(const QImage *, QImage *, int);

// Filters every row of a random image through filter and compares each
// column of the target with the line model, channel by channel.
void expectModelColumns(RowFilter filter, int width, unsigned seed)
{
    std::mt19937 random(seed);
    QImage src(width, 3, QImage::Format_ARGB32);
    for (int y = 0; y < src.height(); ++y) {
        for (int x = 0; x < width; ++x) {
            src.setPixel(x, y, QRgb(random()));
        }
    }
    QImage dst(src.height(), width, QImage::Format_ARGB32);
    dst.fill(0);
    for (int y = 0; y < src.height(); ++y) {
        filter(&src, &dst, y);
    }
    for (int y = 0; y < src.height(); ++y) {
        Line lines[3];
        for (int x = 0; x < width; ++x) {
            const QRgb p = src.pixel(x, y);
            lines[0].push_back(unsigned(qRed(p)));
            lines[1].push_back(unsigned(qGreen(p)));
            lines[2].push_back(unsigned(qBlue(p)));
        }
        for (Line &line : lines) {
            line = blurredLine(line);
        }
        for (int x = 0; x < width; ++x) {
            const QRgb expected = qRgb(
                int(lines[0][size_t(x)]), int(lines[1][size_t(x)]), int(lines[2][size_t(x)]));
            ASSERT_EQ(dst.pixel(y, x), expected)
                << "width " << width << " row " << y << " pixel " << x;
        }
    }
}

TEST(RowFilterByItsPlainDeclaration, FiltersLikeTheModel)
{
    unsigned seed = 30;
    for (const int width : {1, 3, 4, 7, 12, 40}) {
        expectModelColumns(&blurAndDownsampleBy, width, ++seed);
    }

    QImage src(10, 1, QImage::Format_RGB32);
    src.fill(0xff000000);
    src.setPixel(0, 0, qRgb(100, 0, 0));
    QImage dst(1, 10, QImage::Format_ARGB32);
    blurAndDownsampleBy(&src, &dst, 0);
    EXPECT_EQ(dst.pixel(0, 0), qRgb(47, 0, 0)); // 20 * 100 / 42
}

TEST(RowFilterByItsPlainDeclaration, IsInTheLibrarysDynamicSymbols)
{
    void *library = dlopen(BACKGROUND_LIBRARY, RTLD_NOW);
    ASSERT_NE(library, nullptr) << dlerror();
    // void blurAndDownsampleBy(QImage const *, QImage *, int)
    const auto filter
        = reinterpret_cast<RowFilter>(dlsym(library, "_Z19blurAndDownsampleByPK6QImagePS_i"));
    EXPECT_NE(filter, nullptr) << dlerror();
    if (filter) {
        expectModelColumns(filter, 9, 50);
    }
    dlclose(library);
}

} // namespace
