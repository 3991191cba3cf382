#include "common/TextListModel.h"

#include <QScopedValueRollback>
#include <QTimer>
#include <algorithm>
#include <limits>

int TextListModel::rowCount(const QModelIndex& parent) const
{
    return parent.isValid() ? 0 : int(size());
}

QVariant TextListModel::data(const QModelIndex& index, int role) const
{
    if (role != Qt::DisplayRole || !checkIndex(index, CheckIndexOption::IndexIsValid | CheckIndexOption::ParentIsInvalid))
        return {};
    return text(index.row());
}

QString TextListModel::text(int row) const
{
    if (row < 0 || row >= size())
        return {};
    if (!m_reread)
        return m_texts.at(row);
    return blockOf(row).value(row % BlockRows);
}

QStringList TextListModel::texts() const
{
    if (!m_reread)
        return m_texts;
    QStringList all;
    all.reserve(size());
    for (int row = 0; row < size(); ++row)
        all << text(row);
    return all;
}

qsizetype TextListModel::heldTexts() const
{
    if (!m_reread)
        return m_texts.size();
    qsizetype held = 0;
    for (const auto& kept : m_kept)
        held += m_blocks[kept.first].size();
    return held;
}

const QStringList& TextListModel::blockOf(int row) const
{
    const size_t block = size_t(row / BlockRows);
    if (m_blocks[block].isEmpty()) {
        const qsizetype first = qsizetype(block) * BlockRows;
        const QList<qint64> ids = m_ids.mid(first, std::min<qsizetype>(BlockRows, m_ids.size() - first));
        QStringList texts = m_reread(ids);
        texts.resize(ids.size()); // whatever the reader gave, one text a row
        m_blocks[block] = std::move(texts);
    }
    keep(block);
    return m_blocks[block];
}

void TextListModel::keep(size_t block) const
{
    ++m_uses;
    auto it = std::find_if(m_kept.begin(), m_kept.end(), [block](const auto& kept) { return kept.first == block; });
    if (it != m_kept.end()) {
        it->second = m_uses;
        return;
    }
    if (m_kept.size() >= size_t(KeptBlocks)) {
        // The block used longest ago lets its texts go; they are read again when drawn again.
        auto oldest = std::min_element(m_kept.begin(), m_kept.end(),
                                       [](const auto& a, const auto& b) { return a.second < b.second; });
        m_blocks[oldest->first] = QStringList();
        m_kept.erase(oldest);
    }
    m_kept.emplace_back(block, m_uses);
}

bool TextListModel::removeRows(int row, int count, const QModelIndex& parent)
{
    if (parent.isValid() || row < 0 || count <= 0 || row + count > size())
        return false;
    beginRemoveRows(parent, row, row + count - 1);
    if (m_reread) {
        // The rows below move up across the blocks: theirs are read again when drawn.
        const size_t from = size_t(row / BlockRows);
        for (size_t block = from; block < m_blocks.size(); ++block)
            m_blocks[block] = QStringList();
        std::erase_if(m_kept, [from](const auto& kept) { return kept.first >= from; });
        m_ids.remove(row, count);
        m_blocks.resize(size_t((m_ids.size() + BlockRows - 1) / BlockRows));
    } else {
        m_texts.remove(row, count);
        if (!m_ids.isEmpty())
            m_ids.remove(row, count);
    }
    endRemoveRows();
    return true;
}

TextListModel::TextListModel(QObject* parent)
    : QAbstractListModel(parent)
    , m_readOn(new QTimer(this))
{
    m_readOn->setSingleShot(true);
    m_readOn->setInterval(0);
    connect(m_readOn, &QTimer::timeout, this, &TextListModel::readOn);
}

