// SPDX-License-Identifier: GPL-2.0-or-later
#include "briskovitrelbackground.h"
#include "briskovitrelbackground_p.h"

#include "probe.h"
#include "qktest.h"

#include <gtest/gtest.h>

#include <QtCore/QDir>
#include <QtCore/QFile>
#include <QtCore/QFileInfo>
#include <QtCore/QResource>
#include <QtGui/QImageReader>
#include <QtGui/QImageWriter>

#include <grp.h>
#include <pwd.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

#include <cstdlib>
#include <random>

namespace {

QString qs(const std::string &s)
{
    return QString::fromStdString(s);
}

// Noise with a slow gradient: a clip or scale that is off by one pixel
// gives other pixels.
QImage wallpaper(int width, int height, unsigned seed)
{
    std::mt19937 random(seed);
    QImage image(width, height, QImage::Format_RGB32);
    for (int y = 0; y < height; ++y) {
        QRgb *line = reinterpret_cast<QRgb *>(image.scanLine(y));
        for (int x = 0; x < width; ++x) {
            const int noise = int(random() % 64);
            line[x] = qRgb(
                (x * 191 / width + noise) & 0xff, (y * 191 / height + noise) & 0xff, noise * 3);
        }
    }
    return image;
}

QString savedWallpaper(const qk::TempDir &dir, const char *name, int width, int height)
{
    const QString path = qs(dir.file(name));
    QImageWriter writer(path);
    writer.setQuality(90);
    EXPECT_TRUE(writer.write(wallpaper(width, height, unsigned(width + height))))
        << writer.errorString().toStdString();
    return path;
}

QImage readClipped(const QString &path, const QRect &clip, const QSize &size)
{
    QImageReader reader(path);
    if (clip.isValid()) {
        reader.setClipRect(clip);
    }
    reader.setScaledSize(size);
    return reader.read();
}

// Leaves the wallpaper stage out, so that the rest of the pipeline can be
// followed step by step.
class Recorder : public BriskoVitrelBackground
{
public:
    using BriskoVitrelBackground::BriskoVitrelBackground;

    void processAppWallpaper(QImage *image) override { processedSizes.append(image->size()); }

    QList<QSize> processedSizes;
};

// The luminance quantisation table of a baseline JPEG file, in the order
// stored (zigzag), or empty.
std::vector<int> luminanceTable(const QByteArray &jpeg)
{
    const auto byte = [&jpeg](int i) { return int(uchar(jpeg.at(i))); };
    int i = 2;
    while (i + 4 <= jpeg.size() && byte(i) == 0xff) {
        const int marker = byte(i + 1);
        const int length = byte(i + 2) << 8 | byte(i + 3);
        if (marker == 0xdb) {
            int at = i + 4;
            while (at < i + 2 + length) {
                const int precision = byte(at) >> 4;
                const int table = byte(at) & 15;
                if (table == 0 && precision == 0) {
                    std::vector<int> values;
                    for (int k = 0; k < 64; ++k) {
                        values.push_back(byte(at + 1 + k));
                    }
                    return values;
                }
                at += 1 + 64 * (precision + 1);
            }
        }
        if (marker == 0xda) {
            break;
        }
        i += 2 + length;
    }
    return {};
}

// The standard's example luminance table scaled to quality 95 (a scale of
// 10 %, rounded), in zigzag order.
std::vector<int> luminanceTableAtQuality95()
{
    static const int natural[64] = {
        16, 11, 10, 16, 24,  40,  51,  61,  12, 12, 14, 19, 26,  58,  60,  55,
        14, 13, 16, 24, 40,  57,  69,  56,  14, 17, 22, 29, 51,  87,  80,  62,
        18, 22, 37, 56, 68,  109, 103, 77,  24, 35, 55, 64, 81,  104, 113, 92,
        49, 64, 78, 87, 103, 121, 120, 101, 72, 92, 95, 98, 112, 100, 103, 99,
    };
    static const int zigzag[64] = {
        0,  1,  8,  16, 9,  2,  3,  10, 17, 24, 32, 25, 18, 11, 4,  5,  12, 19, 26, 33, 40, 48,
        41, 34, 27, 20, 13, 6,  7,  14, 21, 28, 35, 42, 49, 56, 57, 50, 43, 36, 29, 22, 15, 23,
        30, 37, 44, 51, 58, 59, 52, 45, 38, 31, 39, 46, 53, 60, 61, 54, 47, 55, 62, 63,
    };
    std::vector<int> values;
    for (int k = 0; k < 64; ++k) {
        values.push_back(qMax(1, (natural[zigzag[k]] * 10 + 50) / 100));
    }
    return values;
}

} // namespace

