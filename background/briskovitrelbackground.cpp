// SPDX-License-Identifier: GPL-2.0-or-later
#include "briskovitrelbackground.h"
#include "briskovitrelbackground_p.h"

#include <QtCore/QDebug>
#include <QtCore/QDir>
#include <QtCore/QtAlgorithms>
#include <QtCore/QtMath>
#include <QtGui/QBrush>
#include <QtGui/QColor>
#include <QtGui/QImageReader>
#include <QtGui/QImageWriter>
#include <QtGui/QPainter>

#include <climits>
#include <cmath>
#include <cstdlib>

namespace {

const quint16 blurKernel[7] = {1, 6, 15, 20, 15, 6, 1};

bool holdsPixelWords(const QImage &image)
{
    switch (image.format()) {
    case QImage::Format_RGB32:
    case QImage::Format_ARGB32:
    case QImage::Format_ARGB32_Premultiplied:
        return true;
    default:
        return false;
    }
}

// The filters walk the buffer as 0xAARRGGBB words; anything else would be
// read past its end or with its channels swapped.
void convertToPixelWords(QImage *image)
{
    if (!image->isNull() && !holdsPixelWords(*image)) {
        *image = image->convertToFormat(QImage::Format_RGB32);
    }
}

QRgb *pixelWords(QImage *image)
{
    return reinterpret_cast<QRgb *>(image->bits());
}

qsizetype pixelCount(const QImage &image)
{
    return qsizetype(image.width()) * image.height();
}

// A rectangle side as a whole number of pixels, 0 when there is none.
int wholePixels(qreal side)
{
    if (!(side >= 1.0) || side >= qreal(INT_MAX)) {
        return 0;
    }
    return int(side);
}

// Rounds to double precision. On x87 the intermediate results would keep
// extended precision, and at the white level 1.0 white would come to 254.
double asDouble(double value)
{
    volatile double rounded = value;
    return rounded;
}

// Rounds each of x, y, width and height on its own, halves upward; rounding
// the corners instead would change the size by a pixel. Coordinates beyond
// the integer range give an empty rectangle.
QRect roundedRect(const QRectF &rect)
{
    const qreal limit = qreal(INT_MAX / 2);
    for (const qreal v : {rect.x(), rect.y(), rect.width(), rect.height()}) {
        if (!(qAbs(v) < limit)) {
            return QRect();
        }
    }
    return QRect(qRound(rect.x()), qRound(rect.y()), qRound(rect.width()), qRound(rect.height()));
}

QRgb blurBorderPixel(const QRgb *in, int width, int x)
{
    const int first = qMax(0, x - 3);
    const int last = qMin(width - 1, x + 3);
    quint32 r = 0;
    quint32 g = 0;
    quint32 b = 0;
    quint32 weights = 0;
    for (int k = first; k <= last; ++k) {
        const quint32 weight = blurKernel[k - x + 3];
        r += weight * qRed(in[k]);
        g += weight * qGreen(in[k]);
        b += weight * qBlue(in[k]);
        weights += weight;
    }
    return 0xff000000u | (r / weights) << 16 | (g / weights) << 8 | (b / weights);
}

// Red and blue share one word and green has its own: each lane's sum stays
// below 64 * 255, so no lane carries into the next and one shift divides all.
QRgb blurInteriorPixel(const QRgb *in)
{
    const quint32 rbMask = 0x00ff00ffu;
    const quint32 gMask = 0x0000ff00u;
    const quint32 rb = ((in[0] & rbMask) + (in[6] & rbMask))
        + 6 * ((in[1] & rbMask) + (in[5] & rbMask)) + 15 * ((in[2] & rbMask) + (in[4] & rbMask))
        + 20 * (in[3] & rbMask);
    const quint32 g = ((in[0] & gMask) + (in[6] & gMask)) + 6 * ((in[1] & gMask) + (in[5] & gMask))
        + 15 * ((in[2] & gMask) + (in[4] & gMask)) + 20 * (in[3] & gMask);
    return 0xff000000u | ((rb >> 6) & rbMask) | ((g >> 6) & gMask);
}

// The painter looks indexed texture pixels up in the colour table without a
// bound: an index past the table's end, or an image without a table, made it
// read outside. Conversion pads the table; other formats keep their colours.
QImage textureColours(const QImage &texture)
{
    if (texture.format() == QImage::Format_Indexed8 || texture.format() == QImage::Format_Mono
        || texture.format() == QImage::Format_MonoLSB) {
        return texture.convertToFormat(QImage::Format_ARGB32);
    }
    return texture;
}

QImage backgroundImageBase(BriskoVitrelBackground *background, const QImage &source,
                           const QImage &texture, const QRectF &rect)
{
    const int width = wholePixels(rect.width());
    const QRect area = roundedRect(rect);
    if (width == 0 || area.isEmpty()) {
        return QImage();
    }
    const QImage crop = source.copy(area);
    if (crop.isNull()) {
        return QImage();
    }
    // A rectangle under four pixels wide still keeps one column.
    const int smallWidth = qMax(1, int(rect.width() * 0.25));
    QImage image = crop.scaledToWidth(smallWidth, Qt::FastTransformation);
    if (image.isNull()) {
        return QImage();
    }
    background->processAppWallpaper(&image);
    image = image.scaledToWidth(width, Qt::SmoothTransformation);
    background->addNoise(&image);
    if (texture.isNull() || image.isNull()) {
        return image;
    }
    {
        // The painter has to be done with the image before it is handed on.
        QPainter painter(&image);
        painter.setCompositionMode(QPainter::CompositionMode_SourceOver);
        painter.setOpacity(0.1);
        painter.fillRect(QRect(0, 0, image.width(), image.height()),
                         QBrush(textureColours(texture)));
    }
    return image;
}

} // namespace

