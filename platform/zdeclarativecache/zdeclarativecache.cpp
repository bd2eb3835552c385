// SPDX-License-Identifier: GPL-2.0-or-later
#include "zdeclarativecache.h"

#include <QApplication>
#include <QFileInfo>
#include <QQuickWidget>

namespace {

// QCoreApplication keeps a reference to argc and the argv pointer it was
// built with; the cached application is built on this storage so that a
// boosted launch can give it the application's own command line.
const int MaxArguments = 1024;
int s_argc = 0;
char *s_argv[MaxArguments + 1];
char s_placeholderName[] = "zdeclarativecache";

QApplication *s_application = nullptr;
QQuickWidget *s_view = nullptr;

} // namespace

QQuickWidget *ZDeclarativeCache::populate()
{
    if (!s_application && !QCoreApplication::instance()) {
        s_argc = 1;
        s_argv[0] = s_placeholderName;
        s_argv[1] = nullptr;
        s_application = new QApplication(s_argc, s_argv);
    }
    if (!s_view) {
        s_view = new QQuickWidget;
    }
    return s_view;
}

QApplication *ZDeclarativeCache::qApplication(int &argc, char **argv)
{
    if (!s_application) {
        return new QApplication(argc, argv);
    }
    s_argc = qMin(argc, MaxArguments);
    for (int i = 0; i < s_argc; ++i) {
        s_argv[i] = argv[i];
    }
    s_argv[s_argc] = nullptr;
    if (s_argc > 0) {
        QCoreApplication::setApplicationName(QFileInfo(QString::fromLocal8Bit(argv[0])).fileName());
    }
    QApplication *application = s_application;
    s_application = nullptr;
    return application;
}

QQuickWidget *ZDeclarativeCache::qDeclarativeView()
{
    QQuickWidget *view = s_view;
    s_view = nullptr;
    return view ? view : new QQuickWidget;
}
