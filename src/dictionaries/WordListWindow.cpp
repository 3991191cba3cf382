#include "dictionaries/WordListWindow.h"

#include "common/Window.h"
#include "common/Log.h"
#include "common/MessageBox.h"
#include "common/Text.h"
#include "pinyin/Pinyin.h"

#include <QGridLayout>
#include <QHBoxLayout>
#include <QLabel>
#include <QLineEdit>
#include <QListWidget>
#include <QMenu>
#include <QMouseEvent>
#include <QPushButton>
#include <QVBoxLayout>

using dictionaries::ListFiller;
using dictionaries::button;
using dictionaries::listBox;
using dictionaries::makeLabel;
using dictionaries::initialsBox;
using dictionaries::textBox;

WordListWindow::WordListWindow(Kind kind, store::Store& store, QWidget* parent)
    : QWidget(parent, Qt::Window)
    , m_kind(kind)
    , m_store(store)
{
    const bool diagnosis = kind == Kind::Diagnosis;
    setObjectName(diagnosis ? QStringLiteral("Form3") : QStringLiteral("Form4"));
    setWindowTitle(caption());
    setAttribute(Qt::WA_DeleteOnClose);

    Text1 = initialsBox("Text1", this);
    List1 = listBox("List1", this);
    Text3 = textBox("Text3", this);
    Text5 = initialsBox("Text5", this);
    Command2 = button(QStringLiteral("添  加"), "Command2", this);
    Command1 = button(QStringLiteral("退  出"), "Command1", this);

    // The two windows came to differ in focus order, and users of each are used to their own.
    if (diagnosis)
        setTabChain({Text1, List1, Text3, Command2, Text5, Command1});
    else
        setTabChain({Command2, Text3, List1, Text1, Text5, Command1});

    auto* searchRow = new QHBoxLayout;
    searchRow->addWidget(makeLabel(QStringLiteral("拼音查询："), "Label1", this));
    searchRow->addWidget(Text1);
    auto* boxes = new QGridLayout;
    boxes->addWidget(makeLabel(diagnosis ? QStringLiteral("诊断名称：") : QStringLiteral("地址名称："), "Label2", this), 0, 0);
    boxes->addWidget(Text3, 0, 1);
    boxes->addWidget(Command2, 0, 2);
    boxes->addWidget(makeLabel(QStringLiteral("拼音代码："), "Label3", this), 1, 0);
    boxes->addWidget(Text5, 1, 1);
    boxes->addWidget(Command1, 1, 2);
    auto* layout = new QVBoxLayout(this);
    layout->addLayout(searchRow);
    layout->addWidget(List1, 1);
    layout->addLayout(boxes);

    pu = dictionaries::deleteMenu(this, &WordListWindow::remove);
    List1->viewport()->installEventFilter(this);
    Text3->installEventFilter(this);

    m_filler = std::make_unique<ListFiller>(List1, m_store, table());

    // A click on a row only selects it; nothing is loaded into the boxes.
    connect(Text1, &QLineEdit::textChanged, this, &WordListWindow::search);
    connect(Text3, &QLineEdit::textChanged, this, [this](const QString& name) { Text5->setText(PinyinInitials(name)); });
    connect(Command2, &QPushButton::clicked, this, &WordListWindow::add);
    connect(Command1, &QPushButton::clicked, this, &WordListWindow::close);

    resize(QSize(400, 460).expandedTo(sizeHint()));
    centreOnScreen(this);

    m_filler->fill(diagnosis ? store::statements::allDiagnoses() : store::statements::allAddresses(),
                   ListFiller::Yield::No);
    (diagnosis ? static_cast<QWidget*>(Text1) : Command2)->setFocus();
}

WordListWindow::~WordListWindow() = default;

QString WordListWindow::caption() const
{
    return m_kind == Kind::Diagnosis ? QStringLiteral("诊断名称维护") : QStringLiteral("地址名称维护");
}

const store::Table& WordListWindow::table() const
{
    return m_kind == Kind::Diagnosis ? store::DiagnosisTable : store::AddressTable;
}

