#include "dictionaries/DrugCatalogWindow.h"

#include "common/Window.h"
#include "common/Log.h"
#include "common/MessageBox.h"
#include "common/Text.h"
#include "formats/DrugEntryText.h"
#include "pinyin/Pinyin.h"

#include <QEvent>
#include <QFormLayout>
#include <QGridLayout>
#include <QGroupBox>
#include <QHBoxLayout>
#include <QKeyEvent>
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

namespace {

struct Phrase {
    int index;
    const char16_t* text;
};

// Left to right in the bar; the index is the label's place in Label5.
constexpr Phrase phrases[] = {
    {0, u"mg"},  {2, u"ml"},  {17, u"×"}, {9, u"#"},    {13, u"tid"}, {5, u"bid"},
    {16, u"qd"}, {7, u"qid"}, {10, u"qn"}, {11, u"qod"}, {12, u"prn"}, {14, u"HS"},
};

const QString helpText = QStringLiteral("1、静脉药品仅填写名称，不需填写用法用量。\n\n"
                                        "如：药品名称：青霉素针 960万\n\n"
                                        "2、口服及其他药品填写格式：\n\n"
                                        "如：药品名称：阿莫西林片 0.25×24\n\n"
                                        "     用法用量：0.5 tid");

} // namespace

QString DrugCatalogWindow::caption() { return QStringLiteral("药品维护"); }

DrugCatalogWindow::DrugCatalogWindow(store::Store& store, QWidget* parent)
    : QWidget(parent, Qt::Window)
    , m_store(store)
{
    setObjectName(QStringLiteral("Form2"));
    setWindowTitle(caption());
    setAttribute(Qt::WA_DeleteOnClose);

    // Created in focus order: 添加, name, usage, 保存, list, then key, search and 删除.
    Frame1 = new QGroupBox(QStringLiteral("添加药品"), this);
    Frame1->setObjectName(QStringLiteral("Frame1"));
    Command1 = button(QStringLiteral("添  加"), "Command1", Frame1);
    Text3 = textBox("Text3", Frame1);
    Text4 = textBox("Text4", Frame1);
    Command2 = button(QStringLiteral("保  存"), "Command2", Frame1);
    List1 = listBox("List1", this);
    Text5 = initialsBox("Text5", Frame1);
    Text1 = initialsBox("Text1", this);
    Command3 = button(QStringLiteral("删  除"), "Command3", Frame1);
    setTabChain({Command1, Text3, Text4, Command2, List1, Text5, Text1, Command3});

    auto* boxes = new QFormLayout;
    boxes->addRow(makeLabel(QStringLiteral("药品名称："), "Label1", Frame1), Text3);
    boxes->addRow(makeLabel(QStringLiteral("用法用量："), "Label2", Frame1), Text4);
    boxes->addRow(makeLabel(QStringLiteral("拼音代码："), "Label3", Frame1), Text5);
    auto* buttons = new QHBoxLayout;
    buttons->addWidget(Command1);
    buttons->addWidget(Command2);
    buttons->addWidget(Command3);
    auto* frameLayout = new QVBoxLayout(Frame1);
    frameLayout->addLayout(boxes);
    frameLayout->addLayout(buttons);

    Label4 = makeLabel(helpText, "Label4", this);
    Label4->setWordWrap(true);
    Label4->setAlignment(Qt::AlignLeft | Qt::AlignTop);

    Picture3 = new QFrame(this);
    Picture3->setObjectName(QStringLiteral("Picture3"));
    Picture3->setFrameShape(QFrame::StyledPanel);
    auto* bar = new QHBoxLayout(Picture3);
    bar->setContentsMargins(6, 4, 6, 4);
    bar->setSpacing(10);
    for (const Phrase& phrase : phrases) {
        auto* label = new QLabel(QString::fromUtf16(phrase.text), Picture3);
        label->setObjectName(QStringLiteral("Label5_%1").arg(phrase.index));
        label->setCursor(Qt::PointingHandCursor);
        label->installEventFilter(this);
        bar->addWidget(label);
        Label5[size_t(phrase.index)] = label;
    }
    bar->addStretch();

    auto* searchRow = new QHBoxLayout;
    searchRow->addWidget(makeLabel(QStringLiteral("拼音查询："), "Label6", this));
    searchRow->addWidget(Text1);

    auto* layout = new QGridLayout(this);
    layout->addWidget(List1, 0, 0, 2, 1);
    layout->addLayout(searchRow, 2, 0);
    layout->addWidget(Frame1, 0, 1);
    layout->addWidget(Label4, 1, 1);
    layout->addWidget(Picture3, 2, 1);
    layout->setColumnStretch(0, 1);
    layout->setColumnStretch(1, 1);
    layout->setRowStretch(1, 1);

    pu = dictionaries::deleteMenu(this, &DrugCatalogWindow::remove);
    List1->viewport()->installEventFilter(this);
    Text3->installEventFilter(this);
    Text4->installEventFilter(this);

    m_filler = std::make_unique<ListFiller>(List1, m_store, store::DrugTable);

    connect(Text1, &QLineEdit::textChanged, this, &DrugCatalogWindow::search);
    connect(Text3, &QLineEdit::textChanged, this, [this](const QString& name) { Text5->setText(PinyinInitials(name)); });
    // A pick follows the selection, whether set by mouse, arrow keys or the window itself; a
    // click on the row already selected loads it again (the boxes may have been edited since).
    connect(List1, &QListWidget::itemSelectionChanged, this, [this] {
        const QList<QListWidgetItem*> selected = List1->selectedItems();
        if (!selected.isEmpty())
            pick(selected.first());
    });
    connect(List1, &QListWidget::itemClicked, this, &DrugCatalogWindow::pick);
    connect(Command1, &QPushButton::clicked, this, &DrugCatalogWindow::add);
    connect(Command2, &QPushButton::clicked, this, &DrugCatalogWindow::save);
    connect(Command3, &QPushButton::clicked, this, &DrugCatalogWindow::remove);

    resize(QSize(680, 460).expandedTo(sizeHint()));
    centreOnScreen(this);

    // Opens in edit mode with the first row picked.
    m_filler->fill(store::statements::allDrugs(), ListFiller::Yield::No);
    if (List1->count() > 0)
        List1->setCurrentRow(0);
    Command1->setFocus();
}

