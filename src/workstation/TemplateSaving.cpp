// 存为协定方, kept apart from the rest of the main window: what the command asks and stores.

#include "workstation/MainWindow.h"

#include "common/Log.h"
#include "common/MessageBox.h"
#include "common/Text.h"
#include "dictionaries/TemplateWindow.h"
#include "pinyin/Pinyin.h"
#include "store/PrescriptionTemplates.h"
#include "workstation/DrugPanel.h"
#include "workstation/PrescriptionSheet.h"

#include <QStatusBar>

void MainWindow::saveAsTemplate()
{
    const QString title = QStringLiteral("存为协定方");
    auto tell = [this, &title](const QString& message) {
        qCWarning(lcWorkstation) << "template not saved:" << message;
        MessageBox::information(this, title, message, MessageBox::Exclamation);
    };
    if (!m_sheet->isVisible()) {
        qCWarning(lcWorkstation) << "save as template with no sheet shown: nothing to keep";
        return;
    }
    const QString lines = TemplateWindow::toStoredText(m_sheet->prescriptionBox()->text());
    if (trimBlanks(lines).trimmed().isEmpty()) {
        tell(QStringLiteral("处方内容为空，不能存为协定方。"));
        return;
    }
    const std::optional<QString> typed =
        MessageBox::askText(this, title, QStringLiteral("协定处方名称："), m_sheet->box(4)->text());
    if (!typed)
        return;
    const store::TemplateEntry entry{0, *typed, PinyinInitials(*typed), lines};
    if (trimBlanks(entry.name).isEmpty()) {
        tell(QStringLiteral("协定名称不能为空，未保存。"));
        return;
    }
    if (const store::Refusal refusal = store::checkRow(store::TemplateTable, entry.toRow())) {
        tell(refusal.fieldName == QStringLiteral("拼音") ? QStringLiteral("拼音代码超过 50 个字符，未保存。")
                                                       : QStringLiteral("协定名称超过 50 个字，未保存。"));
        return;
    }
    store::Connection* db = m_store.dictionaries();
    if (store::templateNamed(db, entry.name)
        && !MessageBox::yesNo(this, title, QStringLiteral("已有名为“%1”的协定处方，要用当前处方替换它吗？").arg(entry.name)))
        return;
    if (!store::saveTemplate(db, entry)) {
        tell(m_store.notWritten(QStringLiteral("协定处方未保存。")));
        return;
    }
    statusBar()->showMessage(QStringLiteral("已存为协定处方“%1”（拼音代码 %2）").arg(entry.name, entry.initials), 5000);
    // The drug list shows the new template as soon as its initials are typed again.
    m_drugs->fillDrugList(m_drugs->drugBox()->text());
}