TEST(AppBackground, ClipsToTheRectanglesRatioAroundTheCentre)
{
    qk::TempDir dir;
    struct
    {
        const char *name;
        QSize stored;
        QRect clip;
    } const cases[] = {
        {"square.png", QSize(1000, 1000), QRect(219, 0, 562, 1000)}, // wider than 540:960
        {"tall.png", QSize(1000, 2000), QRect(0, 112, 1000, 1777)},
        {"same.jpg", QSize(1080, 1920), QRect(0, 0, 1080, 1920)},
    };
    for (const auto &c : cases) {
        const QString path = savedWallpaper(dir, c.name, c.stored.width(), c.stored.height());
        const QImage image = BriskoVitrelBackground::getAppBackground(path, QRectF(0, 0, 540, 960));
        ASSERT_EQ(image.size(), QSize(540, 960)) << c.name;
        EXPECT_EQ(image, readClipped(path, c.clip, QSize(540, 960))) << c.name;
        // The same image one pixel off is another image.
        EXPECT_NE(image,
                  readClipped(path,
                              c.clip.translated(1, 1).intersected(QRect(QPoint(), c.stored)),
                              QSize(540, 960)))
            << c.name;
    }
}

TEST(AppBackground, TruncatesTheRectangleToWholePixels)
{
    qk::TempDir dir;
    const QString path = savedWallpaper(dir, "wide.png", 300, 100);
    // 120.9 x 80.7 counts as 120 x 80: ratio 1.5, clip 150 x 100 at x 75.
    const QImage image = BriskoVitrelBackground::getAppBackground(path, QRectF(5, 5, 120.9, 80.7));
    ASSERT_EQ(image.size(), QSize(120, 80));
    EXPECT_EQ(image, readClipped(path, QRect(75, 0, 150, 100), QSize(120, 80)));
}

TEST(AppBackground, IsNullWithoutAReadableFileOrWholePixels)
{
    qk::TempDir dir;
    const QString path = savedWallpaper(dir, "small.png", 60, 80);
    qk::writeFile(dir.file("garbage.jpg"), "not an image at all");
    MessageCapture capture;
    const struct
    {
        QString path;
        QRectF rect;
    } cases[] = {
        {qs(dir.file("missing.jpg")), QRectF(0, 0, 30, 40)},
        {qs(dir.file("garbage.jpg")), QRectF(0, 0, 30, 40)},
        {path, QRectF(0, 0, 0, 40)},
        {path, QRectF(0, 0, 30, 0.5)},
        {path, QRectF(0, 0, -30, 40)},
        {path, QRectF()},
    };
    for (const auto &c : cases) {
        EXPECT_TRUE(BriskoVitrelBackground::getAppBackground(c.path, c.rect).isNull())
            << c.path.toStdString() << " " << c.rect.width() << "x" << c.rect.height();
    }
    EXPECT_TRUE(capture.messages().isEmpty()) << capture.messages().join("\n").toStdString();
}

