// SPDX-License-Identifier: GPL-2.0-or-later
#pragma once

class QApplication;
class QQuickWidget;

// Pre-created toolkit objects for QML applications. A booster fills the
// cache before any launch; an application started in the boosted process
// then takes the warmed objects instead of creating its own.
class ZDeclarativeCache
{
public:
    // Creates the application object and the view ahead of any launch and
    // returns the view, whose engine the caller may use; the cache keeps
    // ownership until the objects are handed out.
    static QQuickWidget *populate();

    // The application object for this command line: the cached one, now
    // reporting argc/argv as its arguments, when the process was boosted,
    // otherwise a new one. The caller owns it; argc must outlive it.
    static QApplication *qApplication(int &argc, char **argv);

    // The view: the cached one when the process was boosted, otherwise a new
    // one. The caller owns it.
    static QQuickWidget *qDeclarativeView();
};
