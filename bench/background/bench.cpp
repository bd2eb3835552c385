// SPDX-License-Identifier: GPL-2.0-or-later
// Times a 540 x 960 background built from a 1080 x 1920 JPEG wallpaper
// against a floor that only decodes the same clip at the same size and
// encodes a JPEG of that size at quality 95, and times the blur of the
// reduced copy on its own.
//   bench-background WORKDIR [ROUNDS]
#include "briskovitrelbackground.h"

#include <QtCore/QCoreApplication>
#include <QtCore/QDir>
#include <QtCore/QElapsedTimer>
#include <QtCore/QStringList>
#include <QtCore/QTextStream>
#include <QtCore/QtMath>
#include <QtGui/QImageReader>
#include <QtGui/QImageWriter>
#include <QtGui/QPainter>

#include <algorithm>
#include <cstdlib>
#include <vector>

namespace {

// Something like a photograph: soft gradients, a few shapes, fine noise.
QImage makeWallpaper()
{
    QImage image(1080, 1920, QImage::Format_RGB32);
    std::srand(1);
    for (int y = 0; y < image.height(); ++y) {
        QRgb *line = reinterpret_cast<QRgb *>(image.scanLine(y));
        for (int x = 0; x < image.width(); ++x) {
            const double u = x / 1080.0;
            const double v = y / 1920.0;
            const int grain = std::rand() % 17 - 8;
            const int r = int(90 + 80 * qSin(3.1 * u + 1.7 * v)) + grain;
            const int g = int(110 + 70 * qCos(2.3 * v - 1.1 * u)) + grain;
            const int b = int(140 + 90 * qSin(5.0 * u * v + 0.5)) + grain;
            line[x] = qRgb(qBound(0, r, 255), qBound(0, g, 255), qBound(0, b, 255));
        }
    }
    QPainter painter(&image);
    painter.setRenderHint(QPainter::Antialiasing);
    painter.setPen(Qt::NoPen);
    for (int i = 0; i < 24; ++i) {
        painter.setBrush(QColor::fromHsv(i * 15 % 360, 160, 200, 120));
        painter.drawEllipse(
            QPointF(std::rand() % 1080, std::rand() % 1920), 40 + i * 9, 30 + i * 7);
    }
    return image;
}

double median(std::vector<double> values)
{
    std::sort(values.begin(), values.end());
    return values[values.size() / 2];
}

} // namespace

int main(int argc, char **argv)
{
    QCoreApplication app(argc, argv);
    const QStringList args = app.arguments();
    QTextStream out(stdout);
    if (args.size() < 2) {
        QTextStream(stderr) << "usage: " << args.value(0) << " WORKDIR [ROUNDS]\n";
        return 2;
    }
    const QDir work(args.at(1));
    const int rounds = args.size() > 2 ? qMax(1, args.at(2).toInt()) : 25;
    const QString wallpaperPath = work.filePath(QStringLiteral("wallpaper.jpg"));
    const QString floorPath = work.filePath(QStringLiteral("floor.jpg"));
    const QRectF rect(0, 0, 540, 960);

    QImageWriter wallpaperWriter(wallpaperPath);
    wallpaperWriter.setQuality(90);
    if (!wallpaperWriter.write(makeWallpaper())) {
        QTextStream(stderr) << "cannot write " << wallpaperPath << "\n";
        return 1;
    }

    BriskoVitrelBackground background(work.filePath(QStringLiteral("cache")));
    const QImage texture = BriskoVitrelBackground::backgroundTexture();
    // The reduced copy that the pipeline blurs.
    const QImage reduced = BriskoVitrelBackground::getAppBackground(wallpaperPath, rect)
                               .scaledToWidth(135, Qt::FastTransformation);

    std::vector<double> floorTimes;
    std::vector<double> buildTimes;
    std::vector<double> blurTimes;
    std::vector<double> noiseTimes;
    QImage full(540, 960, QImage::Format_RGB32);
    full.fill(0xff808080);
    QElapsedTimer timer;
    for (int round = 0; round < rounds; ++round) {
        timer.start();
        QImageReader reader(wallpaperPath);
        reader.setClipRect(QRect(0, 0, 1080, 1920)); // what 540:960 clips from 1080:1920
        reader.setScaledSize(QSize(540, 960));
        const QImage decoded = reader.read();
        QImageWriter writer(floorPath);
        writer.setQuality(95);
        if (decoded.isNull() || !writer.write(decoded)) {
            QTextStream(stderr) << "floor failed\n";
            return 1;
        }
        floorTimes.push_back(timer.nsecsElapsed() / 1e6);

        timer.start();
        const QImage image = BriskoVitrelBackground::getAppBackground(wallpaperPath, rect);
        BriskoVitrelBackground::buildBackgroundImageForPortrait(
            &background, image, wallpaperPath, texture, rect);
        buildTimes.push_back(timer.nsecsElapsed() / 1e6);

        QImage copy = reduced.copy();
        timer.start();
        background.blur(&copy);
        blurTimes.push_back(timer.nsecsElapsed() / 1e6);

        timer.start();
        background.addNoise(&full);
        noiseTimes.push_back(timer.nsecsElapsed() / 1e6);
    }
    if (QImageReader(background.appImagePath()).size() != QSize(540, 960)) {
        QTextStream(stderr) << "no background written at " << background.appImagePath() << "\n";
        return 1;
    }

    const double floorMs = median(floorTimes);
    const double buildMs = median(buildTimes);
    const double blurMs = median(blurTimes);
    const double noiseMs = median(noiseTimes);
    out.setRealNumberNotation(QTextStream::FixedNotation);
    out.setRealNumberPrecision(2);
    out << "rounds                      " << rounds << " (medians)\n";
    out << "floor: decode + encode      " << floorMs << " ms\n";
    out << "background: read + build    " << buildMs << " ms\n";
    out << "ratio to the floor          " << buildMs / floorMs << " (target <= 1.5)\n";
    out << "blur of the 135x240 copy    " << blurMs << " ms\n";
    out << "blur share of the build     " << 100.0 * blurMs / buildMs << " % (target < 10 %)\n";
    out << "grain of 540x960 (rand())   " << noiseMs << " ms\n";
    out << "ratio without the grain     " << (buildMs - noiseMs) / floorMs << "\n";
    return 0;
}