quint32 backgroundCacheHash(const QString &text)
{
    quint32 h = 0;
    for (const QChar c : text) {
        h = (h << 4) + c.unicode();
        h ^= (h & 0xf0000000u) >> 23;
        h &= 0x0fffffffu;
    }
    return h;
}

template <int factor> void blurAndDownsampleBy(const QImage *src, QImage *dst, int row)
{
    static_assert(factor == 1, "only the factor 1 is provided");
    if (!src || !dst || !holdsPixelWords(*src) || !holdsPixelWords(*dst)) {
        return;
    }
    const int width = src->width();
    if (row < 0 || row >= src->height() || row >= dst->width() || dst->height() < width) {
        return;
    }
    const QRgb *in = reinterpret_cast<const QRgb *>(src->constScanLine(row));
    const int step = dst->bytesPerLine() / int(sizeof(QRgb));
    QRgb *out = pixelWords(dst) + row;

    const int interiorBegin = qMin(3, width);
    const int interiorEnd = qMax(interiorBegin, width - 3);
    int x = 0;
    for (; x < interiorBegin; ++x) {
        out[qsizetype(x) * step] = blurBorderPixel(in, width, x);
    }
    for (; x < interiorEnd; ++x) {
        out[qsizetype(x) * step] = blurInteriorPixel(in + x - 3);
    }
    for (; x < width; ++x) {
        out[qsizetype(x) * step] = blurBorderPixel(in, width, x);
    }
}

template void blurAndDownsampleBy<1>(const QImage *src, QImage *dst, int row);

void blurAndDownsampleBy(const QImage *src, QImage *dst, int row)
{
    blurAndDownsampleBy<1>(src, dst, row);
}

BriskoVitrelBackground::BriskoVitrelBackground()
    : m_blurPasses(5)
    , m_whiteLevel(qQNaN())
{
    for (int k = 0; k < 256; ++k) {
        m_curveTable[k] = uchar(k);
    }
    setWhiteLevel(0.4);
}

BriskoVitrelBackground::BriskoVitrelBackground(const QString &outputPath)
    : m_blurPasses(5)
    , m_whiteLevel(qQNaN())
    , m_outputPath(outputPath)
{
    // Until a level is set the curve keeps every value.
    for (int k = 0; k < 256; ++k) {
        m_curveTable[k] = uchar(k);
    }
    const QDir dir(outputPath);
    // Relative to the current directory, and "" is the current directory.
    if (!dir.mkpath(dir.absolutePath())) {
        // The path in plain double quotes: the stream's own quoting would
        // escape quotation marks and backslashes in it.
        qWarning().noquote() << QStringLiteral("Could not create directory \"%1\"").arg(dir.path());
        return;
    }
    setWhiteLevel(0.4);
}