TEST(Texture, IsOurUncompressedGrainPng)
{
    const QString name = QStringLiteral(":/images/graphic-shader-texture.png");
    const QResource resource(name);
    ASSERT_TRUE(resource.isValid());
    EXPECT_EQ(resource.compressionAlgorithm(), QResource::NoCompression);
    const QByteArray stored(reinterpret_cast<const char *>(resource.data()), int(resource.size()));
    QFile source(QStringLiteral(TEXTURE_SOURCE));
    ASSERT_TRUE(source.open(QIODevice::ReadOnly));
    EXPECT_EQ(stored, source.readAll());
    // Signature, then IHDR: 16 x 16, depth 8, colour type 6 (RGBA), no
    // interlacing.
    ASSERT_GE(stored.size(), 29);
    EXPECT_EQ(stored.mid(12, 4), QByteArray("IHDR"));
    EXPECT_EQ(stored.mid(16, 13), QByteArray("\0\0\0\x10\0\0\0\x10\x08\x06\0\0\0", 13));

    const QImage texture = BriskoVitrelBackground::backgroundTexture();
    EXPECT_EQ(texture.size(), QSize(16, 16));
    EXPECT_TRUE(texture.hasAlphaChannel());
}

TEST(Texture, ComesAndGoesWithTheResourceCollection)
{
    const QString name = QStringLiteral("://images/graphic-shader-texture.png");
    ASSERT_TRUE(QFile::exists(name)); // registered at load
    EXPECT_EQ(qCleanupResources_background(), 1);
    EXPECT_FALSE(QFile::exists(name));
    {
        MessageCapture capture;
        EXPECT_TRUE(BriskoVitrelBackground::backgroundTexture().isNull());
        EXPECT_EQ(
            capture.messages(),
            QStringList(QStringLiteral(
                "declarativetheme::generateWallpapersFrom(imageUrl) - Texture is not available")));
    }
    EXPECT_EQ(qInitResources_background(), 1);
    EXPECT_TRUE(QFile::exists(name));
    EXPECT_FALSE(BriskoVitrelBackground::backgroundTexture().isNull());
}

TEST(BackgroundBase, WorksOnAQuarterWidthCopy)
{
    Recorder background;
    const QImage source = wallpaper(1080, 1920, 1);
    QImage out(3, 3, QImage::Format_RGB32);
    background.buildBackgroundImageBase(source, out, QImage(), QRectF(0, 0, 540, 960));
    EXPECT_EQ(background.processedSizes, QList<QSize>() << QSize(135, 240));
    EXPECT_EQ(out.size(), QSize(540, 960));

    // A rectangle under four pixels wide keeps one column.
    background.processedSizes.clear();
    background.buildBackgroundImageBase(source, out, QImage(), QRectF(10, 10, 2, 100));
    EXPECT_EQ(background.processedSizes, QList<QSize>() << QSize(1, 50));
    EXPECT_EQ(out.size(), QSize(2, 100));
}

TEST(BackgroundBase, CropsReducesEnlargesAndGrains)
{
    Recorder background;
    const QImage source = wallpaper(700, 900, 2);
    // Halves round up: x 100.5 -> 101, y 50.4 -> 50, 400.5 -> 401.
    const QRectF rect(100.5, 50.4, 400.5, 600);
    std::srand(99);
    QImage out;
    background.buildBackgroundImageBase(source, out, QImage(), rect);

    QImage expected = source.copy(QRect(101, 50, 401, 600))
                          .scaledToWidth(100, Qt::FastTransformation)
                          .scaledToWidth(400, Qt::SmoothTransformation);
    std::srand(99);
    background.addNoise(&expected);
    EXPECT_EQ(out, expected);
}

