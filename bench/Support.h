#pragma once

#include "bench/BareSql.h"

#include <QAbstractItemModel>
#include <QByteArray>
#include <QCryptographicHash>
#include <QString>
#include <QStringList>

// Small things the benchmark and its drivers share: memory, result digests, arguments.
namespace bench {

// A field of /proc/self/status in kB (VmRSS, VmHWM), -1 when unreadable.
long statusKb(const char* field);
// The peak resident set of the process so far, in kB.
long peakKb();

// Rows by content and order: each row's texts in column order, hashed.
class Digest
{
public:
    void add(const QStringList& columns)
    {
        for (const QString& column : columns) {
            m_hash.addData(column.toUtf8());
            m_hash.addData(QByteArrayView("\x1f"));
        }
        m_hash.addData(QByteArrayView("\n"));
        ++m_rows;
    }
    QByteArray result() const { return m_hash.result().toHex(); }
    qint64 rows() const { return m_rows; }

private:
    QCryptographicHash m_hash{QCryptographicHash::Sha1};
    qint64 m_rows = 0;
};

// The rows of a statement by content and order.
QByteArray digestOf(BareStatement& statement);
// The rows a list or grid shows by content and order: `columns` texts a row.
QByteArray digestOf(const QAbstractItemModel& model, int columns);

// The names searched on both engines: a common surname, a full name, a rare name and one that
// nobody has (label, name in UTF-8).
struct NameSearch {
    const char* label;
    const char* name;
};
inline constexpr NameSearch NameSearches[] = {
    {"surname", "王"}, {"full", "王芳"}, {"rare", "欧阳新"}, {"nobody", "无此人"}};

// Takes "--name value" or "--name=value" out of argv.
QString takeOption(int& argc, char** argv, const char* name);

} // namespace bench
