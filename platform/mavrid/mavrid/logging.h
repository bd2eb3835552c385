// SPDX-License-Identifier: GPL-2.0-or-later
#pragma once

#include <QString>

class QByteArray;
class QIODevice;

// Levels of log records. Only 1 to 4 are ever written; 0 marks records meant
// for test runs, which the log drops.
enum MavridLogLevel {
    MavridLogTest = 0,
    MavridLogDebug = 1,
    MavridLogInfo = 2,
    MavridLogWarning = 3,
    MavridLogCritical = 4
};

/*
 * One log record. Text inserted with << is collected while the record lives
 * and written as one line when it is destroyed:
 *
 *   [W] source:line function: text
 *
 * A record writes only when the log is initialized, has an output device,
 * the level lies in 1..4 and is at least outputLevel; otherwise inserted text
 * is dropped.
 */
class MavridLogger
{
public:
    MavridLogger(const char *function, const char *file, int line, MavridLogLevel level);
    ~MavridLogger();

    MavridLogger &operator<<(const QString &text);
    MavridLogger &operator<<(const QByteArray &text);
    MavridLogger &operator<<(const char *text);
    MavridLogger &operator<<(int value);
    MavridLogger &operator<<(unsigned int value);
    MavridLogger &operator<<(qint64 value);
    MavridLogger &operator<<(quint64 value);
    MavridLogger &operator<<(double value);

    // Routes records to output (not owned; null closes the log) and sets
    // the least level written.
    static void init(QIODevice *output, int level);
    static void close();

    static bool initialized;
    static int outputLevel;

private:
    Q_DISABLE_COPY(MavridLogger)

    QIODevice *m_output;
    QString m_text;
};
