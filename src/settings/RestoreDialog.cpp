#include "settings/RestoreDialog.h"

#include "common/Busy.h"
#include "common/Clock.h"
#include "common/Log.h"
#include "common/MessageBox.h"
#include "store/Store.h"

#include <QDir>
#include <QHBoxLayout>
#include <QLabel>
#include <QListWidget>
#include <QPushButton>
#include <QVBoxLayout>

namespace {

const QString title = QStringLiteral("从备份恢复");

QString dayText(const store::BackupDay& day, bool counted)
{
    const QString date = day.day.toString(QStringLiteral("yyyy-MM-dd"));
    if (!counted)
        return date + QStringLiteral("    正在统计…");
    return day.records < 0 ? date + QStringLiteral("    （病历文件无法打开）")
                           : date + QStringLiteral("    %1 条病历").arg(day.records);
}

} // namespace

RestoreDialog::RestoreDialog(store::Store& store, QWidget* parent)
    : QDialog(parent)
    , m_store(store)
{
    setObjectName(QStringLiteral("RestoreDialog"));
    setWindowTitle(title);
    setAttribute(Qt::WA_DeleteOnClose);

    List1 = new QListWidget(this);
    List1->setObjectName(QStringLiteral("List1"));
    Command1 = new QPushButton(QStringLiteral("恢 复"), this);
    Command1->setObjectName(QStringLiteral("Command1"));
    Command2 = new QPushButton(QStringLiteral("取 消"), this);
    Command2->setObjectName(QStringLiteral("Command2"));

    m_days = store::listBackupDays(store.programFolder());
    m_counted.assign(m_days.size(), false);
    for (const store::BackupDay& day : m_days)
        List1->addItem(dayText(day, false));
    if (!m_days.empty())
        List1->setCurrentRow(0);
    Command1->setEnabled(!m_days.empty());

    auto* buttons = new QHBoxLayout;
    buttons->addStretch();
    buttons->addWidget(Command1);
    buttons->addWidget(Command2);
    auto* layout = new QVBoxLayout(this);
    layout->addWidget(new QLabel(m_days.empty() ? QStringLiteral("还没有备份。") : QStringLiteral("请选择要恢复的备份日期："), this));
    layout->addWidget(List1, 1);
    layout->addLayout(buttons);
    resize(360, 320);

    connect(Command1, &QPushButton::clicked, this, &RestoreDialog::restore);
    connect(Command2, &QPushButton::clicked, this, &QDialog::reject);
    startCounting();
}

RestoreDialog::~RestoreDialog()
{
    stopCounting();
}

void RestoreDialog::startCounting()
{
    std::vector<size_t> rows;
    std::vector<QString> folders;
    for (size_t row = 0; row < m_days.size(); ++row) {
        if (!m_counted[row]) {
            rows.push_back(row);
            folders.push_back(m_days[row].folder);
        }
    }
    if (folders.empty())
        return;
    m_counting = store::countInBackground(std::move(folders), [this, rows](size_t index, qint64 records) {
        QMetaObject::invokeMethod(this, [this, row = rows[index], records] { showCount(row, records); }, Qt::QueuedConnection);
    });
}

void RestoreDialog::stopCounting()
{
    m_counting.request_stop();
    if (m_counting.joinable())
        m_counting.join();
}

void RestoreDialog::showCount(size_t row, qint64 records)
{
    m_days[row].records = records;
    m_counted[row] = true;
    List1->item(int(row))->setText(dayText(m_days[row], true));
}

void RestoreDialog::restore()
{
    const int row = List1->currentRow();
    if (row < 0 || size_t(row) >= m_days.size())
        return;
    // A copy: counts still arriving write into the list while the restore reads the day.
    const store::BackupDay day = m_days[size_t(row)];
    const QDateTime now = Clock::now();
    const QString aside = QDir::toNativeSeparators(QDir(store::backupRoot(m_store.programFolder()))
        .filePath(QStringLiteral("恢复前-") + now.toString(QStringLiteral("yyyy-MM-dd-HHmmss"))));
    if (!MessageBox::okCancel(this, title,
                              QStringLiteral("确实要用 %1 的备份替换现在的数据吗？\n现在的两个数据库文件会先保存到 %2。")
                                  .arg(day.day.toString(QStringLiteral("yyyy-MM-dd")), aside)))
        return;
    // Copying and checking files of hundreds of megabytes takes seconds. The store is closed
    // here and the counting let go of the backups first, so the copying thread is the only one
    // near the files. The count of a large file takes a moment to finish, behind the progress.
    m_store.close();
    QString why;
    bool ok = false;
    runWithProgress(QStringLiteral("正在恢复备份…"), [&] {
        stopCounting();
        ok = store::restoreBackup(m_store, day, now, &why);
    });
    if (!ok) {
        MessageBox::information(this, title, QStringLiteral("没有恢复：%1。").arg(why), MessageBox::Exclamation);
        startCounting();
        // A restore stopped halfway may have replaced a file: what was read is out of date too.
        emit restored();
        return;
    }
    qCInfo(lcSettings) << "restored the backup of" << day.day;
    MessageBox::information(this, title,
                            QStringLiteral("已恢复 %1 的备份。恢复前的文件保存在 %2。\n请重新启动程序。")
                                .arg(day.day.toString(QStringLiteral("yyyy-MM-dd")), aside));
    emit restored();
    accept();
}