store::Select WordListWindow::searchStatement() const
{
    return m_kind == Kind::Diagnosis ? store::statements::diagnosesByInitials(Text1->text())
                                     : store::statements::addressesByInitials(Text1->text());
}

bool WordListWindow::wantsMenu() const { return List1->count() > 0; }

bool WordListWindow::eventFilter(QObject* watched, QEvent* event)
{
    if (watched == Text3 && isEnterKey(event)) {
        add();
        return true;
    }
    if (watched == List1->viewport() && event->type() == QEvent::MouseButtonRelease) {
        const auto* mouse = static_cast<QMouseEvent*>(event);
        if (mouse->button() == Qt::RightButton && wantsMenu()) {
            pu->popup(mouse->globalPosition().toPoint());
            return true;
        }
    }
    return QWidget::eventFilter(watched, event);
}

void WordListWindow::search()
{
    m_filler->fill(searchStatement(), ListFiller::Yield::WhileFilling);
}

bool WordListWindow::refuse(const store::DictionaryEntry& entry)
{
    const QString what = m_kind == Kind::Diagnosis ? QStringLiteral("诊断名称") : QStringLiteral("地址名称");
    QString message;
    QLineEdit* fault = Text3;
    if (trimBlanks(Text3->text()).isEmpty()) {
        message = what + QStringLiteral("不能为空。");
    } else if (const store::Refusal refusal = store::checkRow(table(), entry.toRow(table()))) {
        if (refusal.fieldName == QStringLiteral("拼音")) {
            fault = Text5;
            message = refusal.kind == store::Refusal::Empty ? QStringLiteral("拼音代码不能为空。")
                                                            : QStringLiteral("拼音代码超过 50 个字符，未添加。");
        } else {
            message = refusal.kind == store::Refusal::Empty ? what + QStringLiteral("不能为空。")
                                                            : what + QStringLiteral("超过 50 个字符，未添加。");
        }
    } else {
        return false;
    }
    qCWarning(lcDictionaries) << tableName(table()) << "row refused:" << message;
    MessageBox::information(this, caption(), message);
    fault->setFocus();
    return true;
}

void WordListWindow::add()
{
    // Only an exactly empty key box takes the name; a key of blanks (a Latin name) is kept.
    if (Text5->text().isEmpty())
        Text5->setText(Text3->text());
    store::DictionaryEntry entry;
    entry.name = Text3->text();
    entry.initials = Text5->text();
    if (refuse(entry))
        return;

    const std::optional<qint64> id = store::Store::insert(m_store.dictionaries(), table(), entry.toRow(table()));
    if (!id) {
        // The boxes keep what was typed, so the entry can be added once the file can be written.
        qCWarning(lcDictionaries) << tableName(table()) << "entry not added:" << entry.name;
        MessageBox::information(this, caption(), m_store.notWritten(QStringLiteral("未添加。")), MessageBox::Exclamation);
        return;
    }
    entry.rowId = *id;
    // Shown at the end of whatever the list holds, search result or not, so the user sees it went in.
    List1->setCurrentItem(dictionaries::appendEntry(List1, entry));
    Text3->clear();
    Text5->clear();
    Text3->setFocus();
}

void WordListWindow::remove()
{
    const QList<QListWidgetItem*> selected = List1->selectedItems();
    const std::optional<qint64> id = dictionaries::rowIdOf(selected.value(0));
    if (!id) {
        qCWarning(lcDictionaries) << "delete with no row selected: nothing deleted";
        return;
    }
    const store::Deleted deleted = store::Store::deleteFirst(m_store.dictionaries(), store::statements::rowWithId(table(), *id));
    if (deleted == store::Deleted::Failed) {
        // The row is still in the file, so it stays in the list, still selected.
        qCWarning(lcDictionaries) << tableName(table()) << "row" << *id << "not deleted: the file cannot be written";
        MessageBox::information(this, caption(), m_store.notWritten(QStringLiteral("未删除。")), MessageBox::Exclamation);
        return;
    }
    if (deleted == store::Deleted::None)
        qCWarning(lcDictionaries) << tableName(table()) << "row" << *id << "not deleted: it is gone";
    m_filler->fill(searchStatement(), ListFiller::Yield::No);
}