DrugCatalogWindow::~DrugCatalogWindow() = default;

bool DrugCatalogWindow::wantsMenu() const { return List1->count() > 0; }

bool DrugCatalogWindow::eventFilter(QObject* watched, QEvent* event)
{
    if (watched == Text3 || watched == Text4) {
        if (event->type() == QEvent::FocusIn)
            phraseTarget = static_cast<QLineEdit*>(watched);
        if (isEnterKey(event)) {
            // Enter moves on as Tab would: name → usage → 保存.
            focusNextChild();
            return true;
        }
    } else if (watched == List1->viewport()) {
        if (event->type() == QEvent::MouseButtonRelease) {
            const auto* mouse = static_cast<QMouseEvent*>(event);
            if (mouse->button() == Qt::RightButton && wantsMenu()) {
                // popup, not exec: the menu must not hold up the caller's stack.
                pu->popup(mouse->globalPosition().toPoint());
                return true;
            }
        }
    } else if (event->type() == QEvent::MouseButtonRelease
               && static_cast<QMouseEvent*>(event)->button() == Qt::LeftButton) {
        for (const Phrase& phrase : phrases) {
            if (watched == Label5[size_t(phrase.index)]) {
                insertPhrase(phrase.index);
                return true;
            }
        }
    }
    return QWidget::eventFilter(watched, event);
}

void DrugCatalogWindow::search()
{
    m_filler->fill(store::statements::drugsByInitials(Text1->text()), ListFiller::Yield::WhileFilling);
}

void DrugCatalogWindow::pick(QListWidgetItem* item)
{
    const std::optional<qint64> id = dictionaries::rowIdOf(item);
    if (!id)
        return;
    pickedRow = id;
    // Picking a row means editing it: a save then rewrites this row instead of adding one.
    addingNew = false;
    const DrugEntryParts parts = splitDrugEntry(item->text());
    Text3->setText(parts.name); // recomputes the key box ...
    Text4->setText(parts.usage);
    Text5->setText(item->data(dictionaries::KeyRole).toString()); // ... which shows the stored key
}

void DrugCatalogWindow::add()
{
    addingNew = true;
    // The boxes are about to describe a row that does not exist yet; 删除 must not reach the
    // one picked before.
    pickedRow.reset();
    const QPointer<DrugCatalogWindow> self(this);
    Text1->clear(); // refills the list with all rows when it held a search
    if (!self)
        return;
    // No row shows as picked while none is: a highlighted row would look like the one 删除 acts on.
    List1->clearSelection();
    List1->setCurrentItem(nullptr, QItemSelectionModel::NoUpdate);
    Text3->clear();
    Text4->clear();
    Text5->clear();
    Text3->setFocus();
}

