#include "common/Busy.h"

#include <QApplication>
#include <QEventLoop>
#include <QProgressDialog>
#include <QThread>
#include <QTimer>
#include <memory>

void runWithProgress(const QString& text, const std::function<void()>& work, int showAfterMs)
{
    QProgressDialog dialog(text, QString(), 0, 0);
    dialog.setObjectName(QStringLiteral("progress"));
    dialog.setWindowTitle(QApplication::applicationName());
    dialog.setWindowModality(Qt::ApplicationModal);
    dialog.setCancelButton(nullptr);
    dialog.setMinimumDuration(0);
    QTimer later;
    later.setSingleShot(true);
    QObject::connect(&later, &QTimer::timeout, &dialog, &QWidget::show);

    QEventLoop loop;
    std::unique_ptr<QThread> thread(QThread::create(work));
    QObject::connect(thread.get(), &QThread::finished, &loop, &QEventLoop::quit, Qt::QueuedConnection);
    thread->start();
    later.start(showAfterMs);
    // Input stays out: the user cannot start anything while the work runs.
    if (!thread->isFinished())
        loop.exec(QEventLoop::ExcludeUserInputEvents);
    thread->wait();
}
