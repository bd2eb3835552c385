// SPDX-License-Identifier: GPL-2.0-or-later
#pragma once

class QApplication;
class QQuickWidget;

// Pre-created toolkit objects for QML applications. A booster fills the
// cache before any launch; an application started in the boosted process
// then takes the warmed objects instead of creating its own.
//
// For tests and measurements, the view that is handed out reads three
// environment variables: ZDECLARATIVECACHE_TRACE names a file to which the
// cache appends what it handed out and when the view showed its first frame,
// ZDECLARATIVECACHE_GRAB names a PNG file that receives the first frame, and
// ZDECLARATIVECACHE_EXIT_AFTER_FRAME=N ends the event loop with N after it.
// With the trace, the first frame also records the view's geometry, window
// state, resize mode and paint attributes, and the values of the root
// object's properties named, comma-separated, in
// ZDECLARATIVECACHE_TRACE_PROPERTIES.
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
