// SPDX-License-Identifier: GPL-2.0-or-later
// Turns a wallpaper into a cached background image:
//   briskovitrel-makebackground WALLPAPER OUTPUTDIR [WIDTH HEIGHT]
// and prints the path of the JPEG file it wrote.
#include "briskovitrelbackground.h"

#include <QtCore/QCoreApplication>
#include <QtCore/QFileInfo>
#include <QtCore/QStringList>
#include <QtCore/QTextStream>

int main(int argc, char **argv)
{
    QCoreApplication app(argc, argv);
    const QStringList args = app.arguments();
    QTextStream err(stderr);
    if (args.size() != 3 && args.size() != 5) {
        err << "usage: " << args.value(0) << " WALLPAPER OUTPUTDIR [WIDTH HEIGHT]\n";
        return 2;
    }
    QRectF rect(0, 0, 540, 960);
    if (args.size() == 5) {
        bool widthOk = false;
        bool heightOk = false;
        rect.setWidth(args.at(3).toInt(&widthOk));
        rect.setHeight(args.at(4).toInt(&heightOk));
        if (!widthOk || !heightOk || rect.isEmpty()) {
            err << args.value(0) << ": bad size " << args.at(3) << " x " << args.at(4) << "\n";
            return 2;
        }
    }

    const QString wallpaper = QFileInfo(args.at(1)).absoluteFilePath();
    const QImage image = BriskoVitrelBackground::getAppBackground(wallpaper, rect);
    if (image.isNull()) {
        err << args.value(0) << ": cannot read " << wallpaper << "\n";
        return 1;
    }
    BriskoVitrelBackground background(args.at(2));
    BriskoVitrelBackground::buildBackgroundImageForPortrait(
        &background, image, wallpaper, BriskoVitrelBackground::backgroundTexture(), rect);
    if (!QFileInfo(background.appImagePath()).isFile()) {
        err << args.value(0) << ": cannot write " << background.appImagePath() << "\n";
        return 1;
    }
    QTextStream(stdout) << background.appImagePath() << "\n";
    return 0;
}