BriskoVitrelBackground::~BriskoVitrelBackground() = default;

void BriskoVitrelBackground::processAppWallpaper(QImage *image)
{
    blur(image);
    curves(image);
    saturate(image);
}

QString BriskoVitrelBackground::outputPath() const
{
    return m_outputPath;
}

QString BriskoVitrelBackground::appImagePath() const
{
    return m_appImagePath;
}

QImage BriskoVitrelBackground::getAppBackground(const QString &path, const QRectF &rect)
{
    const int width = wholePixels(rect.width());
    const int height = wholePixels(rect.height());
    if (width == 0 || height == 0) {
        return QImage();
    }
    QImageReader reader(path, QByteArray());
    const QSize stored = reader.size();
    if (stored.isEmpty()) {
        return QImage();
    }
    const double ratio = double(width) / height;
    QRect clip;
    if (double(stored.width()) / stored.height() > ratio) {
        const int cropWidth = qMax(1, int(stored.height() * ratio));
        clip = QRect(stored.width() / 2 - cropWidth / 2, 0, cropWidth, stored.height());
    } else {
        const int cropHeight = qMax(1, int(stored.width() / ratio));
        clip = QRect(0, stored.height() / 2 - cropHeight / 2, stored.width(), cropHeight);
    }
    reader.setClipRect(clip);
    reader.setScaledSize(QSize(width, height));
    return reader.read();
}

QImage BriskoVitrelBackground::backgroundTexture()
{
    QImageReader reader(QStringLiteral("://images/graphic-shader-texture.png"), QByteArray());
    const QImage texture = reader.read();
    if (texture.isNull()) {
        qWarning("declarativetheme::generateWallpapersFrom(imageUrl) - Texture is not available");
    }
    return texture;
}

void BriskoVitrelBackground::buildBackgroundImageBase(const QImage &source, QImage &out,
                                                      const QImage &texture, const QRectF &rect)
{
    // out may be source or texture itself, so it is replaced only at the end.
    out = backgroundImageBase(this, source, texture, rect);
}

BriskoVitrelBackground *
BriskoVitrelBackground::buildBackgroundImageForPortrait(BriskoVitrelBackground *background,
                                                        const QImage &image, QString sourcePath,
                                                        const QImage &texture, const QRectF &rect)
{
    if (!background || image.isNull()) {
        return background;
    }
    const QString name = QStringLiteral("/%1ap.jpg").arg(backgroundCacheHash(sourcePath), 0, 16);
    background->m_appImagePath = background->m_outputPath + name;

    QImage result;
    background->buildBackgroundImageBase(image, result, texture, rect);
    QImageWriter writer(background->m_appImagePath, QByteArray());
    writer.setQuality(95);
    (void)writer.write(result);
    return background;
}

void BriskoVitrelBackground::curves(QImage *image)
{
    convertToPixelWords(image);
    QRgb *p = pixelWords(image);
    const qsizetype count = pixelCount(*image);
    // Blurred neighbours are often equal, and the colour conversions are
    // the expensive part.
    QRgb lastIn = 0; // never equal to an opaque pixel
    QRgb lastOut = 0;
    for (qsizetype i = 0; i < count; ++i) {
        const QRgb in = p[i] | 0xff000000u;
        if (in != lastIn) {
            int hue;
            int saturation;
            int value;
            QColor::fromRgb(in).toHsv().getHsv(&hue, &saturation, &value);
            lastIn = in;
            lastOut = QColor::fromHsv(hue, saturation, m_curveTable[value], 255).rgb();
        }
        p[i] = lastOut;
    }
}

void BriskoVitrelBackground::darken(QImage *image)
{
    convertToPixelWords(image);
    QRgb *p = pixelWords(image);
    const qsizetype count = pixelCount(*image);
    for (qsizetype i = 0; i < count; ++i) {
        p[i] = (((p[i] & 0xfefefefeu) >> 1) + ((p[i] & 0xfcfcfcfcu) >> 2)) | 0xff000000u;
    }
}