TEST(BackgroundBase, TilesTheTextureFromTheTopLeftAtATenth)
{
    Recorder background;
    const QImage source = wallpaper(200, 150, 3);
    const QRectF rect(0, 0, 200, 150);
    QImage texture(16, 16, QImage::Format_ARGB32);
    texture.fill(Qt::transparent);
    texture.setPixel(0, 0, 0xffffffff);

    QImage plain;
    QImage textured;
    std::srand(5);
    background.buildBackgroundImageBase(source, plain, QImage(), rect);
    std::srand(5);
    background.buildBackgroundImageBase(source, textured, texture, rect);
    ASSERT_EQ(plain.size(), textured.size());
    for (int y = 0; y < plain.height(); ++y) {
        for (int x = 0; x < plain.width(); ++x) {
            const QRgb before = plain.pixel(x, y);
            const QRgb after = textured.pixel(x, y);
            if (x % 16 || y % 16) {
                ASSERT_EQ(after, before) << x << "," << y;
                continue;
            }
            using Channel = int (*)(QRgb);
            for (const Channel channel : {Channel(qRed), Channel(qGreen), Channel(qBlue)}) {
                const double lifted = channel(before) * 0.9 + 25.5;
                // The painter's fixed-point blending is off the exact value by
                // up to two levels.
                ASSERT_NEAR(channel(after), lifted, 2.5)
                    << x << "," << y << " from " << channel(before);
            }
        }
    }
}

TEST(BackgroundBase, OutMayBeTheSourceOrTheTexture)
{
    BriskoVitrelBackground background;
    const QImage source = wallpaper(240, 180, 12);
    QImage texture(16, 16, QImage::Format_ARGB32);
    texture.fill(0xffffffff);
    const QRectF rect(20, 10, 200, 160);

    QImage expected;
    std::srand(21);
    background.buildBackgroundImageBase(source, expected, texture, rect);
    ASSERT_EQ(expected.size(), QSize(200, 160));

    QImage picture = source.copy();
    std::srand(21);
    background.buildBackgroundImageBase(picture, picture, texture, rect);
    EXPECT_EQ(picture, expected) << "out is the source";

    QImage grain = texture.copy();
    std::srand(21);
    background.buildBackgroundImageBase(source, grain, grain, rect);
    EXPECT_EQ(grain, expected) << "out is the texture";
}

// Indexes beyond the colour table, or no table at all, once made the painter
// read past the table.
TEST(BackgroundBase, PaintsIndexedTexturesAsTheirColours)
{
    BriskoVitrelBackground background;
    const QImage source = wallpaper(64, 48, 7);
    const QRectF rect(0, 0, 64, 48);
    struct Case
    {
        const char *name;
        QImage::Format format;
        QVector<QRgb> table;
    };
    const Case cases[] = {
        {"8 bits, no table", QImage::Format_Indexed8, {}},
        {"8 bits, two colours", QImage::Format_Indexed8, {0xff102030, 0x80ffffff}},
        {"1 bit, no table", QImage::Format_Mono, {}},
        {"1 bit, one colour", QImage::Format_MonoLSB, {0xffff0000}},
    };
    for (const Case &c : cases) {
        SCOPED_TRACE(c.name);
        QImage texture(16, 16, c.format);
        texture.setColorTable(c.table);
        for (int y = 0; y < texture.height(); ++y) {
            for (int i = 0; i < texture.bytesPerLine(); ++i) {
                texture.scanLine(y)[i] = uchar(y * 16 + i);
            }
        }
        const QImage converted = texture.convertToFormat(QImage::Format_ARGB32);
        QImage expected;
        std::srand(3);
        background.buildBackgroundImageBase(source, expected, converted, rect);
        QImage out;
        std::srand(3);
        background.buildBackgroundImageBase(source, out, texture, rect);
        ASSERT_EQ(out.size(), QSize(64, 48));
        EXPECT_EQ(out, expected);
    }
}

TEST(BackgroundBase, IsNullForRectanglesWithoutWholePixels)
{
    Recorder background;
    const QImage source = wallpaper(100, 100, 4);
    for (const QRectF &rect :
         {QRectF(0, 0, 0, 50), QRectF(0, 0, 50, 0), QRectF(0, 0, 0.4, 0.4), QRectF()}) {
        QImage out(4, 4, QImage::Format_RGB32);
        background.buildBackgroundImageBase(
            source, out, BriskoVitrelBackground::backgroundTexture(), rect);
        EXPECT_TRUE(out.isNull()) << rect.x() << "," << rect.y() << " " << rect.width() << "x"
                                  << rect.height();
    }
    EXPECT_TRUE(background.processedSizes.isEmpty());
}

