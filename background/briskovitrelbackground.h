// SPDX-License-Identifier: GPL-2.0-or-later
// Background images for the user interface: wallpapers blurred, toned,
// saturated, grained and textured, and cached as JPEG files.
#ifndef BRISKOVITRELBACKGROUND_H
#define BRISKOVITRELBACKGROUND_H

#include <QtCore/QRectF>
#include <QtCore/QString>
#include <QtGui/QImage>

// Filters one row of src into one column of dst: row `row` of src, blurred
// with the seven-tap binomial kernel (renormalised at the row's ends),
// becomes column `row` of dst, one output pixel per source pixel. Both images
// must hold 0xAARRGGBB words (RGB32, ARGB32 or ARGB32_Premultiplied), dst
// must be at least as high as src is wide and wider than `row`; a call that
// breaks these conditions changes nothing.
void blurAndDownsampleBy(const QImage *src, QImage *dst, int row);
// The same filter with its downsampling factor named, as callers built
// against that form call it. Only the factor 1 is provided.
template <int factor = 1> void blurAndDownsampleBy(const QImage *src, QImage *dst, int row);

// Register and unregister the library's resource collection. The library
// does both itself when it is loaded and unloaded. Both return 1.
int qInitResources_background();
int qCleanupResources_background();

class BriskoVitrelBackground
{
public:
    // No output directory; the tone curve is built for the white level 0.4.
    BriskoVitrelBackground();
    // Creates outputPath with every missing parent. If that fails, a warning
    // is written and the tone curve stays unset: curves() then keeps every
    // value as it is until setWhiteLevel() is called.
    explicit BriskoVitrelBackground(const QString &outputPath);
    virtual ~BriskoVitrelBackground();

    // The middle stage of the pipeline: blur(), curves(), saturate(). A
    // derived class may replace it.
    virtual void processAppWallpaper(QImage *image);

    QString outputPath() const;
    // The cached file that buildBackgroundImageForPortrait() last named.
    QString appImagePath() const;

    // Reads the image file at path, cropped around its centre to the aspect
    // ratio of rect and scaled to rect's size while decoding. The result is
    // null if the file cannot be read or rect has no whole pixel in one
    // direction.
    static QImage getAppBackground(const QString &path, const QRectF &rect);
    // The grain texture from the library's resources, null (with a warning)
    // if it is missing.
    static QImage backgroundTexture();

    // Turns the part rect of source into a background image in out, as wide
    // as rect: reduced to a quarter of that width (at least one pixel),
    // processAppWallpaper(), enlarged again, grained, and tiled with texture
    // at opacity 0.1 unless texture is null. Parts of rect outside source
    // count as black. out is null if source is null or rect has no whole
    // pixel in one direction. out may be source or texture itself.
    void buildBackgroundImageBase(const QImage &source, QImage &out, const QImage &texture,
                                  const QRectF &rect);
    // Names the cached file of sourcePath under the output directory (see
    // appImagePath()), builds the background of image into it as a JPEG of
    // quality 95, replacing an earlier one, and returns background. A null
    // image changes nothing. Write failures are not reported.
    static BriskoVitrelBackground *
    buildBackgroundImageForPortrait(BriskoVitrelBackground *background, const QImage &image,
                                    QString sourcePath, const QImage &texture, const QRectF &rect);

    // The filters below work in place and force every alpha byte to 0xFF.
    // Images that do not hold 0xAARRGGBB words are converted to RGB32 first.

    // Replaces each pixel's HSV value by its tone-curve entry.
    void curves(QImage *image);
    // Each of R, G and B becomes ch/2 + ch/4.
    void darken(QImage *image);
    // Each of R, G and B becomes ch/4.
    void darkenMore(QImage *image);
    // Multiplies each pixel's HSV saturation by 1.5, at most 255.
    void saturate(QImage *image);
    // Adds one grey offset in -15..15, drawn with one rand() per pixel, to
    // each pixel. The generator is never seeded here.
    void addNoise(QImage *image);
    // The mean HSV value of all pixels of any format, 0 for an empty image.
    int extractMeanValue(const QImage &image);
    // Rebuilds the tone curve for a new white level (the value that white
    // maps to, as a fraction of 255). The same level again does nothing.
    void setWhiteLevel(double level);

    // Filters every row of src into dst, so that dst becomes src transposed
    // and blurred horizontally. A null or empty dst is replaced by a new
    // ARGB32 image of the transposed size, and so is one of another size.
    void blurAndTranspose(const QImage &src, QImage *dst);
    // Blurs image in place along both axes, blurPasses times. Images with a
    // side under 50 pixels are left as they are.
    void blur(QImage *image);

protected:
    qint32 m_blurPasses;
    double m_whiteLevel;
    QString m_outputPath;
    QString m_appImagePath;
    uchar m_curveTable[256];
};

#endif // BRISKOVITRELBACKGROUND_H
