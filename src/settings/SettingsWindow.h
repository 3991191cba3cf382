#pragma once

#include <QWidget>
#include <array>

class QCloseEvent;
class QGroupBox;
class QLineEdit;
class PrinterPanel;
class QPushButton;
class SharingPanel;

namespace store {
class Store;
}

// Form5: clinic name, doctor, dispenser, the four print offsets, the desk's printer, the login
// password and the clinic's shared server.
// Constructing the window is loading it: the boxes are filled from the store at once, whether
// the window is then shown or only read by others. It unloads itself (closes and is deleted)
// after a confirm that stored everything, or by its close box, which stores nothing.
class SettingsWindow : public QWidget
{
    Q_OBJECT
public:
    explicit SettingsWindow(store::Store& store, QWidget* parent = nullptr);

    QGroupBox* Frame1 = nullptr;
    QGroupBox* Frame2 = nullptr;
    SharingPanel* Frame3 = nullptr; // 多机共享
    PrinterPanel* printerPanel = nullptr; // 打印机
    QLineEdit* Text1 = nullptr; // 名称
    QLineEdit* Text2 = nullptr; // 医生
    QLineEdit* Text3 = nullptr; // 配药
    QLineEdit* Text4 = nullptr; // prescription left offset
    QLineEdit* Text5 = nullptr; // prescription top offset
    QLineEdit* Text6 = nullptr; // injection card left offset
    QLineEdit* Text7 = nullptr; // injection card top offset
    QLineEdit* Text8 = nullptr; // login password
    QPushButton* Command1 = nullptr;
    QPushButton* Command2 = nullptr; // 从备份恢复

signals:
    // The window is closing and will be deleted shortly; its texts no longer count as the
    // program's current settings from this moment on.
    void unloaded();

protected:
    void closeEvent(QCloseEvent* event) override;

private:
    void load();
    void confirm();
    void openRestore();

    store::Store& m_store;
    std::array<QLineEdit*, 8> m_boxes{}; // Text1..Text8
};