TEST(Wallpaper, IsBlurredTonedAndSaturated)
{
    BriskoVitrelBackground background;
    QImage image = wallpaper(80, 90, 6);
    QImage expected = image.copy();
    background.processAppWallpaper(&image);
    background.blur(&expected);
    background.curves(&expected);
    background.saturate(&expected);
    EXPECT_EQ(image, expected);
}

TEST(CacheHash, FollowsTheStoredFileNames)
{
    struct
    {
        QString text;
        quint32 hash;
    } const cases[] = {
        {QString(), 0},
        {QStringLiteral("a"), 0x61},
        {QStringLiteral("ab"), 0x672},
        {QStringLiteral("abcdefgh"), 0x89ab038},
        // 0x89ab0380 + 'i' has its top nibble folded back as 0x100.
        {QStringLiteral("abcdefghi"), 0x9ab02e9},
        {QStringLiteral("/usr/share/backgrounds/meadow.jpg"), 0xddc8867},
        {QString::fromUtf8("/home/user/MyDocs/Pictures/Schnee \xc3\xa9.jpg"), 0xb5f8c07},
        // Two UTF-16 code units for one character.
        {QString::fromUtf8("/home/user/\xf0\x9f\x98\x80.png"), 0xddaa47},
    };
    for (const auto &c : cases) {
        EXPECT_EQ(backgroundCacheHash(c.text), c.hash) << c.text.toStdString();
    }
}

TEST(Portrait, WritesTheCachedJpegUnderTheOutputDirectory)
{
    qk::TempDir dir;
    const QString output = qs(dir.file("cache/backgrounds"));
    BriskoVitrelBackground background(output);
    EXPECT_TRUE(QFileInfo(output).isDir());
    EXPECT_EQ(background.outputPath(), output);
    EXPECT_TRUE(background.appImagePath().isEmpty());

    const QImage image = wallpaper(540, 960, 7);
    const QString source = QStringLiteral("/usr/share/backgrounds/meadow.jpg");
    BriskoVitrelBackground *result = BriskoVitrelBackground::buildBackgroundImageForPortrait(
        &background,
        image,
        source,
        BriskoVitrelBackground::backgroundTexture(),
        QRectF(0, 0, 540, 960));
    EXPECT_EQ(result, &background);
    const QString expected = output + QStringLiteral("/ddc8867ap.jpg");
    EXPECT_EQ(background.appImagePath(), expected);

    QFile file(expected);
    ASSERT_TRUE(file.open(QIODevice::ReadOnly));
    const QByteArray jpeg = file.readAll();
    EXPECT_TRUE(jpeg.startsWith("\xff\xd8\xff"));
    EXPECT_EQ(luminanceTable(jpeg), luminanceTableAtQuality95());
    QImageReader reader(expected);
    EXPECT_EQ(reader.format(), QByteArray("jpeg"));
    EXPECT_EQ(reader.size(), QSize(540, 960));
    EXPECT_EQ(QDir(output).entryList(QDir::Files), QStringList(QStringLiteral("ddc8867ap.jpg")));
}

TEST(Portrait, OverwritesTheFileOfTheSameSource)
{
    qk::TempDir dir;
    BriskoVitrelBackground background(qs(dir.path()));
    const QImage image = wallpaper(400, 400, 8);
    BriskoVitrelBackground::buildBackgroundImageForPortrait(
        &background, image, QStringLiteral("a"), QImage(), QRectF(0, 0, 200, 300));
    const QString first = background.appImagePath();
    EXPECT_EQ(first, qs(dir.path()) + QStringLiteral("/61ap.jpg"));
    EXPECT_EQ(QImageReader(first).size(), QSize(200, 300));

    BriskoVitrelBackground::buildBackgroundImageForPortrait(
        &background, image, QStringLiteral("a"), QImage(), QRectF(0, 0, 100, 150));
    EXPECT_EQ(background.appImagePath(), first);
    // The reduced copy is 25 x 38, so the height comes back as 152.
    EXPECT_EQ(QImageReader(first).size(), QSize(100, 152));
    EXPECT_EQ(QDir(qs(dir.path())).entryList(QDir::Files).size(), 1);
}

