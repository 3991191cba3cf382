#include "reports/LogCsv.h"

#include "common/Log.h"

#include <QSaveFile>
#include <QAbstractItemModel>

#include <algorithm>

namespace reports {

namespace {

QString field(const QString& value)
{
    // A spreadsheet reads a cell that begins with one of these as a formula, which a typed name
    // could use to run a command or send data away; a leading apostrophe keeps it text.
    static const QString formula = QStringLiteral("=+-@\t\r");
    const QString text = !value.isEmpty() && formula.contains(value.front()) ? QLatin1Char('\'') + value : value;
    static const QString special = QStringLiteral(",\"\r\n");
    if (std::none_of(text.begin(), text.end(), [](QChar c) { return special.contains(c); }))
        return text;
    QString quoted = text;
    quoted.replace(QLatin1Char('"'), QLatin1String("\"\""));
    return QLatin1Char('"') + quoted + QLatin1Char('"');
}

} // namespace

QByteArray logCsv(const QList<QStringList>& rows)
{
    QString text;
    for (const QStringList& row : rows) {
        QStringList fields;
        fields.reserve(row.size());
        for (const QString& value : row)
            fields << field(value);
        text += fields.join(QLatin1Char(',')) + QLatin1String("\r\n");
    }
    return QByteArrayLiteral("\xEF\xBB\xBF") + text.toUtf8();
}

bool writeLogCsv(const QString& path, const QList<QStringList>& rows)
{
    QSaveFile file(path);
    if (!file.open(QIODevice::WriteOnly)) {
        qCWarning(lcReports) << "export: cannot write" << path << ":" << file.errorString();
        return false;
    }
    const QByteArray bytes = logCsv(rows);
    if (file.write(bytes) != bytes.size() || !file.commit()) {
        qCWarning(lcReports) << "export: writing" << path << "failed:" << file.errorString();
        return false;
    }
    return true;
}

bool writeLogCsv(const QString& path, const QAbstractItemModel* lines)
{
    QList<QStringList> rows;
    if (lines) {
        const int rowCount = lines->rowCount();
        const int columnCount = lines->columnCount();
        rows.reserve(rowCount + 1);
        QStringList captions;
        for (int c = 0; c < columnCount; ++c)
            captions << lines->headerData(c, Qt::Horizontal).toString();
        rows << captions;
        for (int r = 0; r < rowCount; ++r) {
            QStringList row;
            row.reserve(columnCount);
            for (int c = 0; c < columnCount; ++c)
                row << lines->index(r, c).data().toString();
            rows << row;
        }
    }
    return writeLogCsv(path, rows);
}

} // namespace reports
