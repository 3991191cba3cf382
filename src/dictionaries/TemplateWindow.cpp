#include "dictionaries/TemplateWindow.h"

#include "common/Log.h"
#include "common/MessageBox.h"
#include "common/Text.h"
#include "common/Window.h"
#include "pinyin/Pinyin.h"
#include "store/PrescriptionTemplates.h"

#include <QFormLayout>
#include <QGridLayout>
#include <QHBoxLayout>
#include <QLabel>
#include <QLineEdit>
#include <QListWidget>
#include <QPlainTextEdit>
#include <QPushButton>
#include <QVBoxLayout>

using dictionaries::ListFiller;
using dictionaries::button;
using dictionaries::listBox;
using dictionaries::makeLabel;
using dictionaries::textBox;

QString TemplateWindow::caption() { return QStringLiteral("协定处方"); }

QString TemplateWindow::toBoxText(const QString& stored)
{
    QString text = stored;
    text.replace(QStringLiteral("\r\n"), QStringLiteral("\n"));
    // The last line's break is the store's, not a line of its own.
    if (text.endsWith(QLatin1Char('\n')))
        text.chop(1);
    return text;
}

QString TemplateWindow::toStoredText(const QString& box)
{
    QString text = box;
    text.replace(QStringLiteral("\r\n"), QStringLiteral("\n"));
    while (text.endsWith(QLatin1Char('\n')))
        text.chop(1);
    if (text.isEmpty())
        return text;
    // Every line ends with CR LF, as a drug pick leaves it.
    text.replace(QLatin1Char('\n'), QStringLiteral("\r\n"));
    return text + QStringLiteral("\r\n");
}

TemplateWindow::TemplateWindow(store::Store& store, QWidget* parent)
    : QWidget(parent, Qt::Window)
    , m_store(store)
{
    setObjectName(QStringLiteral("FormTemplates"));
    setWindowTitle(caption());
    setAttribute(Qt::WA_DeleteOnClose);

    List1 = listBox("List1", this);
    Text1 = textBox("Text1", this);
    Text3 = textBox("Text3", this);
    Text5 = textBox("Text5", this);
    Text6 = new QPlainTextEdit(this);
    Text6->setObjectName(QStringLiteral("Text6"));
    Text6->setTabChangesFocus(true);
    Command2 = button(QStringLiteral("保  存"), "Command2", this);
    Command3 = button(QStringLiteral("删  除"), "Command3", this);
    setTabChain({Text1, List1, Text3, Text5, Text6, Command2, Command3});

    auto* boxes = new QFormLayout;
    boxes->addRow(makeLabel(QStringLiteral("协定名称："), "Label1", this), Text3);
    boxes->addRow(makeLabel(QStringLiteral("拼音代码："), "Label3", this), Text5);
    boxes->addRow(makeLabel(QStringLiteral("处方内容："), "Label2", this), Text6);
    auto* buttons = new QHBoxLayout;
    buttons->addStretch();
    buttons->addWidget(Command2);
    buttons->addWidget(Command3);
    auto* right = new QVBoxLayout;
    right->addLayout(boxes, 1);
    right->addLayout(buttons);
    right->addWidget(makeLabel(QStringLiteral("在处方界面点“存为协定方”，把当前处方存为协定处方；\n"
                                              "开处方时在药品拼音框输入拼音代码即可调用。"),
                               "Label4", this));

    auto* searchRow = new QHBoxLayout;
    searchRow->addWidget(makeLabel(QStringLiteral("拼音查询："), "Label6", this));
    searchRow->addWidget(Text1);
    auto* layout = new QGridLayout(this);
    layout->addWidget(List1, 0, 0);
    layout->addLayout(searchRow, 1, 0);
    layout->addLayout(right, 0, 1, 2, 1);
    layout->setColumnStretch(0, 2);
    layout->setColumnStretch(1, 3);

    m_filler = std::make_unique<ListFiller>(List1, m_store, store::TemplateTable);

    connect(Text1, &QLineEdit::textChanged, this, &TemplateWindow::search);
    // The key follows the name as it is typed, and can then be changed by hand.
    connect(Text3, &QLineEdit::textEdited, this, [this](const QString& name) { Text5->setText(PinyinInitials(name)); });
    connect(List1, &QListWidget::itemSelectionChanged, this, [this] {
        const QList<QListWidgetItem*> selected = List1->selectedItems();
        if (!selected.isEmpty())
            pick(selected.first());
    });
    connect(List1, &QListWidget::itemClicked, this, &TemplateWindow::pick);
    connect(Command2, &QPushButton::clicked, this, &TemplateWindow::save);
    connect(Command3, &QPushButton::clicked, this, &TemplateWindow::remove);

    resize(QSize(680, 460).expandedTo(sizeHint()));
    centreOnScreen(this);

    m_filler->fill(store::statements::allTemplates(), ListFiller::Yield::No);
    if (List1->count() > 0)
        List1->setCurrentRow(0);
    Text1->setFocus();
}

