#pragma once

#include <QAbstractListModel>
#include <QStringList>
#include <functional>
#include <optional>
#include <vector>

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

    // Every row's text, read again where it was let go (see setSource).
    QStringList texts() const;
    QString text(int row) const;
    // Views lose their current and selected rows, as the old rows are gone.
    void setTexts(QStringList texts) { setRows(std::move(texts)); }
    void setRows(Rows rows);
    // The identity given with a row, none when its texts came without them.
    std::optional<qint64> id(int row) const;

    // A list too long to read at once: source(count) gives up to count more texts, and whether
    // they are the last. The rows shown before are dropped, the first page is read at once, and
    // the rest a page at a time as a view scrolls to it (fetchMore), so the list holds what has
    // been shown and not everything there is. A view may ask for more whenever it lays its rows
    // out (Qt's tree view does; TextList when its last row is in view), so the first pages are a
    // few screens; further down they grow with what has been read, up to MaxPageRows (a page of
    // those takes 10-40 ms to read at a million records), so that the end of a million rows is
    // some 500 pages away, not 7,800.
    //
    // A source may give fewer than asked for before its end, when finding them would keep the
    // window from answering: the rest of the page is asked for again whenever the event loop is
    // free, until it is there (isWaiting(); views show a busy cursor meanwhile). A view lays its
    // rows out afresh once they are there, and may ask for a page with that layout: after a
    // page completed this way, the next is read only once the view was scrolled or resized
    // (release()), so that the reading stays a page ahead of what is shown.
    struct Page {
        Rows rows;
        bool atEnd = false;
    };
    using Source = std::function<Page(int count)>;
    // Reads the texts of rows again by their identities, one for each in the same order (empty
    // for a row no longer there). With one, the list keeps every row's identity but only the
    // texts of the last KeptBlocks blocks of BlockRows rows drawn or read, so that scrolled
    // through a million records it holds 8 bytes a row, not a hundred and fifty; the rows of
    // such a source must come with their identities, and may come with nothing else: a page of
    // identities alone has its texts read as its rows are drawn.
    using Reread = std::function<QStringList(const QList<qint64>& ids)>;
    void setSource(Source source, Reread reread = {});
    static constexpr int PageRows = 128;
    static constexpr int BlockRows = 256;
    static constexpr int KeptBlocks = 64;
    // The texts held at the moment.
    qsizetype heldTexts() const;
    // Whether the texts let go are read again (setSource with a Reread).
    bool readsAgain() const { return bool(m_reread); }
    static constexpr int MaxPageRows = 2048;
    // The rows the next fetchMore asks for.
    int nextPageRows() const;
    // A page is only partly there, and the rest is being asked for.
    bool isWaiting() const { return m_waiting; }
    void release() { m_holding = false; }
    // Every row of the source is read.
    bool complete() const { return !m_source; }
    // Reads the rest of the source, a page whenever the event loop is free, so the window
    // answers meanwhile; waitingChanged(false) tells when it is all there.
    void readToEnd();

    bool canFetchMore(const QModelIndex& parent) const override;
    void fetchMore(const QModelIndex& parent) override;

signals:
    void waitingChanged(bool waiting);

private:
    // Asks the source for what is wanted and not there yet.
    void read(int count);
    void readOn();
    void setWaiting(bool waiting);

    void take(Rows rows);
    void clearRows();
    qsizetype size() const { return m_reread ? m_ids.size() : m_texts.size(); }
    // The block of texts that holds a row, read again when it was let go.
    const QStringList& blockOf(int row) const;
    void keep(size_t block) const;

    QStringList m_texts; // every row's text, unless they can be read again
    QList<qint64> m_ids; // one for each row, or none at all
    Reread m_reread;
    // With m_reread: the texts by blocks of BlockRows rows, empty when let go; the blocks held,
    // with when each was last used.
    mutable std::vector<QStringList> m_blocks;
    mutable std::vector<std::pair<size_t, quint64>> m_kept;
    mutable quint64 m_uses = 0;
    Source m_source;
    bool m_fetching = false;
    qsizetype m_wanted = 0; // the rows the view asked for so far
    bool m_waiting = false;
    bool m_holding = false; // a page completed while waiting: no more until the view moves
    QTimer* m_readOn;
};