TEST(Portrait, NullImageWritesNothing)
{
    qk::TempDir dir;
    BriskoVitrelBackground background(qs(dir.path()));
    BriskoVitrelBackground::buildBackgroundImageForPortrait(
        &background, wallpaper(100, 100, 9), QStringLiteral("ab"), QImage(), QRectF(0, 0, 50, 50));
    ASSERT_FALSE(background.appImagePath().isEmpty());
    const QString before = background.appImagePath();
    ASSERT_TRUE(QFile::remove(before));

    EXPECT_EQ(BriskoVitrelBackground::buildBackgroundImageForPortrait(
                  &background, QImage(), QStringLiteral("abc"), QImage(), QRectF(0, 0, 50, 50)),
              &background);
    EXPECT_EQ(background.appImagePath(), before);
    EXPECT_TRUE(QDir(qs(dir.path())).entryList(QDir::Files).isEmpty());
}

TEST(Portrait, DefaultObjectNamesItsFileInTheRootDirectory)
{
    const passwd *nobody = getpwnam("nobody");
    if (geteuid() != 0 || !nobody) {
        GTEST_SKIP() << "needs root and the user nobody";
    }
    const QImage image = wallpaper(80, 80, 11);
    // As nobody, so that the root directory cannot be written.
    const pid_t child = fork();
    ASSERT_GE(child, 0);
    if (child == 0) {
        if (setgroups(0, nullptr) != 0 || setgid(nobody->pw_gid) != 0
            || setuid(nobody->pw_uid) != 0) {
            _exit(3);
        }
        BriskoVitrelBackground background;
        BriskoVitrelBackground::buildBackgroundImageForPortrait(
            &background, image, QStringLiteral("ab"), QImage(), QRectF(0, 0, 40, 40));
        if (!background.outputPath().isEmpty()) {
            _exit(4);
        }
        _exit(background.appImagePath() == QLatin1String("/672ap.jpg") ? 0 : 5);
    }
    int status = 0;
    ASSERT_EQ(waitpid(child, &status, 0), child);
    ASSERT_TRUE(WIFEXITED(status));
    EXPECT_EQ(WEXITSTATUS(status), 0);
    EXPECT_FALSE(QFileInfo::exists(QStringLiteral("/672ap.jpg")));
}

TEST(OutputDirectory, FailureWarnsAndLeavesTheToneCurveNeutral)
{
    qk::TempDir dir;
    qk::writeFile(dir.file("file"), "a file where a directory should be");
    const QString output = qs(dir.file("file/backgrounds"));
    MessageCapture capture;
    Probe background(output);
    EXPECT_EQ(capture.messages(),
              QStringList(QStringLiteral("Could not create directory \"%1\"").arg(output)));
    EXPECT_EQ(background.outputPath(), output);
    EXPECT_TRUE(std::isnan(background.whiteLevel()));

    // Until a level is set, every value maps to itself.
    QImage image(2, 1, QImage::Format_RGB32);
    image.setPixel(0, 0, 0xffffffff);
    image.setPixel(1, 0, 0xff804020);
    background.curves(&image);
    EXPECT_EQ(image.pixel(0, 0), 0xffffffffu);
    EXPECT_EQ(image.pixel(1, 0), 0xff804020u);

    // Building still names the file; writing it fails without a word.
    EXPECT_EQ(BriskoVitrelBackground::buildBackgroundImageForPortrait(&background,
                                                                      wallpaper(100, 100, 10),
                                                                      QStringLiteral("a"),
                                                                      QImage(),
                                                                      QRectF(0, 0, 60, 60)),
              &background);
    EXPECT_EQ(background.appImagePath(), output + QStringLiteral("/61ap.jpg"));
    EXPECT_FALSE(QFile::exists(background.appImagePath()));
    EXPECT_EQ(capture.messages().size(), 1);

    background.setWhiteLevel(0.4);
    EXPECT_EQ(background.curveEntry(255), 102);
}