void BriskoVitrelBackground::darkenMore(QImage *image)
{
    convertToPixelWords(image);
    QRgb *p = pixelWords(image);
    const qsizetype count = pixelCount(*image);
    for (qsizetype i = 0; i < count; ++i) {
        p[i] = ((p[i] & 0xfcfcfcfcu) >> 2) | 0xff000000u;
    }
}

void BriskoVitrelBackground::saturate(QImage *image)
{
    convertToPixelWords(image);
    QRgb *p = pixelWords(image);
    const qsizetype count = pixelCount(*image);
    QRgb lastIn = 0; // never equal to an opaque pixel
    QRgb lastOut = 0;
    for (qsizetype i = 0; i < count; ++i) {
        const QRgb in = p[i] | 0xff000000u;
        if (in != lastIn) {
            int hue;
            int saturation;
            int value;
            QColor::fromRgb(in).toHsv().getHsv(&hue, &saturation, &value);
            const int boosted = qMin(3 * saturation / 2, 255);
            lastIn = in;
            lastOut = QColor::fromHsv(hue, boosted, value, 255).rgb();
        }
        p[i] = lastOut;
    }
}

void BriskoVitrelBackground::addNoise(QImage *image)
{
    convertToPixelWords(image);
    QRgb *p = pixelWords(image);
    const qsizetype count = pixelCount(*image);
    for (qsizetype i = 0; i < count; ++i) {
        // rand() gives 31 bits; dropping one leaves 30, so the offset is
        // binomial in -15..15 and centred on 0.
        const int offset = qPopulationCount(quint32(std::rand()) >> 1) - 15;
        const int r = qBound(0, qRed(p[i]) + offset, 255);
        const int g = qBound(0, qGreen(p[i]) + offset, 255);
        const int b = qBound(0, qBlue(p[i]) + offset, 255);
        p[i] = 0xff000000u | quint32(r) << 16 | quint32(g) << 8 | quint32(b);
    }
}

int BriskoVitrelBackground::extractMeanValue(const QImage &image)
{
    const qint64 count = pixelCount(image);
    if (count == 0) {
        return 0;
    }
    // A 32-bit sum would overflow beyond 8421504 white pixels.
    qint64 sum = 0;
    for (int y = 0; y < image.height(); ++y) {
        for (int x = 0; x < image.width(); ++x) {
            const QRgb p = image.pixel(x, y);
            sum += qMax(qMax(qRed(p), qGreen(p)), qBlue(p));
        }
    }
    return int(sum / count);
}

void BriskoVitrelBackground::setWhiteLevel(double level)
{
    if (level == m_whiteLevel) {
        return;
    }
    m_whiteLevel = level;
    // The divisor is sin(1.5) / 1.5, so that white maps to 255 * level.
    const double factor = asDouble(asDouble(level / 0.6649966577360363) * 255.0);
    for (int k = 0; k < 256; ++k) {
        const double entry = asDouble(asDouble(asDouble(std::sin(1.5 * k / 255)) * factor) / 1.5);
        // Clamped before truncation: a NaN or huge level must not reach the
        // integer conversion.
        if (entry >= 255.0) {
            m_curveTable[k] = 255;
        } else if (entry > 0.0) {
            m_curveTable[k] = uchar(entry);
        } else {
            m_curveTable[k] = 0;
        }
    }
}

void BriskoVitrelBackground::blurAndTranspose(const QImage &src, QImage *dst)
{
    if (!dst) {
        return;
    }
    QImage source = src;
    convertToPixelWords(&source);
    const QSize transposed(source.height(), source.width());
    // A target of another size would be written past its end.
    if (dst->size() != transposed || !holdsPixelWords(*dst)) {
        *dst = QImage(transposed, QImage::Format_ARGB32);
    }
    for (int y = 0; y < source.height(); ++y) {
        blurAndDownsampleBy(&source, dst, y);
    }
}

void BriskoVitrelBackground::blur(QImage *image)
{
    if (!image || qMin(image->width(), image->height()) < 50) {
        return;
    }
    convertToPixelWords(image);
    QImage work;
    for (int pass = 0; pass < m_blurPasses; ++pass) {
        blurAndTranspose(*image, &work);
        blurAndTranspose(work, image);
    }
}
