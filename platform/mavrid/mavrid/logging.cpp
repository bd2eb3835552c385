// SPDX-License-Identifier: GPL-2.0-or-later
#include "logging.h"

#include <QByteArray>
#include <QIODevice>

bool MavridLogger::initialized = false;
int MavridLogger::outputLevel = MavridLogWarning;

namespace {

QIODevice *logOutput = nullptr;

char levelLetter(int level)
{
    static const char letters[] = "TDIWC";
    return letters[level];
}

} // namespace

MavridLogger::MavridLogger(const char *function, const char *file, int line, MavridLogLevel level)
    : m_output(nullptr)
{
    if (!initialized || !logOutput || level < MavridLogDebug || level > MavridLogCritical
        || level < outputLevel) {
        return;
    }
    m_output = logOutput;
    m_text = QStringLiteral("[%1] %2:%3 %4: ")
                 .arg(QLatin1Char(levelLetter(level)))
                 .arg(QLatin1String(file))
                 .arg(line)
                 .arg(QLatin1String(function));
}

MavridLogger::~MavridLogger()
{
    if (!m_output) {
        return;
    }
    m_text += QLatin1Char('\n');
    m_output->write(m_text.toUtf8());
}

MavridLogger &MavridLogger::operator<<(const QString &text)
{
    if (m_output) {
        m_text += text;
    }
    return *this;
}

MavridLogger &MavridLogger::operator<<(const QByteArray &text)
{
    if (m_output) {
        m_text += QString::fromLatin1(text);
    }
    return *this;
}

MavridLogger &MavridLogger::operator<<(const char *text)
{
    if (m_output) {
        m_text += QLatin1String(text);
    }
    return *this;
}

MavridLogger &MavridLogger::operator<<(int value)
{
    if (m_output) {
        m_text += QString::number(value);
    }
    return *this;
}

MavridLogger &MavridLogger::operator<<(unsigned int value)
{
    if (m_output) {
        m_text += QString::number(value);
    }
    return *this;
}

MavridLogger &MavridLogger::operator<<(qint64 value)
{
    if (m_output) {
        m_text += QString::number(value);
    }
    return *this;
}

MavridLogger &MavridLogger::operator<<(quint64 value)
{
    if (m_output) {
        m_text += QString::number(value);
    }
    return *this;
}

MavridLogger &MavridLogger::operator<<(double value)
{
    if (m_output) {
        m_text += QString::number(value);
    }
    return *this;
}

void MavridLogger::init(QIODevice *output, int level)
{
    logOutput = output;
    outputLevel = level;
    initialized = output != nullptr;
}

void MavridLogger::close()
{
    logOutput = nullptr;
    initialized = false;
}
