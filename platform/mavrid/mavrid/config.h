// SPDX-License-Identifier: GPL-2.0-or-later
#pragma once

#include <QHash>
#include <QString>
#include <QVariant>

/*
 * The daemon's configuration: keys of the form "group/name" read from one
 * file. The file has lines "name=value" under "[group]" headers (lines
 * before any header give keys without a group); blank lines and lines
 * starting with "#" or ";" are ignored; names and values are trimmed.
 */
class Config
{
public:
    static Config *configuration();

    // Replaces every key with those of the file; false when it cannot be
    // read, which leaves no key set.
    bool load(const QString &path);
    void clear();

    // The value as a string variant, or an invalid variant for an absent key.
    QVariant value(const QString &key) const;

private:
    Config() = default;
    Q_DISABLE_COPY(Config)

    QHash<QString, QString> m_values;
};
