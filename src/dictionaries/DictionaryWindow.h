#pragma once

#include "store/Records.h"
#include "store/Statements.h"
#include "store/Store.h"

#include <QAction>
#include <QMenu>
#include <QPointer>
#include <chrono>
#include <optional>

class QEvent;
class QLabel;
class QLineEdit;
class QListWidget;
class QListWidgetItem;
class QPushButton;
class QWidget;

// What the drug, diagnosis and address windows share: list rows that know their table row, and
// a list fill that a newer fill can overtake.
namespace dictionaries {

// A list row carries the identity of its table row, so that a save or delete reaches the row the
// user chose even after the list has been refilled, and tells apart two rows of the same text.
inline constexpr int RowIdRole = Qt::UserRole;
// The stored key, shown when a drug row is picked (it may differ from the one the name gives).
inline constexpr int KeyRole = Qt::UserRole + 1;

std::optional<qint64> rowIdOf(const QListWidgetItem* item);
QListWidgetItem* appendEntry(QListWidget* list, const store::DictionaryEntry& entry);

// Fills one list from a statement. A search fill lets pending window events run as it goes, so
// a long list never freezes the window; a keystroke handled meanwhile starts a newer fill, which
// clears the list, and the older one then stops adding, so no row of an earlier search stays and
// none appears twice. The rows are read before the first yield, so no statement is open while
// other handlers run.
class ListFiller
{
public:
    enum class Yield { No, WhileFilling };
    enum class Outcome {
        Complete,
        Overtaken, // a newer fill took over the list while this one yielded
        Gone,      // the window was destroyed while this one yielded; touch nothing of it
    };

    ListFiller(QListWidget* list, store::Store& store, const store::Table& table);

    Outcome fill(const store::Select& select, Yield yield);

    // How much filling runs between two yields (15 ms, about a screen frame). Zero yields after
    // every row, which tests use to make a fill nest deterministically.
    static void setSlice(std::chrono::nanoseconds slice);

private:
    QPointer<QListWidget> m_list;
    store::Store& m_store;
    const store::Table& m_table;
    quint64 m_generation = 0;
    static std::chrono::nanoseconds s_slice;
};

// Controls named as the windows' code refers to them.
QLabel* makeLabel(const QString& text, const char* objectName, QWidget* parent);
QLineEdit* textBox(const char* objectName, QWidget* parent);
// A box of pinyin initials: keys go into it straight, whatever the input method's state.
QLineEdit* initialsBox(const char* objectName, QWidget* parent);
// Unsorted, one row at a time, in database order.
QListWidget* listBox(const char* objectName, QWidget* parent);
// Enter on a focused button presses it, as keyboard-only entry of a series of rows needs.
QPushButton* button(const QString& text, const char* objectName, QWidget* parent);
// The list's pop-up menu `pu`: 删除, which runs `remove`, and 取消, which only closes it.
template <typename Window>
QMenu* deleteMenu(Window* window, void (Window::*remove)())
{
    auto* menu = new QMenu(window);
    menu->setObjectName(QStringLiteral("pu"));
    QObject::connect(menu->addAction(QStringLiteral("删除")), &QAction::triggered, window, remove);
    menu->addAction(QStringLiteral("取消"));
    return menu;
}

} // namespace dictionaries
