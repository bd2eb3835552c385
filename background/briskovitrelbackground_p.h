// SPDX-License-Identifier: GPL-2.0-or-later
#ifndef BRISKOVITRELBACKGROUND_P_H
#define BRISKOVITRELBACKGROUND_P_H

#include <QtCore/QString>

// The hash that names cached background files. Files already on devices are
// named with it, so it must never change: it is the string hash of the
// earlier toolkit generation, which the current qHash() no longer gives.
quint32 backgroundCacheHash(const QString &text);

#endif // BRISKOVITRELBACKGROUND_P_H