TemplateWindow::~TemplateWindow() = default;

void TemplateWindow::search()
{
    m_filler->fill(store::statements::templatesByInitials(Text1->text()), ListFiller::Yield::WhileFilling);
}

void TemplateWindow::pick(QListWidgetItem* item)
{
    const std::optional<qint64> id = dictionaries::rowIdOf(item);
    if (!id)
        return;
    const std::vector<store::TemplateEntry> found =
        store::readTemplates(m_store.dictionaries(), store::statements::rowWithId(store::TemplateTable, *id), 1);
    if (found.empty()) {
        qCWarning(lcDictionaries) << "template row" << *id << "could not be read";
        return;
    }
    pickedRow = id;
    Text3->setText(found.front().name);
    Text5->setText(found.front().initials);
    Text6->setPlainText(toBoxText(found.front().text));
}

void TemplateWindow::clearBoxes()
{
    Text3->clear();
    Text5->clear();
    Text6->clear();
}

bool TemplateWindow::refuse(const store::TemplateEntry& entry)
{
    QString message;
    QWidget* fault = Text3;
    const store::Refusal refusal = store::checkRow(store::TemplateTable, entry.toRow());
    const std::optional<store::TemplateEntry> namesake = store::templateNamed(m_store.dictionaries(), entry.name);
    if (trimBlanks(entry.name).isEmpty()) {
        message = QStringLiteral("协定名称不能为空。");
    } else if (refusal && refusal.fieldName == QStringLiteral("名称")) {
        message = QStringLiteral("协定名称超过 50 个字，未保存。");
    } else if (refusal && refusal.fieldName == QStringLiteral("拼音")) {
        fault = Text5;
        message = refusal.kind == store::Refusal::Empty ? QStringLiteral("拼音代码不能为空。")
                                                        : QStringLiteral("拼音代码超过 50 个字符，未保存。");
    } else if (refusal) {
        fault = Text6;
        message = QStringLiteral("处方内容不能为空。");
    } else if (namesake && namesake->rowId != entry.rowId) {
        message = QStringLiteral("已有名为“%1”的协定处方，未保存。").arg(entry.name);
    } else {
        return false;
    }
    qCWarning(lcDictionaries) << "template row refused:" << message;
    MessageBox::information(this, caption(), message);
    fault->setFocus();
    return true;
}

void TemplateWindow::save()
{
    if (!pickedRow) {
        qCWarning(lcDictionaries) << "template save with no row picked: nothing stored";
        return;
    }
    if (trimBlanks(Text5->text()).isEmpty())
        Text5->setText(PinyinInitials(Text3->text()));
    const store::TemplateEntry entry{*pickedRow, Text3->text(), Text5->text(), toStoredText(Text6->toPlainText())};
    if (refuse(entry))
        return;
    if (!store::Store::updateRow(m_store.dictionaries(), store::TemplateTable, *pickedRow, entry.toRow())) {
        qCWarning(lcDictionaries) << "template row" << *pickedRow << "not stored";
        MessageBox::information(this, caption(), m_store.notWritten(QStringLiteral("协定处方未保存。")), MessageBox::Exclamation);
        return;
    }
    const qint64 saved = *pickedRow;
    m_filler->fill(store::statements::templatesByInitials(Text1->text()), ListFiller::Yield::No);
    for (int i = 0; i < List1->count(); ++i)
        if (dictionaries::rowIdOf(List1->item(i)) == saved)
            List1->setCurrentRow(i);
}

void TemplateWindow::remove()
{
    if (!pickedRow) {
        qCWarning(lcDictionaries) << "template delete with no row picked: nothing deleted";
        return;
    }
    if (!MessageBox::yesNo(this, caption(), QStringLiteral("确实要删除协定处方“%1”吗？").arg(Text3->text())))
        return;
    const store::Deleted deleted =
        store::Store::deleteFirst(m_store.dictionaries(), store::statements::rowWithId(store::TemplateTable, *pickedRow));
    if (deleted == store::Deleted::Failed) {
        MessageBox::information(this, caption(), m_store.notWritten(QStringLiteral("协定处方未删除。")), MessageBox::Exclamation);
        return;
    }
    pickedRow.reset();
    const ListFiller::Outcome outcome =
        m_filler->fill(store::statements::templatesByInitials(Text1->text()), ListFiller::Yield::WhileFilling);
    if (outcome == ListFiller::Outcome::Gone)
        return;
    clearBoxes();
}