void TextListModel::take(Rows rows)
{
    if (m_reread) {
        // Identities alone: their texts are read when drawn. A block the rows join is let go,
        // so that it is read whole.
        if (rows.texts.isEmpty() && !rows.ids.isEmpty()) {
            const size_t last = size_t(m_ids.size() / BlockRows);
            if (m_ids.size() % BlockRows != 0) {
                m_blocks[last] = QStringList();
                std::erase_if(m_kept, [last](const auto& kept) { return kept.first == last; });
            }
            m_ids += rows.ids;
            m_blocks.resize(size_t((m_ids.size() + BlockRows - 1) / BlockRows));
            return;
        }
        // Rows that cannot be read again by identity are not taken: there would be no text to
        // show for them once let go.
        if (rows.ids.size() != rows.texts.size()) {
            qWarning("rows without their identities were left out of a list that reads texts again");
            return;
        }
        qsizetype row = m_ids.size();
        m_ids += rows.ids;
        m_blocks.resize(size_t((m_ids.size() + BlockRows - 1) / BlockRows));
        size_t kept = m_blocks.size();
        for (QString& text : rows.texts) {
            const size_t block = size_t(row / BlockRows);
            QStringList& texts = m_blocks[block];
            if (texts.isEmpty() && row % BlockRows != 0) {
                // A block let go while it was being filled: its first rows are read again.
                blockOf(int(row));
            }
            if (texts.size() == row % BlockRows)
                texts << std::move(text);
            if (block != kept)
                keep(kept = block);
            ++row;
        }
        return;
    }
    // Identities that do not pair with the texts one to one could pair a row with another's.
    const bool paired = rows.ids.size() == rows.texts.size() && m_ids.size() == m_texts.size();
    m_texts += std::move(rows.texts);
    if (paired)
        m_ids += std::move(rows.ids);
    else
        m_ids.clear();
}

void TextListModel::setRows(Rows rows)
{
    // Nothing to show after nothing shown: a key that matches nothing, typed on, costs no reset.
    if (rows.texts.isEmpty() && size() == 0 && !m_source)
        return;
    beginResetModel();
    clearRows();
    take(std::move(rows));
    m_holding = false;
    endResetModel();
    setWaiting(false);
}

void TextListModel::clearRows()
{
    // Their memory too: cleared, a million ids would keep their 8 MB.
    m_source = {};
    m_reread = {};
    m_texts = QStringList();
    m_ids = QList<qint64>();
    m_blocks = std::vector<QStringList>();
    m_kept.clear();
}

void TextListModel::setSource(Source source, Reread reread)
{
    beginResetModel();
    // The old rows and whatever their source holds go before the new source reads anything.
    clearRows();
    m_reread = std::move(reread);
    Page page = source(PageRows);
    take(std::move(page.rows));
    if (!page.atEnd)
        m_source = std::move(source);
    m_wanted = PageRows;
    m_holding = false;
    endResetModel();
    setWaiting(m_source && size() < m_wanted);
}

std::optional<qint64> TextListModel::id(int row) const
{
    if (row < 0 || row >= size() || m_ids.size() != size())
        return std::nullopt;
    return m_ids.at(row);
}

int TextListModel::nextPageRows() const
{
    return int(std::clamp<qsizetype>(size() / 4, PageRows, MaxPageRows));
}

bool TextListModel::canFetchMore(const QModelIndex& parent) const
{
    // While a page is still coming in, the view asks again once its rows are there.
    return !parent.isValid() && m_source && !m_fetching && !m_waiting && !m_holding;
}

void TextListModel::fetchMore(const QModelIndex& parent)
{
    // Views ask for more while they take in the rows just added; those come first.
    if (!canFetchMore(parent))
        return;
    const int count = nextPageRows();
    m_wanted = size() + count;
    read(count);
}

void TextListModel::readToEnd()
{
    if (!m_source)
        return;
    m_wanted = std::numeric_limits<qsizetype>::max();
    m_holding = false;
    setWaiting(true);
}

void TextListModel::readOn()
{
    if (m_source && size() < m_wanted)
        read(int(std::min<qsizetype>(m_wanted - size(), MaxPageRows)));
    else
        setWaiting(false);
    m_holding = !m_waiting;
}

void TextListModel::read(int count)
{
    const QScopedValueRollback fetching(m_fetching, true);
    Page page = m_source(count);
    if (page.atEnd)
        m_source = {};
    const bool idsOnly = m_reread && page.rows.texts.isEmpty();
    if (!page.rows.texts.isEmpty() || (idsOnly && !page.rows.ids.isEmpty())) {
        const qsizetype before = size();
        const qsizetype after = before + (idsOnly ? page.rows.ids.size() : page.rows.texts.size());
        if (!idsOnly && m_reread && page.rows.ids.size() != page.rows.texts.size()) {
            take(std::move(page.rows)); // refused, and said so
        } else {
            beginInsertRows(QModelIndex(), int(before), int(after) - 1);
            take(std::move(page.rows));
            endInsertRows();
        }
    }
    setWaiting(m_source && size() < m_wanted);
}

void TextListModel::setWaiting(bool waiting)
{
    if (waiting)
        m_readOn->start();
    else
        m_readOn->stop();
    if (waiting != m_waiting) {
        m_waiting = waiting;
        emit waitingChanged(waiting);
    }
}
