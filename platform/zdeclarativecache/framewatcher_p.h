// SPDX-License-Identifier: GPL-2.0-or-later
#pragma once

#include <QObject>
#include <QString>

class QQuickWidget;

namespace ZDeclarativeCacheTrace {
qint64 now();
void write(const QString &line);
}

// Notes the first frame a handed-out view shows, for the trace, the grab and
// the exit that the environment asks for.
class FrameWatcher : public QObject
{
    Q_OBJECT
public:
    static void watch(QQuickWidget *view);

protected:
    bool eventFilter(QObject *watched, QEvent *event) override;

private:
    explicit FrameWatcher(QQuickWidget *view);
    void firstFrame();

    QQuickWidget *m_view;
    QString m_grabPath;
    int m_exitCode = -1;
    bool m_rendered = false;
    bool m_done = false;
};
