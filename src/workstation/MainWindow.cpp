#include "workstation/MainWindow.h"

#include <QCloseEvent>

MainWindow::MainWindow(store::Store& store, QWidget* parent)
    : QMainWindow(parent)
    , m_store(store)
{
    setObjectName(QStringLiteral("MainWindow"));
    setWindowTitle(QStringLiteral("Qarvel V2.0"));
    resize(1024, 700);
}

void MainWindow::closeEvent(QCloseEvent* event)
{
    event->accept();
    emit quitRequested();
}
