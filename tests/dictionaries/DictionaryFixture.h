#pragma once

#include "common/MessageBox.h"
#include "dictionaries/DictionaryWindow.h"
#include "support/ProgramFolder.h"

#include <QApplication>
#include <QInputMethodEvent>
#include <QListWidget>
#include <QMenu>
#include <QPointer>
#include <QScopeGuard>
#include <QTest>

// Shared by the dictionary window tests: table contents in and out, typing and clicking as the
// user does, and a shown window that is gone at the end even though it deletes itself on close.

using Rows = QList<QPair<QString, QString>>; // name, key

inline QList<qint64> seed(ProgramFolder& folder, const store::Table& table, const Rows& rows)
{
    store::Connection* db = folder.store().settings();
    db->execute(QStringLiteral("DELETE FROM %1").arg(store::quoteIdentifier(store::tableName(table))));
    QList<qint64> ids;
    for (const auto& [name, key] : rows)
        ids << store::Store::insert(db, table, store::DictionaryEntry{0, name, key}.toRow(table)).value_or(-1);
    return ids;
}

inline QStringList stored(ProgramFolder& folder, const store::Table& table) // "name|key", stored order
{
    QStringList out;
    for (store::Query q = store::Store::select(folder.store().settings(), store::statements::everyRow(table)); q.next();) {
        const auto e = store::DictionaryEntry::fromQuery(table, q);
        out << e.name + QLatin1Char('|') + e.initials;
    }
    return out;
}

inline QStringList texts(const QListWidget* list)
{
    QStringList out;
    for (int i = 0; i < list->count(); ++i)
        out << list->item(i)->text();
    return out;
}

template <class Window>
struct Shown {
    explicit Shown(Window* window)
        : w(window)
    {
        MessageBox::setTestMode(true);
        MessageBox::clearShownMessages();
        window->show();
        if (!QTest::qWaitForWindowActive(window))
            qWarning("window not active: focus checks will fail");
    }
    ~Shown() { delete w.data(); }
    Window* operator->() const { return w; }
    QPointer<Window> w;
};

// ASCII on the keyboard, anything else through the input method (QTest::keyClicks is Latin-1 only).
inline void type(QWidget* box, const QString& text)
{
    for (const QChar c : text) {
        if (c.unicode() < 0x80) {
            QTest::keyClick(box, c.toLatin1());
            continue;
        }
        QInputMethodEvent commit;
        commit.setCommitString(QString(c));
        QApplication::sendEvent(box, &commit);
    }
}

// A click on a row, or on the empty list when row < 0.
inline void click(QListWidget* list, int row, Qt::MouseButton button = Qt::LeftButton)
{
    const QPoint at = row < 0 ? QPoint(5, 5) : list->visualItemRect(list->item(row)).center();
    QTest::mouseClick(list->viewport(), button, {}, at);
}

// Chooses 删除 in the open pop-up menu; false when no menu is open.
inline bool chooseDelete(QMenu* menu)
{
    if (!menu->isVisible())
        return false;
    QTest::mouseClick(menu, Qt::LeftButton, {}, menu->actionGeometry(menu->actions().value(0)).center());
    return !menu->isVisible();
}

// Makes every search fill yield after each row, so a test can nest a second search in the first.
inline auto yieldAfterEveryRow()
{
    dictionaries::ListFiller::setSlice({});
    return qScopeGuard([] { dictionaries::ListFiller::setSlice(std::chrono::milliseconds(15)); });
}
