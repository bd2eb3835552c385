// SPDX-License-Identifier: GPL-2.0-or-later
// Test helpers: a view into the object's state, and a capture of the
// toolkit's warnings.
#ifndef BACKGROUND_TESTS_PROBE_H
#define BACKGROUND_TESTS_PROBE_H

#include "briskovitrelbackground.h"

#include <QtCore/QStringList>
#include <QtCore/QtGlobal>

#include <ostream>

// Readable failure messages for the toolkit's values.
inline void PrintTo(const QSize &size, std::ostream *out)
{
    *out << size.width() << "x" << size.height();
}

inline void PrintTo(const QString &text, std::ostream *out)
{
    *out << '"' << text.toStdString() << '"';
}

inline void PrintTo(const QImage &image, std::ostream *out)
{
    *out << "image " << image.width() << "x" << image.height() << " format " << image.format();
    if (!image.isNull()) {
        *out << std::hex << " first 0x" << image.pixel(0, 0) << " last 0x"
             << image.pixel(image.width() - 1, image.height() - 1) << std::dec;
    }
}

class Probe : public BriskoVitrelBackground
{
public:
    using BriskoVitrelBackground::BriskoVitrelBackground;

    int curveEntry(int k) const { return m_curveTable[k]; }
    void setCurveEntry(int k, int value) { m_curveTable[k] = uchar(value); }
    double whiteLevel() const { return m_whiteLevel; }
    int blurPasses() const { return m_blurPasses; }
};

// Collects the messages written through the toolkit's channels while it
// lives.
class MessageCapture
{
public:
    MessageCapture() { m_previous = qInstallMessageHandler(&MessageCapture::handle); }
    ~MessageCapture()
    {
        qInstallMessageHandler(m_previous);
        s_messages.clear();
    }
    MessageCapture(const MessageCapture &) = delete;
    MessageCapture &operator=(const MessageCapture &) = delete;

    QStringList messages() const { return s_messages; }

private:
    static void handle(QtMsgType, const QMessageLogContext &, const QString &message)
    {
        s_messages.append(message);
    }

    QtMessageHandler m_previous;
    static inline QStringList s_messages;
};

#endif // BACKGROUND_TESTS_PROBE_H
