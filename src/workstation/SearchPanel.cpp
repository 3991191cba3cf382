#include "workstation/SearchPanel.h"

#include "common/Clock.h"
#include "common/TextList.h"
#include "common/Window.h"
#include "printing/Twips.h"
#include "store/RecordSearch.h"
#include "store/Store.h"
#include "workstation/RecordNode.h"

#include <QGridLayout>
#include <QLabel>
#include <QLineEdit>
#include <QMenu>
#include <QMouseEvent>
#include <QPushButton>
#include <algorithm>
#include <memory>

SearchPanel::SearchPanel(store::Store& store, QWidget* parent)
    : QWidget(parent)
    , m_store(store)
{
    setObjectName(QStringLiteral("SearchPanel"));
    auto* grid = new QGridLayout(this);
    grid->setContentsMargins(0, 0, 0, 0);
    Text2 = new QLineEdit(this);
    Text2->setObjectName(QStringLiteral("Text2"));
    Text3 = new QLineEdit(this);
    Text3->setObjectName(QStringLiteral("Text3"));
    Text3->installEventFilter(this);
    Command2 = new QPushButton(QStringLiteral("查询"), this);
    Command2->setObjectName(QStringLiteral("Command2"));
    T1 = new TextList(QStringLiteral("T1"), this);
    T1->setMinimumWidth(twips::toPixels(3000));
    T1->viewport()->installEventFilter(this);
    T1->installEventFilter(this);

    for (auto [box, caption] : {std::pair{Text2, QStringLiteral("患者姓名")}, std::pair{Text3, QStringLiteral("就诊日期")}})
        box->setAccessibleName(caption);
    T1->setAccessibleName(QStringLiteral("病人档案"));
    grid->addWidget(new QLabel(Text2->accessibleName(), this), 0, 0);
    grid->addWidget(Text2, 0, 1);
    grid->addWidget(new QLabel(Text3->accessibleName(), this), 1, 0);
    grid->addWidget(Text3, 1, 1);
    grid->addWidget(Command2, 2, 1, Qt::AlignRight);
    grid->addWidget(T1, 3, 0, 1, 2);

    connect(Command2, &QPushButton::clicked, this, &SearchPanel::search);
    connect(Text2, &QLineEdit::returnPressed, this, &SearchPanel::search);
    connect(Text3, &QLineEdit::returnPressed, this, &SearchPanel::search);
    connect(T1, &TextList::clicked, this, &SearchPanel::openRequested);

    m_treeMenu = new QMenu(this);
    m_treeMenu->setObjectName(QStringLiteral("TreeMenu"));
    connect(m_treeMenu->addAction(QStringLiteral("删除")), &QAction::triggered, this, &SearchPanel::deleteRequested);
    m_treeMenu->addAction(QStringLiteral("取消"));
}

void SearchPanel::showRecords(const store::Select& select, int limit, bool newestFirst)
{
    TextListModel::Rows nodes;
    for (store::Query q = store::Store::select(m_store.records(), select, limit); q.next();) {
        nodes.texts << recordnode::text(q.string(2), q.string(1));
        nodes.ids << q.rowId();
    }
    if (newestFirst) {
        std::reverse(nodes.texts.begin(), nodes.texts.end());
        std::reverse(nodes.ids.begin(), nodes.ids.end());
    }
    T1->setRows(std::move(nodes));
}

void SearchPanel::showNewest(int limit, bool selectNewest)
{
    // The clinic works on its latest visits: the oldest of them at the top, in row order, and
    // the record just saved at the bottom, where the doctor sees it.
    showRecords(store::statements::newestRecordNodes(), limit, true);
    if (const int last = T1->count() - 1; last >= 0 && selectNewest)
        T1->setCurrentRow(last);
    T1->scrollToBottom();
}

void SearchPanel::search()
{
    // Every match stays reachable, but only the rows scrolled to are read and held; the old
    // result goes before the new one is looked for, so two are never held at once.
    T1->clear();
    auto found = std::make_shared<store::RecordSearch>(m_store, Text2->text(), Text3->text());
    // Scrolled through a million records, the tree keeps their ids and the texts of what it
    // draws: the rest are read again by id when they come into view.
    store::Store* store = &m_store;
    T1->setSource(
        [found](int count) {
            TextListModel::Page page;
            const bool texts = !found->leavesTexts();
            for (const store::RecordNode& node : found->next(count, false)) {
                if (texts)
                    page.rows.texts << recordnode::text(node.name, node.key);
                page.rows.ids << node.rowId;
            }
            page.atEnd = found->atEnd();
            return page;
        },
        [store](const QList<qint64>& ids) {
            QStringList texts;
            texts.reserve(ids.size());
            for (const auto& node : store::recordNodesWithIds(*store, ids))
                texts << (node ? recordnode::text(node->name, node->key) : QString());
            return texts;
        });
}

QString SearchPanel::currentNode() const
{
    const int row = T1->currentRow();
    return row >= 0 ? T1->text(row) : QString();
}

std::optional<qint64> SearchPanel::currentRecord() const
{
    return T1->id(T1->currentRow());
}

void SearchPanel::removeCurrentNode()
{
    if (const int row = T1->currentRow(); row >= 0)
        T1->removeRow(row);
}

bool SearchPanel::eventFilter(QObject* watched, QEvent* event)
{
    if (watched == T1 && isEnterKey(event)) {
        emit openRequested(); // the keyboard's way to open a record
        return true;
    }
    if (event->type() != QEvent::MouseButtonRelease)
        return QWidget::eventFilter(watched, event);
    if (watched == Text3) {
        // A click puts today's date into the date box, ready to be shortened to a month.
        Text3->setText(Clock::today().toString(QStringLiteral("yyyy-MM-dd")));
        Text3->end(false);
    } else if (watched == T1->viewport()) {
        auto* mouse = static_cast<QMouseEvent*>(event);
        if (mouse->button() == Qt::RightButton && T1->count() > 0) {
            m_treeMenu->popup(mouse->globalPosition().toPoint());
            return true;
        }
    }
    return QWidget::eventFilter(watched, event);
}