bool DrugCatalogWindow::refuse(const store::DictionaryEntry& entry)
{
    QString message;
    QLineEdit* fault = Text3;
    if (trimBlanks(Text3->text()).isEmpty()) {
        message = QStringLiteral("药品名称不能为空。");
    } else if (const store::Refusal refusal = store::checkRow(store::DrugTable, entry.toRow(store::DrugTable))) {
        const bool key = refusal.fieldName == QStringLiteral("拼音");
        if (key) {
            fault = Text5;
            message = refusal.kind == store::Refusal::Empty ? QStringLiteral("拼音代码不能为空。")
                                                            : QStringLiteral("拼音代码超过 50 个字符，未保存。");
        } else {
            message = refusal.kind == store::Refusal::Empty
                          ? QStringLiteral("药品名称不能为空。")
                          : QStringLiteral("药品名称和用法用量合计超过 200 个字符，未保存。");
        }
    } else {
        return false;
    }
    qCWarning(lcDictionaries) << "drug row refused:" << message;
    MessageBox::information(this, caption(), message);
    fault->setFocus();
    return true;
}

void DrugCatalogWindow::save()
{
    if (trimBlanks(Text5->text()).isEmpty())
        Text5->setText(Text3->text());
    store::DictionaryEntry entry;
    entry.name = joinDrugEntry(Text3->text(), Text4->text());
    entry.initials = Text5->text();

    if (addingNew || pickedRow) {
        // A refused row changes nothing, not even the mode, so the corrected entry can be saved
        // again as what it was meant to be.
        if (refuse(entry))
            return;
        store::Connection* db = m_store.dictionaries();
        const store::Row row = entry.toRow(store::DrugTable);
        bool stored = true;
        if (addingNew) {
            // A second save rewrites the row just added rather than adding it twice.
            if (const std::optional<qint64> id = store::Store::insert(db, store::DrugTable, row))
                pickedRow = id;
            else
                stored = false;
        } else {
            stored = store::Store::updateRow(db, store::DrugTable, *pickedRow, row);
        }
        if (!stored) {
            // Like a refusal: the boxes and the mode stay, so the entry can be saved once the
            // file can be written.
            qCWarning(lcDictionaries) << "drug row" << (addingNew ? QStringLiteral("new") : QString::number(*pickedRow))
                                      << "not stored:" << (db ? db->lastError() : QStringLiteral("file not open"));
            MessageBox::information(this, caption(), m_store.notWritten(QStringLiteral("药品未保存。")), MessageBox::Exclamation);
            return;
        }
    } else {
        qCWarning(lcDictionaries) << "save with no row picked: nothing stored";
    }

    m_filler->fill(store::statements::drugsByInitials(Text1->text()), ListFiller::Yield::No);
    Command1->setFocus();
    addingNew = false;
}

void DrugCatalogWindow::remove()
{
    if (!pickedRow) {
        qCWarning(lcDictionaries) << "delete with no row picked: nothing deleted";
        return;
    }
    const store::Deleted deleted = store::Store::deleteFirst(m_store.dictionaries(), store::statements::rowWithId(store::DrugTable, *pickedRow));
    if (deleted == store::Deleted::Failed) {
        // The row is still in the file: it stays listed and picked, the boxes keep it.
        qCWarning(lcDictionaries) << "drug row" << *pickedRow << "not deleted: the file cannot be written";
        MessageBox::information(this, caption(), m_store.notWritten(QStringLiteral("药品未删除。")), MessageBox::Exclamation);
        return;
    }
    if (deleted == store::Deleted::None)
        qCWarning(lcDictionaries) << "drug row" << *pickedRow << "not deleted: it is gone";
    pickedRow.reset();

    const ListFiller::Outcome outcome = m_filler->fill(store::statements::drugsByInitials(Text1->text()),
                                                       ListFiller::Yield::WhileFilling);
    if (outcome == ListFiller::Outcome::Gone)
        return;
    Text3->clear();
    Text4->clear();
    Text5->clear();
}

void DrugCatalogWindow::insertPhrase(int index)
{
    QLabel* label = Label5[size_t(index)];
    if (!phraseTarget || !label)
        return;
    phraseTarget->insert(label->text()); // replaces a selection, else goes in at the caret
    phraseTarget->setFocus();
}