TEST(OutputDirectory, WarningQuotesThePathAsItIs)
{
    qk::TempDir dir;
    qk::writeFile(dir.file("file"), "a file where a directory should be");
    for (const char *name : {"plain", "say \"cheese\"", "back\\slash", "\\\"", "caf\xc3\xa9 %1"}) {
        const QString output = qs(dir.file("file")) + QLatin1Char('/') + QString::fromUtf8(name);
        MessageCapture capture;
        Probe background(output);
        EXPECT_EQ(capture.messages(),
                  QStringList(QStringLiteral("Could not create directory \"") + output
                              + QLatin1Char('"')))
            << name;
    }
}

TEST(OutputDirectory, RelativeAndExistingPathsNeedNoWarning)
{
    qk::TempDir dir;
    char *previous = getcwd(nullptr, 0);
    ASSERT_EQ(chdir(dir.path().c_str()), 0);
    {
        MessageCapture capture;
        Probe relative(QStringLiteral("a/b"));
        Probe existing(qs(dir.path()));
        Probe current {QString()};
        EXPECT_TRUE(capture.messages().isEmpty()) << capture.messages().join("\n").toStdString();
        EXPECT_EQ(current.whiteLevel(), 0.4);
        EXPECT_EQ(existing.whiteLevel(), 0.4);
    }
    EXPECT_TRUE(QFileInfo(qs(dir.file("a/b"))).isDir());
    EXPECT_FALSE(QFileInfo::exists(qs(dir.file("a/b/a"))));
    EXPECT_EQ(chdir(previous), 0);
    std::free(previous);
}

TEST(OutputDirectory, WithoutPermissionTheExampleStillRunsAndSaysSo)
{
    if (geteuid() != 0) {
        GTEST_SKIP() << "needs root to drop privileges";
    }
    qk::TempDir dir;
    ASSERT_EQ(chmod(dir.path().c_str(), 0755), 0);
    const QString path = savedWallpaper(dir, "wallpaper.png", 120, 160);
    ASSERT_EQ(chmod(path.toLocal8Bit().constData(), 0644), 0);
    qk::RunOptions options;
    options.dropPrivileges = true;
    const std::string output = dir.file("out");
    const qk::RunResult result
        = qk::run({EXAMPLE_PATH, path.toStdString(), output, "60", "80"}, options);
    const uint hash = backgroundCacheHash(path);
    const std::string file = output + "/" + QString::number(hash, 16).toStdString() + "ap.jpg";
    EXPECT_EQ(result.status, 1);
    EXPECT_EQ(result.err,
              "Could not create directory \"" + output + "\"\n" + EXAMPLE_PATH + ": cannot write "
                  + file + "\n");
    EXPECT_FALSE(QFileInfo::exists(qs(output)));
}

TEST(Example, TurnsAWallpaperIntoABackground)
{
    qk::TempDir dir;
    const QString path = savedWallpaper(dir, "wallpaper.jpg", 1080, 1920);
    const std::string output = dir.file("out");
    const qk::RunResult result = qk::run({EXAMPLE_PATH, path.toStdString(), output});
    const std::string file
        = output + "/" + QString::number(backgroundCacheHash(path), 16).toStdString() + "ap.jpg";
    EXPECT_EQ(result.status, 0) << result.err;
    EXPECT_EQ(result.out, file + "\n");
    EXPECT_EQ(QImageReader(qs(file)).size(), QSize(540, 960));
}
