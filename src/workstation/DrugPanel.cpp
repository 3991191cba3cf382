#include "workstation/DrugPanel.h"

#include "common/InputMethod.h"
#include "common/TextList.h"
#include "common/Window.h"
#include "printing/Twips.h"
#include "store/Records.h"
#include "workstation/Keypad.h"
#include "workstation/TemplateRows.h"

#include <QApplication>
#include <QGridLayout>
#include <QKeyEvent>
#include <QLineEdit>
#include <QMouseEvent>
#include <QVBoxLayout>
#include <utility>

DrugPanel::DrugPanel(store::Store& store, QWidget* parent)
    : QWidget(parent)
    , m_store(store)
{
    setObjectName(QStringLiteral("DrugPanel"));
    auto* column = new QVBoxLayout(this);
    column->setContentsMargins(0, 0, 0, 0);
    column->addWidget(new QLabel(QStringLiteral("拼音码查询："), this));
    Text1 = new QLineEdit(this);
    Text1->setObjectName(QStringLiteral("Text1"));
    takeLettersStraight(Text1);
    Text1->setAccessibleName(QStringLiteral("拼音码查询"));
    column->addWidget(Text1);
    List1 = new TextList(QStringLiteral("List1"), this);
    List1->setMinimumWidth(twips::toPixels(3200));
    // Reached with the Down arrow from the drug box, not as a stop of its own in the Tab walk.
    List1->setFocusPolicy(Qt::ClickFocus);
    column->addWidget(List1, 1);

    static const char* const phrases[17] = {
        "    用法：iv/gtt qd", "ml", "qid", "tid", "bid", "iv", "qod", "st", "#",
        "mg", "q8h", "qn", "prn", "    用法：iv/gtt bid", "HS", "qd", "×",
    };
    auto* phraseGrid = new QGridLayout;
    phraseGrid->setSpacing(4);
    int cell = 0;
    for (int i = 0; i < 17; ++i) {
        Label5[size_t(i)] = new ClickLabel(QString::fromUtf8(phrases[i]), this);
        Label5[size_t(i)]->setObjectName(QStringLiteral("Label5_%1").arg(i));
        Label5[size_t(i)]->setStyleSheet(QStringLiteral("color: #1a4f8b;"));
        connect(Label5[size_t(i)], &ClickLabel::clicked, this,
                [this, i] { emit phraseClicked(Label5[size_t(i)]->text()); });
        // The two usage lines take a whole row; the short words share rows of four.
        if (i == 0 || i == 13) {
            if (cell % 4)
                cell += 4 - cell % 4;
            phraseGrid->addWidget(Label5[size_t(i)], cell / 4, 0, 1, 4);
            cell += 4;
        } else {
            phraseGrid->addWidget(Label5[size_t(i)], cell / 4, cell % 4);
            ++cell;
        }
    }
    column->addLayout(phraseGrid);

    m_keypad = new Keypad(this);
    column->addWidget(m_keypad);

    connect(Text1, &QLineEdit::textChanged, this, &DrugPanel::fillDrugList);
    Text1->installEventFilter(this);
    List1->installEventFilter(this);
    List1->viewport()->installEventFilter(this);
    connect(List1, &TextList::clicked, this, &DrugPanel::pickDrug);
}

void DrugPanel::fillDrugList(const QString& initials)
{
    store::Connection* db = m_store.dictionaries();
    TemplateRows templates = TemplateRows::find(db, initials);
    m_templateLines = std::move(templates.lines);
    List1->setTexts(templates.captions + store::readNames(db, store::statements::drugNamesByInitials(initials), DrugListRows));
}

void DrugPanel::pickDrug()
{
    // Each step on its own: with nothing selected the text stays, the rest still happens.
    QString lines;
    if (const int row = List1->selectedRow(); row >= 0 && row < m_templateLines.size()) {
        lines = m_templateLines.at(row);
    } else if (row >= 0) {
        lines = List1->text(row);
        lines.replace(QLatin1Char('/'), QStringLiteral("\r\n    用法："));
        lines += QStringLiteral("\r\n");
    }
    m_lastPickTime = std::exchange(m_releaseTime, 0);
    emit drugPicked(lines);
    Text1->clear();
    Text1->setFocus();
}

bool DrugPanel::filterListMouse(QEvent* event)
{
    const QEvent::Type type = event->type();
    if (type == QEvent::MouseButtonDblClick) {
        // The view would take it as a press on whatever row is now under the mouse.
        m_swallowRelease = true;
        return true;
    }
    if (type == QEvent::MouseButtonPress) {
        const quint64 time = static_cast<QMouseEvent*>(event)->timestamp();
        if (m_lastPickTime && time >= m_lastPickTime
            && time - m_lastPickTime < quint64(QApplication::doubleClickInterval())) {
            m_swallowRelease = true;
            return true;
        }
    } else if (type == QEvent::MouseButtonRelease) {
        if (m_swallowRelease) {
            m_swallowRelease = false;
            return true;
        }
        // The view may pick on this release, which refills the list.
        m_releaseTime = static_cast<QMouseEvent*>(event)->timestamp();
    }
    return false;
}

bool DrugPanel::eventFilter(QObject* watched, QEvent* event)
{
    if (watched == List1->viewport())
        return filterListMouse(event) || QWidget::eventFilter(watched, event);
    if (event->type() == QEvent::FocusIn && watched == List1 && !List1->hasSelection() && List1->count() > 0) {
        List1->setCurrentRow(0);
    } else if (event->type() == QEvent::KeyPress) {
        const int key = static_cast<QKeyEvent*>(event)->key();
        // Enter after typed initials goes into the list too, so the keypad alone reaches a
        // pick: Enter there, then Enter on the row.
        if (watched == Text1 && (key == Qt::Key_Down || (isEnterKey(event) && !Text1->text().isEmpty() && List1->count() > 0))) {
            List1->setFocus();
            return true;
        }
        if (watched == List1 && isEnterKey(event)) {
            pickDrug();
            return true;
        }
        // Up from the first drug, or Escape, goes back to typing initials.
        if (watched == List1 && (key == Qt::Key_Escape || (key == Qt::Key_Up && List1->currentRow() <= 0))) {
            Text1->setFocus();
            return true;
        }
    }
    return QWidget::eventFilter(watched, event);
}
