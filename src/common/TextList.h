#pragma once

#include <QAbstractListModel>
#include <QStringList>
#include <QTreeView>
#include <functional>
#include <optional>

class QTimer;

// Read-only texts, one a row. A refill swaps the whole list in one reset: filling costs the
// strings themselves and nothing per row besides, where an item object per row cost several
// times the SQL that read them on every keystroke.
class TextListModel : public QAbstractListModel
{
    Q_OBJECT
public:
    explicit TextListModel(QObject* parent = nullptr);

    // Texts, and for each the identity of what it shows (a table row), when it has one: two rows
    // may read the same, and a command on a row must reach the thing it was made from.
    struct Rows {
        Rows() = default;
        Rows(QStringList texts) // implicit: plain texts are rows without identities
            : texts(std::move(texts))
        {
        }
        QStringList texts;
        QList<qint64> ids; // none, or one for each text
    };

    int rowCount(const QModelIndex& parent = QModelIndex()) const override;
    QVariant data(const QModelIndex& index, int role = Qt::DisplayRole) const override;
    bool removeRows(int row, int count, const QModelIndex& parent = QModelIndex()) override;

    const QStringList& texts() const { return m_texts; }
    // Views lose their current and selected rows, as the old rows are gone.
    void setTexts(QStringList texts) { setRows(std::move(texts)); }
    void setRows(Rows rows);
    // The identity given with a row, none when its texts came without them.
    std::optional<qint64> id(int row) const;

    // A list too long to read at once: source(count) gives up to count more texts, and whether
    // they are the last. The rows shown before are dropped, the first page is read at once, and
    // the rest a page at a time as a view scrolls to it (fetchMore), so the list holds what has
    // been shown and not everything there is. A tree view also reads a page whenever it lays
    // its rows out afresh, so the first pages are a few screens; further down they grow with
    // what has been read, up to MaxPageRows (a page of those takes 10-40 ms to read at a
    // million records), so that the end of a million rows is some 500 pages away, not 7,800.
    //
    // A source may give fewer than asked for before its end, when finding them would keep the
    // window from answering: the rest of the page is asked for again whenever the event loop is
    // free, until it is there (isWaiting(); views show a busy cursor meanwhile). A tree view
    // lays its rows out afresh once they are there, and would read a page with every layout:
    // after a page completed this way, the next is read only once the view was scrolled or
    // resized (release()), so that the reading stays a page ahead of what is shown.
    struct Page {
        Rows rows;
        bool atEnd = false;
    };
    using Source = std::function<Page(int count)>;
    void setSource(Source source);
    static constexpr int PageRows = 128;
    static constexpr int MaxPageRows = 2048;
    // The rows the next fetchMore asks for.
    int nextPageRows() const;
    // A page is only partly there, and the rest is being asked for.
    bool isWaiting() const { return m_waiting; }
    void release() { m_holding = false; }

    bool canFetchMore(const QModelIndex& parent) const override;
    void fetchMore(const QModelIndex& parent) override;

signals:
    void waitingChanged(bool waiting);

private:
    // Asks the source for what is wanted and not there yet.
    void read(int count);
    void readOn();
    void setWaiting(bool waiting);

    QStringList m_texts;
    QList<qint64> m_ids; // one for each text, or none at all
    Source m_source;
    bool m_fetching = false;
    qsizetype m_wanted = 0; // the rows the view asked for so far
    bool m_waiting = false;
    bool m_holding = false; // a page completed while waiting: no more until the view moves
    QTimer* m_readOn;
};

// A flat list of texts drawn as a tree without branches: no header, no root decoration, rows of
// one height, so the rows are laid out without measuring each.
class TextList : public QTreeView
{
    Q_OBJECT
public:
    explicit TextList(const QString& objectName, QWidget* parent = nullptr);

    TextListModel* textModel() const { return m_model; }
    const QStringList& texts() const { return m_model->texts(); }
    void setTexts(QStringList texts) { m_model->setTexts(std::move(texts)); }
    void setRows(TextListModel::Rows rows) { m_model->setRows(std::move(rows)); }
    void setSource(TextListModel::Source source) { m_model->setSource(std::move(source)); }
    void clear() { m_model->setTexts({}); }
    // The rows read so far.
    int count() const { return int(m_model->texts().size()); }
    QString text(int row) const { return m_model->texts().value(row); }
    std::optional<qint64> id(int row) const { return m_model->id(row); }
    void removeRow(int row) { m_model->removeRows(row, 1); }

    // The current row, -1 when there is none.
    int currentRow() const;
    // Makes a row current the way a click does, selecting it.
    void setCurrentRow(int row);
    // The row a pick takes: current and selected; -1 when none is both.
    int selectedRow() const;
    bool hasSelection() const;

protected:
    void verticalScrollbarValueChanged(int value) override;
    void resizeEvent(QResizeEvent* event) override;

private:
    TextListModel* m_model;
};
