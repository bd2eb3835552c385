// SPDX-License-Identifier: GPL-2.0-or-later
#include "framewatcher_p.h"

#include <QCoreApplication>
#include <QEvent>
#include <QImage>
#include <QQuickWidget>
#include <QQuickWindow>
#include <QTimer>

void FrameWatcher::watch(QQuickWidget *view)
{
    if (qEnvironmentVariableIsEmpty("ZDECLARATIVECACHE_TRACE")
        && qEnvironmentVariableIsEmpty("ZDECLARATIVECACHE_GRAB")
        && qEnvironmentVariableIsEmpty("ZDECLARATIVECACHE_EXIT_AFTER_FRAME")) {
        return;
    }
    new FrameWatcher(view);
}

FrameWatcher::FrameWatcher(QQuickWidget *view)
    : QObject(view)
    , m_view(view)
    , m_grabPath(qEnvironmentVariable("ZDECLARATIVECACHE_GRAB"))
{
    bool ok = false;
    const int code = qEnvironmentVariableIntValue("ZDECLARATIVECACHE_EXIT_AFTER_FRAME", &ok);
    if (ok) {
        m_exitCode = code;
    }
    connect(view->quickWindow(), &QQuickWindow::afterRendering, this,
            [this] { m_rendered = true; }, Qt::DirectConnection);
    view->installEventFilter(this);
}

bool FrameWatcher::eventFilter(QObject *watched, QEvent *event)
{
    // The first paint after the scene was rendered puts the frame on screen;
    // act once that paint is over.
    if (watched == m_view && event->type() == QEvent::Paint && m_rendered && !m_done) {
        m_done = true;
        QTimer::singleShot(0, this, &FrameWatcher::firstFrame);
    }
    return QObject::eventFilter(watched, event);
}

void FrameWatcher::firstFrame()
{
    ZDeclarativeCacheTrace::write(QStringLiteral("first-frame %1").arg(ZDeclarativeCacheTrace::now()));
    if (!m_grabPath.isEmpty()) {
        const QImage image = m_view->grabFramebuffer();
        if (!image.isNull() && image.save(m_grabPath, "PNG")) {
            ZDeclarativeCacheTrace::write(QStringLiteral("grabbed %1 %2x%3")
                                              .arg(m_grabPath).arg(image.width()).arg(image.height()));
        } else {
            ZDeclarativeCacheTrace::write(QStringLiteral("grab failed %1").arg(m_grabPath));
        }
    }
    if (m_exitCode >= 0) {
        QCoreApplication::exit(m_exitCode);
    }
}
