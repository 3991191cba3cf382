#pragma once

#include "store/Backup.h"

#include <QDialog>
#include <thread>
#include <vector>

class QListWidget;
class QPushButton;

namespace store {
class Store;
}

// 从备份恢复: the backup days with the number of patient records each holds, newest first. The
// days show at once; their records are counted on a thread of its own and filled in as they
// come, since a year of backups of a large clinic takes seconds to count. The chosen day is
// restored after the user confirms; the files in use are first copied aside into
// 数据库备份/恢复前-yyyy-mm-dd-hhmmss, so a restore never loses anything.
class RestoreDialog : public QDialog
{
    Q_OBJECT
public:
    explicit RestoreDialog(store::Store& store, QWidget* parent = nullptr);
    ~RestoreDialog() override;

    QListWidget* List1 = nullptr;
    QPushButton* Command1 = nullptr; // 恢复
    QPushButton* Command2 = nullptr; // 取消

signals:
    // The files in use were replaced: whatever was read from them is out of date.
    void restored();

private:
    void restore();
    void startCounting();
    void stopCounting();
    void showCount(size_t row, qint64 records);

    store::Store& m_store;
    std::vector<store::BackupDay> m_days;
    std::vector<bool> m_counted;
    // Posts each count to this dialog, so it is stopped before the dialog goes.
    std::jthread m_counting;
};
