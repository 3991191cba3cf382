#pragma once

#include <QMainWindow>

namespace store {
class Store;
}

class MainWindow : public QMainWindow
{
    Q_OBJECT
public:
    explicit MainWindow(store::Store& store, QWidget* parent = nullptr);

signals:
    // Closing the main window ends the program.
    void quitRequested();

protected:
    void closeEvent(QCloseEvent* event) override;

private:
    store::Store& m_store;
};
