// SPDX-License-Identifier: GPL-2.0-or-later
#include "config.h"

#include <QFile>

Config *Config::configuration()
{
    static Config config;
    return &config;
}

bool Config::load(const QString &path)
{
    clear();
    QFile file(path);
    if (!file.open(QIODevice::ReadOnly | QIODevice::Text)) {
        return false;
    }
    QString group;
    while (!file.atEnd()) {
        const QString line = QString::fromUtf8(file.readLine()).trimmed();
        if (line.isEmpty() || line.startsWith(QLatin1Char('#'))
            || line.startsWith(QLatin1Char(';'))) {
            continue;
        }
        if (line.startsWith(QLatin1Char('[')) && line.endsWith(QLatin1Char(']'))) {
            group = line.mid(1, line.size() - 2).trimmed();
            continue;
        }
        const int equals = line.indexOf(QLatin1Char('='));
        if (equals <= 0) {
            continue;
        }
        const QString name = line.left(equals).trimmed();
        const QString key = group.isEmpty() ? name : group + QLatin1Char('/') + name;
        m_values.insert(key, line.mid(equals + 1).trimmed());
    }
    return true;
}

void Config::clear()
{
    m_values.clear();
}

QVariant Config::value(const QString &key) const
{
    const auto it = m_values.constFind(key);
    if (it == m_values.constEnd()) {
        return QVariant();
    }
    return QVariant(it.value());
}
