#include "dictionaries/DictionaryWindow.h"

#include "common/InputMethod.h"
#include "common/Log.h"

#include <QCoreApplication>
#include <QElapsedTimer>
#include <QGuiApplication>
#include <QKeyEvent>
#include <QLabel>
#include <QLineEdit>
#include <QListWidget>
#include <QPushButton>
#include <QScreen>
#include <vector>

namespace dictionaries {

std::optional<qint64> rowIdOf(const QListWidgetItem* item)
{
    if (!item)
        return std::nullopt;
    bool ok = false;
    const qint64 id = item->data(RowIdRole).toLongLong(&ok);
    return ok ? std::optional<qint64>(id) : std::nullopt;
}

QListWidgetItem* appendEntry(QListWidget* list, const store::DictionaryEntry& entry)
{
    auto* item = new QListWidgetItem(entry.name);
    item->setData(RowIdRole, entry.rowId);
    item->setData(KeyRole, entry.initials);
    list->addItem(item);
    return item;
}

std::chrono::nanoseconds ListFiller::s_slice = std::chrono::milliseconds(15);

void ListFiller::setSlice(std::chrono::nanoseconds slice) { s_slice = slice; }

ListFiller::ListFiller(QListWidget* list, store::Store& store, const store::Table& table)
    : m_list(list)
    , m_store(store)
    , m_table(table)
{
}

ListFiller::Outcome ListFiller::fill(const store::Select& select, Yield yield)
{
    const quint64 generation = ++m_generation;
    m_list->clear();

    std::vector<store::DictionaryEntry> entries;
    {
        store::Connection* db = m_store.dictionaries();
        if (!db) {
            qCWarning(lcDictionaries) << "list of" << store::tableName(m_table)
                                      << "left empty: the settings file is not open";
            return Outcome::Complete;
        }
        store::Query query = store::Store::select(db, select);
        while (query.next())
            entries.push_back(store::DictionaryEntry::fromQuery(m_table, query));
        if (query.failed())
            qCWarning(lcDictionaries) << "reading" << store::tableName(m_table) << "failed:" << query.error();
    }

    // Only the local copy may be looked at after a yield: if the window went, so did this object.
    const QPointer<QListWidget> list = m_list;
    QElapsedTimer sinceYield;
    sinceYield.start();
    for (const store::DictionaryEntry& entry : entries) {
        appendEntry(list, entry);
        // Each yield repaints and lays out the list, so the window gets its events once per
        // slice of work rather than after literally every row, which would make a full list of
        // thousands of drugs take minutes.
        if (yield == Yield::WhileFilling && sinceYield.nsecsElapsed() >= s_slice.count()) {
            QCoreApplication::processEvents();
            if (!list)
                return Outcome::Gone;
            if (generation != m_generation)
                return Outcome::Overtaken;
            sinceYield.restart();
        }
    }
    return Outcome::Complete;
}

QLabel* makeLabel(const QString& text, const char* objectName, QWidget* parent)
{
    auto* label = new QLabel(text, parent);
    label->setObjectName(QString::fromLatin1(objectName));
    return label;
}

QLineEdit* textBox(const char* objectName, QWidget* parent)
{
    auto* box = new QLineEdit(parent);
    box->setObjectName(QString::fromLatin1(objectName));
    return box;
}

QLineEdit* initialsBox(const char* objectName, QWidget* parent)
{
    QLineEdit* box = textBox(objectName, parent);
    takeLettersStraight(box);
    return box;
}

QListWidget* listBox(const char* objectName, QWidget* parent)
{
    auto* list = new QListWidget(parent);
    list->setObjectName(QString::fromLatin1(objectName));
    list->setSortingEnabled(false);
    list->setSelectionMode(QAbstractItemView::SingleSelection);
    list->setLayoutMode(QListView::Batched); // a long list lays itself out a piece per event
    return list;
}

QPushButton* button(const QString& text, const char* objectName, QWidget* parent)
{
    auto* b = new QPushButton(text, parent);
    b->setObjectName(QString::fromLatin1(objectName));
    b->setAutoDefault(true);
    return b;
}

} // namespace dictionaries
