// SPDX-License-Identifier: GPL-2.0-or-later
// The component gallery: shows the UI component set, full screen on the
// device or, with -desktop, as a window reading its QML beside the program.
#include <zdeclarativecache.h>

#include <QApplication>
#include <QDebug>
#include <QDir>
#include <QGuiApplication>
#include <QPoint>
#include <QQuickItem>
#include <QQuickWidget>
#include <QRect>
#include <QScreen>
#include <QStringList>
#include <QUrl>

namespace {

QRect screenGeometry(int screen)
{
    const QList<QScreen *> screens = QGuiApplication::screens();
    return screen < screens.size() ? screens.at(screen)->geometry() : QRect();
}

} // namespace

// Exported, so that a booster can enter the gallery in its own process.
Q_DECL_EXPORT int main(int argc, char **argv)
{
    QApplication *application = ZDeclarativeCache::qApplication(argc, argv);
    QQuickWidget *view = ZDeclarativeCache::qDeclarativeView();

    const QStringList arguments = QCoreApplication::arguments();
    const bool desktop = arguments.contains(QStringLiteral("-desktop"));
    const QString directory = desktop ? QCoreApplication::applicationDirPath() + QDir::separator()
                                      : QStringLiteral("/usr/share/vitrelcomponentgallery/");
    view->setSource(QUrl::fromLocalFile(directory + QStringLiteral("componentgallery.qml")));

    int status = 1;
    if (view->status() == QQuickWidget::Error) {
        qWarning() << "Unable to read main qml file";
    } else {
        if (desktop) {
            if (QQuickItem *root = view->rootObject()) {
                root->setProperty("_desktop", true);
            }
            view->setResizeMode(QQuickWidget::SizeRootObjectToView);
            if (arguments.contains(QStringLiteral("-openInSecondScreen"))) {
                view->move(screenGeometry(1).topLeft() + QPoint(100, 100));
            }
            view->show();
        } else {
            // The scene covers the whole screen: nothing below it needs painting.
            view->setAttribute(Qt::WA_OpaquePaintEvent, true);
            view->setAttribute(Qt::WA_NoSystemBackground, true);
            view->showFullScreen();
        }
        status = application->exec();
    }

    delete view;
    delete application;
    return status;
}
