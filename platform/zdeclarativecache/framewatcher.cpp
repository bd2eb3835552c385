// SPDX-License-Identifier: GPL-2.0-or-later
#include "framewatcher_p.h"

#include <QCoreApplication>
#include <QEvent>
#include <QImage>
#include <QQuickItem>
#include <QQuickWidget>
#include <QPoint>
#include <QSize>
#include <QStringList>
#include <QVariant>
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
    const QPoint pos = m_view->pos();
    const QSize size = m_view->size();
    ZDeclarativeCacheTrace::write(QStringLiteral("view at %1,%2 size %3x%4 fullscreen=%5 resizeMode=%6 "
                                                 "opaquePaint=%7 noSystemBackground=%8")
                                      .arg(pos.x()).arg(pos.y()).arg(size.width()).arg(size.height())
                                      .arg(int(m_view->isFullScreen()))
                                      .arg(int(m_view->resizeMode()))
                                      .arg(int(m_view->testAttribute(Qt::WA_OpaquePaintEvent)))
                                      .arg(int(m_view->testAttribute(Qt::WA_NoSystemBackground))));
    const QStringList names = qEnvironmentVariable("ZDECLARATIVECACHE_TRACE_PROPERTIES")
                                  .split(QLatin1Char(','), Qt::SkipEmptyParts);
    for (const QString &name : names) {
        const QVariant value = m_view->rootObject() ? m_view->rootObject()->property(name.toLatin1().constData())
                                                    : QVariant();
        ZDeclarativeCacheTrace::write(QStringLiteral("property %1=%2")
                                          .arg(name, value.isValid() ? value.toString() : QStringLiteral("(none)")));
    }
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
