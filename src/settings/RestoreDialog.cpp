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

QString dayText(const store::BackupDay& day)
{
    const QString date = day.day.toString(QStringLiteral("yyyy-MM-dd"));
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

    m_days = store::backupDays(store.programFolder());
    for (const store::BackupDay& day : m_days)
        List1->addItem(dayText(day));
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
}

void RestoreDialog::restore()
{
    const int row = List1->currentRow();
    if (row < 0 || size_t(row) >= m_days.size())
        return;
    const store::BackupDay& day = m_days[size_t(row)];
    const QDateTime now = Clock::now();
    const QString aside = QDir::toNativeSeparators(QDir(store::backupRoot(m_store.programFolder()))
        .filePath(QStringLiteral("恢复前-") + now.toString(QStringLiteral("yyyy-MM-dd-HHmmss"))));
    if (!MessageBox::okCancel(this, title,
                              QStringLiteral("确实要用 %1 的备份替换现在的数据吗？\n现在的两个数据库文件会先保存到 %2。")
                                  .arg(day.day.toString(QStringLiteral("yyyy-MM-dd")), aside)))
        return;
    // Copying and checking files of hundreds of megabytes takes seconds. The store is closed
    // here, so the copying thread is the only one near the files.
    m_store.close();
    QString why;
    bool ok = false;
    runWithProgress(QStringLiteral("正在恢复备份…"), [&] { ok = store::restoreBackup(m_store, day, now, &why); });
    if (!ok) {
        MessageBox::information(this, title, QStringLiteral("没有恢复：%1。").arg(why), MessageBox::Exclamation);
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
