#pragma once

#include <QGroupBox>
#include <optional>

class QLineEdit;
class QPushButton;

namespace store {
class Store;
}

// 多机共享: the libpq connection string of the clinic's server, which keeps the patient records,
// the password and the dictionaries of every desk; empty for this desk's own files. The string
// is stored with the window's other values and used from the next start on. The buttons act on
// the string as typed: whether it connects, making the tables on a new server, and copying this
// desk's files up to it once.
class SharingPanel : public QGroupBox
{
    Q_OBJECT
public:
    SharingPanel(store::Store& store, QWidget* parent);

    QLineEdit* Text9 = nullptr;      // connection string
    QPushButton* Command3 = nullptr; // 测试连接
    QPushButton* Command4 = nullptr; // 初始化服务器
    QPushButton* Command5 = nullptr; // 上传本机数据

    // Shows the stored string; the box keeps its text when the file cannot be read.
    void load();
    // Stores the typed string unless it is the one load() showed; false when it could not be
    // written.
    bool save();

private:
    void testConnection();
    void initialize();
    void upload();
    // The typed string, or std::nullopt after telling the user an empty one names no server.
    std::optional<QString> typedServer();
    // The box's string with the password it stands for in place of the mask; without one when
    // the mask stands for the password file's.
    QString actual() const;
    // Shows a typed password as the mask, keeping it for actual().
    void hidePassword();
    void tell(const QString& text, bool failed);

    store::Store& m_store;
    QString m_shown;    // what load() left in the box
    QString m_password; // typed, shown as the mask
};
