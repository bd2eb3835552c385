// SPDX-License-Identifier: GPL-2.0-or-later
// launchprobe: preloaded (LD_PRELOAD) into the launcher daemon, whose booster
// processes inherit it, or into an application started directly. It stands
// in front of the cache library's three functions and reports, from inside
// the process, whether the application took the objects that the warm-up
// made, and what its view showed first. Environment, read when it is used:
//
//   LAUNCHPROBE_TRACE=FILE       lines appended to FILE:
//                                  "application reused" or "application new"
//                                  "view reused" or "view new"
//                                  "first-frame NS" (monotonic nanoseconds),
//                                  then the view's geometry, window state,
//                                  resize mode and paint attributes
//                                  "property NAME=VALUE" for each name below
//                                  "grabbed FILE WxH" or "grab failed FILE"
//   LAUNCHPROBE_PROPERTIES=A,B   root object properties listed at the frame
//   LAUNCHPROBE_GRAB=FILE        the first frame, as PNG
//   LAUNCHPROBE_EXIT_AFTER_FRAME=N  ends the event loop with N after it
//
// "Reused" means the very object (still alive) that existed when the
// warm-up's populate() returned, that is before any launch request.
#include <zdeclarativecache.h>

#include <QApplication>
#include <QCoreApplication>
#include <QEvent>
#include <QFile>
#include <QImage>
#include <QList>
#include <QPointer>
#include <QQuickItem>
#include <QQuickWidget>
#include <QQuickWindow>
#include <QStringList>
#include <QTextStream>
#include <QTimer>
#include <QVariant>

#include <ctime>
#include <dlfcn.h>

namespace {

QPointer<QCoreApplication> s_warmApplication;
QList<QPointer<QQuickWidget>> s_warmViews;

qint64 monotonicNs()
{
    timespec ts;
    clock_gettime(CLOCK_MONOTONIC, &ts);
    return qint64(ts.tv_sec) * 1000000000 + ts.tv_nsec;
}

void trace(const QString &line)
{
    const QString path = qEnvironmentVariable("LAUNCHPROBE_TRACE");
    if (path.isEmpty()) {
        return;
    }
    QFile file(path);
    if (file.open(QIODevice::WriteOnly | QIODevice::Append)) {
        QTextStream(&file) << line << '\n';
    }
}

// The cache library's own definition of the function that this one hides.
template <typename Function> Function next(const char *mangledName)
{
    void *symbol = dlsym(RTLD_NEXT, mangledName);
    if (!symbol) {
        qFatal("launchprobe: no %s after the probe: %s", mangledName, dlerror());
    }
    return reinterpret_cast<Function>(symbol);
}

// Acts once the first frame is on screen: the first paint after the scene
// was rendered.
class FrameWatcher : public QObject
{
public:
    explicit FrameWatcher(QQuickWidget *view)
        : QObject(view)
        , m_view(view)
    {
        connect(
            view->quickWindow(),
            &QQuickWindow::afterRendering,
            this,
            [this] { m_rendered = true; },
            Qt::DirectConnection);
        view->installEventFilter(this);
    }

protected:
    bool eventFilter(QObject *watched, QEvent *event) override
    {
        if (watched == m_view && event->type() == QEvent::Paint && m_rendered && !m_done) {
            m_done = true;
            QTimer::singleShot(0, this, [this] { firstFrame(); });
        }
        return QObject::eventFilter(watched, event);
    }

private:
    void firstFrame();

    QQuickWidget *m_view;
    bool m_rendered = false;
    bool m_done = false;
};

void FrameWatcher::firstFrame()
{
    trace(QStringLiteral("first-frame %1").arg(monotonicNs()));
    trace(
        QStringLiteral(
            "view at %1,%2 size %3x%4 fullscreen=%5 resizeMode=%6 opaquePaint=%7 noSystemBackground=%8")
            .arg(m_view->x())
            .arg(m_view->y())
            .arg(m_view->width())
            .arg(m_view->height())
            .arg(int(m_view->isFullScreen()))
            .arg(int(m_view->resizeMode()))
            .arg(int(m_view->testAttribute(Qt::WA_OpaquePaintEvent)))
            .arg(int(m_view->testAttribute(Qt::WA_NoSystemBackground))));
    const QStringList names = qEnvironmentVariable("LAUNCHPROBE_PROPERTIES")
                                  .split(QLatin1Char(','), Qt::SkipEmptyParts);
    for (const QString &name : names) {
        const QVariant value = m_view->rootObject()
            ? m_view->rootObject()->property(name.toLatin1().constData())
            : QVariant();
        trace(QStringLiteral("property %1=%2")
                  .arg(name, value.isValid() ? value.toString() : QStringLiteral("(none)")));
    }
    const QString grabPath = qEnvironmentVariable("LAUNCHPROBE_GRAB");
    if (!grabPath.isEmpty()) {
        const QImage image = m_view->grabFramebuffer();
        if (!image.isNull() && image.save(grabPath, "PNG")) {
            trace(QStringLiteral("grabbed %1 %2x%3")
                      .arg(grabPath)
                      .arg(image.width())
                      .arg(image.height()));
        } else {
            trace(QStringLiteral("grab failed %1").arg(grabPath));
        }
    }
    bool ok = false;
    const int code = qEnvironmentVariableIntValue("LAUNCHPROBE_EXIT_AFTER_FRAME", &ok);
    if (ok) {
        QCoreApplication::exit(code);
    }
}

} // namespace

QQuickWidget *ZDeclarativeCache::populate()
{
    static const auto real = next<QQuickWidget *(*)()>("_ZN17ZDeclarativeCache8populateEv");
    QQuickWidget *view = real();
    // What exists now was made before any request; Qt's own lists say so,
    // whatever the cache returned.
    s_warmApplication = QCoreApplication::instance();
    s_warmViews.clear();
    for (QWidget *widget : QApplication::topLevelWidgets()) {
        if (QQuickWidget *warm = qobject_cast<QQuickWidget *>(widget)) {
            s_warmViews.append(warm);
        }
    }
    return view;
}

QApplication *ZDeclarativeCache::qApplication(int &argc, char **argv)
{
    static const auto real
        = next<QApplication *(*)(int &, char **)>("_ZN17ZDeclarativeCache12qApplicationERiPPc");
    QApplication *application = real(argc, argv);
    const bool reused = application && s_warmApplication == application;
    trace(reused ? QStringLiteral("application reused") : QStringLiteral("application new"));
    return application;
}

QQuickWidget *ZDeclarativeCache::qDeclarativeView()
{
    static const auto real
        = next<QQuickWidget *(*)()>("_ZN17ZDeclarativeCache16qDeclarativeViewEv");
    QQuickWidget *view = real();
    const bool reused = view && s_warmViews.contains(QPointer<QQuickWidget>(view));
    trace(reused ? QStringLiteral("view reused") : QStringLiteral("view new"));
    if (view) {
        new FrameWatcher(view);
    }
    return view;
}
