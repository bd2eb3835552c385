// SPDX-License-Identifier: GPL-2.0-or-later
// Runs small images of every format, and rectangles, through the filters, the
// blur and the background pipeline, and compares what can be compared with
// plain per-channel models written here.
//
// Input: flags, white level, noise seed, row and target size for the row
// filter, target kind for the transposing pass, rectangle (four bytes and a
// selector for unusual values), then the image: format, width, height (0-64),
// colour count, colour table, and pixel bytes repeated to fill it.
#include "briskovitrelbackground.h"

#include <QtCore/QtGlobal>
#include <QtGui/QColor>

#include <cmath>
#include <cstdint>
#include <cstdlib>
#include <limits>
#include <vector>

namespace {

enum Flag {
    Uniform = 0x1, // one colour all over
    OutIsSource = 0x2, // the pipeline writes over its own source
    TextureShift = 2, // two bits: none, the library's, the source, a grey one
};

struct Input
{
    const uint8_t *data;
    size_t size;
    size_t at = 0;

    uint8_t byte() { return at < size ? data[at++] : 0; }
};

using Words = std::vector<QRgb>;

// The models' own branches would only feed the fuzzer noise, and slow it.
#if defined(__clang__)
#define MODEL __attribute__((no_sanitize("coverage")))
#else
#define MODEL
#endif

void check(bool ok)
{
    if (!ok) {
        abort();
    }
}

void silent(QtMsgType, const QMessageLogContext &, const QString &)
{ }

QImage imageFrom(Input &in, uint8_t flags)
{
    const auto format = QImage::Format(1 + in.byte() % (QImage::NImageFormats - 1));
    const int width = in.byte() % 65;
    const int height = in.byte() % 65;
    QImage image(width, height, format);
    const int colours = in.byte();
    if (format == QImage::Format_Indexed8 || format == QImage::Format_Mono
        || format == QImage::Format_MonoLSB) {
        QVector<QRgb> table;
        for (int i = 0; i < colours; ++i) {
            const uint8_t r = in.byte(), g = in.byte(), b = in.byte(), a = in.byte();
            table.append(qRgba(r, g, b, a));
        }
        image.setColorTable(table);
    }
    const size_t first = in.at;
    for (int y = 0; y < image.height(); ++y) {
        uchar *line = image.scanLine(y);
        for (int i = 0; i < image.bytesPerLine(); ++i) {
            line[i] = first < in.size ? in.data[first + (in.at++ - first) % (in.size - first)] : 0;
        }
    }
    if ((flags & Uniform) && !image.isNull()) {
        image.fill(image.pixelColor(0, 0));
    }
    return image;
}

// The formats whose buffer is one 0xAARRGGBB word per pixel.
bool holdsWords(const QImage &image)
{
    return image.format() == QImage::Format_RGB32 || image.format() == QImage::Format_ARGB32
        || image.format() == QImage::Format_ARGB32_Premultiplied;
}

// The pixel words that the filters work on: the image's own, or those of the
// image converted when it holds none.

Words wordsOf(const QImage &image)
{
    const QImage words = holdsWords(image) ? image : image.convertToFormat(QImage::Format_RGB32);
    Words out;
    for (int y = 0; y < words.height(); ++y) {
        const QRgb *line = reinterpret_cast<const QRgb *>(words.constScanLine(y));
        out.insert(out.end(), line, line + words.width());
    }
    return out;
}

// The image's words after a filter: the same size, 32 bits, all opaque.
MODEL Words filtered(const QImage &before, const QImage &after)
{
    check(after.size() == before.size());
    if (after.isNull()) {
        return Words();
    }
    check(holdsWords(after));
    const QRgb *p = reinterpret_cast<const QRgb *>(after.constBits());
    const Words out(p, p + size_t(after.width()) * after.height());
    for (const QRgb w : out) {
        check(qAlpha(w) == 0xff);
    }
    return out;
}

QRgb opaque(int r, int g, int b)
{
    return 0xff000000u | QRgb(r) << 16 | QRgb(g) << 8 | QRgb(b);
}

// A channel of a word, 0 blue, 1 green, 2 red.
int channel(QRgb w, int c)
{
    return int(w >> (8 * c) & 0xff);
}

QRgb perChannel(QRgb w, int (*f)(int))
{
    return opaque(f(qRed(w)), f(qGreen(w)), f(qBlue(w)));
}

QRgb hsvReplaced(QRgb w, int newSaturation(int), int newValue(int))
{
    int h, s, v;
    QColor::fromRgb(w).toHsv().getHsv(&h, &s, &v);
    return QColor::fromHsv(h, newSaturation(s), newValue(v), 255).rgb();
}

uchar curveTable[256];

MODEL void buildCurveTable(double level)
{
    const double f = level / 0.6649966577360363 * 255.0;
    for (int k = 0; k < 256; ++k) {
        const double entry = std::sin(1.5 * k / 255) * f / 1.5;
        curveTable[k] = entry >= 255.0 ? 255 : entry > 0.0 ? uchar(entry) : 0;
    }
}

// One row filter pass: row y of the w x h words becomes column y of the result.
MODEL Words blurredTransposed(const Words &in, int w, int h)
{
    static const unsigned kernel[7] = {1, 6, 15, 20, 15, 6, 1};
    Words out(in.size());
    for (int y = 0; y < h; ++y) {
        for (int x = 0; x < w; ++x) {
            unsigned sum[3] = {}, weights = 0;
            for (int k = qMax(0, x - 3); k <= qMin(w - 1, x + 3); ++k) {
                for (int c = 0; c < 3; ++c) {
                    sum[c] += kernel[k - x + 3] * unsigned(channel(in[size_t(y) * w + k], c));
                }
                weights += kernel[k - x + 3];
            }
            out[size_t(x) * h + y] = opaque(sum[2] / weights, sum[1] / weights, sum[0] / weights);
        }
    }
    return out;
}

void checkFilters(BriskoVitrelBackground &bg, const QImage &image, uint8_t level, uint8_t seed)
{
    const Words in = wordsOf(image);
    struct Filter
    {
        void (BriskoVitrelBackground::*apply)(QImage *);
        QRgb (*model)(QRgb);
    };
    static const Filter filters[] = {
        {&BriskoVitrelBackground::darken,
         [](QRgb w) { return perChannel(w, [](int ch) { return ch / 2 + ch / 4; }); }},
        {&BriskoVitrelBackground::darkenMore,
         [](QRgb w) { return perChannel(w, [](int ch) { return ch / 4; }); }},
        {&BriskoVitrelBackground::saturate,
         [](QRgb w) {
             return hsvReplaced(
                 w, [](int s) { return qMin(3 * s / 2, 255); }, [](int v) { return v; });
         }},
        {&BriskoVitrelBackground::curves,
         [](QRgb w) {
             return hsvReplaced(
                 w, [](int s) { return s; }, [](int v) { return int(curveTable[v]); });
         }},
    };
    bg.setWhiteLevel(int8_t(level) / 32.0);
    buildCurveTable(int8_t(level) / 32.0);
    for (const Filter &f : filters) {
        QImage copy = image.copy();
        (bg.*f.apply)(&copy);
        const Words out = filtered(image, copy);
        for (size_t i = 0; i < out.size(); ++i) {
            check(out[i] == f.model(in[i]));
        }
    }

    // The grain draws one number per pixel from rand(): replay the draws.
    std::srand(seed);
    Words expected;
    for (const QRgb w : in) {
        const int n = qPopulationCount(quint32(std::rand()) >> 1) - 15;
        expected.push_back(opaque(qBound(0, qRed(w) + n, 255),
                                  qBound(0, qGreen(w) + n, 255),
                                  qBound(0, qBlue(w) + n, 255)));
    }
    std::srand(seed);
    QImage copy = image.copy();
    bg.addNoise(&copy);
    check(filtered(image, copy) == expected);

    if (!image.isNull()) {
        qint64 sum = 0;
        for (int y = 0; y < image.height(); ++y) {
            for (int x = 0; x < image.width(); ++x) {
                const QRgb p = image.pixel(x, y);
                sum += qMax(qMax(qRed(p), qGreen(p)), qBlue(p));
            }
        }
        check(bg.extractMeanValue(image) == sum / (qint64(image.width()) * image.height()));
    }
}

void checkBlur(BriskoVitrelBackground &bg, const QImage &image, bool uniform)
{
    QImage copy = image.copy();
    bg.blur(&copy);
    if (qMin(image.width(), image.height()) < 50) {
        check(copy == image);
        return;
    }
    Words expected = wordsOf(image);
    const int w = image.width(), h = image.height();
    for (int pass = 0; pass < 5; ++pass) {
        expected = blurredTransposed(blurredTransposed(expected, w, h), h, w);
    }
    const Words out = filtered(image, copy);
    check(out == expected);
    if (uniform) {
        const QRgb colour = wordsOf(image)[0] | 0xff000000u;
        for (const QRgb p : out) {
            check(p == colour);
        }
    }
}

// Targets of every kind: none, empty, the right size, another size and format.
void checkTranspose(BriskoVitrelBackground &bg, const QImage &image, uint8_t kind)
{
    const QSize transposed(image.height(), image.width());
    QImage target;
    switch (kind % 4) {
    case 0:
        bg.blurAndTranspose(image, nullptr);
        return;
    case 1:
        break;
    case 2:
        target = QImage(transposed, QImage::Format_ARGB32);
        target.fill(0x12345678u);
        break;
    case 3:
        target = QImage(transposed.width() / 2 + 1, transposed.height() + 1, QImage::Format_RGB16);
        break;
    }
    bg.blurAndTranspose(image, &target);
    if (image.isNull()) {
        return;
    }
    check(target.size() == transposed);
    if (kind % 4 != 2) {
        check(target.format() == QImage::Format_ARGB32);
    }
    check(filtered(target, target)
          == blurredTransposed(wordsOf(image), image.width(), image.height()));
}

// The row filter on its own, with rows and targets that may break its
// preconditions: it must stay inside both buffers, and write its column
// exactly when they hold.
void checkRowFilter(const QImage &image, uint8_t rowByte, uint8_t sizeByte)
{
    const int row = int(rowByte % 70) - 3;
    const int height = sizeByte & 0x40 ? 66 : sizeByte & 0x3f;
    QImage target((sizeByte & 0x3f) + 2,
                  height,
                  sizeByte & 0x80 ? QImage::Format_RGB32 : QImage::Format_RGB888);
    target.fill(0);
    const QImage before = target;
    blurAndDownsampleBy(&image, &target, row);
    const bool valid = holdsWords(image) && holdsWords(target) && row >= 0 && row < image.height()
        && row < target.width() && target.height() >= image.width();
    if (!valid) {
        check(target == before);
        return;
    }
    const Words line = wordsOf(image.copy(0, row, image.width(), 1));
    const Words column = blurredTransposed(line, image.width(), 1);
    for (int y = 0; y < target.height(); ++y) {
        for (int x = 0; x < target.width(); ++x) {
            const QRgb p = reinterpret_cast<const QRgb *>(target.constScanLine(y))[x];
            const QRgb old = reinterpret_cast<const QRgb *>(before.constScanLine(y))[x];
            check(p == (x == row && y < image.width() ? column[size_t(y)] : old));
        }
    }
}

QRectF rectFrom(Input &in)
{
    // Halves on the corner, quarters on the size.
    qreal v[4]
        = {int8_t(in.byte()) / 2.0, int8_t(in.byte()) / 2.0, in.byte() * 0.75, in.byte() * 0.75};
    const uint8_t odd = in.byte();
    static const qreal unusual[] = {std::numeric_limits<qreal>::quiet_NaN(),
                                    std::numeric_limits<qreal>::infinity(),
                                    -1e300,
                                    3e9,
                                    0.49,
                                    1.0};
    if (odd % 8 < 4) {
        v[odd % 4] = unusual[(odd >> 3) % 6];
    }
    return QRectF(v[0], v[1], v[2], v[3]);
}

void checkPipeline(BriskoVitrelBackground &bg, const QImage &image, const QRectF &rect,
                   uint8_t flags)
{
    QImage texture;
    switch (flags >> TextureShift & 3) {
    case 1:
        texture = BriskoVitrelBackground::backgroundTexture();
        check(!texture.isNull());
        break;
    case 2:
        texture = image;
        break;
    case 3:
        texture = QImage(3, 5, QImage::Format_Grayscale8);
        texture.fill(0x80);
        break;
    }
    QImage out;
    if (flags & OutIsSource) {
        out = image;
        bg.buildBackgroundImageBase(out, out, texture, rect);
    } else {
        bg.buildBackgroundImageBase(image, out, texture, rect);
    }
    if (out.isNull()) {
        return;
    }
    check(out.width() == int(rect.width()));
    for (int y = 0; y < out.height(); ++y) {
        for (int x = 0; x < out.width(); ++x) {
            check(qAlpha(out.pixel(x, y)) == 0xff);
        }
    }
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t *data, size_t size)
{
    static const QtMessageHandler previous = qInstallMessageHandler(silent);
    (void)previous;
    static BriskoVitrelBackground bg;

    Input in {data, size};
    const uint8_t flags = in.byte();
    const uint8_t level = in.byte();
    const uint8_t seed = in.byte();
    const uint8_t row = in.byte();
    const uint8_t targetSize = in.byte();
    const uint8_t targetKind = in.byte();
    const QRectF rect = rectFrom(in);
    const QImage image = imageFrom(in, flags);

    checkFilters(bg, image, level, seed);
    checkBlur(bg, image, flags & Uniform);
    checkTranspose(bg, image, targetKind);
    checkRowFilter(image, row, targetSize);
    checkPipeline(bg, image, rect, flags);
    return 0;
}
