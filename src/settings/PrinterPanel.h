#pragma once

#include <QGroupBox>

class QComboBox;

namespace store {
class Store;
}

// 打印机: the printer this desk prints on. The first entry leaves it to the system (its default
// printer, or the only one, or a question at the first print when there are several); the
// others name an installed printer, kept in this desk's 设置.dat with the window's values.
class PrinterPanel : public QGroupBox
{
    Q_OBJECT
public:
    PrinterPanel(store::Store& store, QWidget* parent);

    QComboBox* printerList = nullptr;

    // Shows the kept printer among the installed ones (a kept one no longer installed is still
    // shown, so confirming unchanged keeps it).
    void load();
    // Keeps the chosen printer unless it is the one load() showed; false when it could not be
    // written.
    bool save();

private:
    QString chosen() const;

    store::Store& m_store;
    QString m_shown;
};
