#include "store/Dialect.h"

namespace store {

namespace {

class SqliteDialect final : public Dialect
{
public:
    QString quote(const QString& name) const override
    {
        // Not double quotes: the engine reads a double-quoted name it does not know as a text
        // constant, so a missing column would read as its own name instead of failing. The
        // names are the program's own and never hold a "]".
        return QLatin1Char('[') + name + QLatin1Char(']');
    }
    QString parameter(int number) const override { return QLatin1Char('?') + QString::number(number); }
    QString render(const QString& neutral) const override { return neutral; }
    QString limit(int number) const override { return QLatin1String(" LIMIT ") + parameter(number); }
    QString like(const QString& text, const QString& pattern) const override
    {
        return text + QLatin1String(" LIKE ") + pattern;
    }
    QString foldedRange(const QString& column, int from, int to) const override
    {
        return QStringLiteral("%1 >= %2 COLLATE NOCASE AND %1 < %3 COLLATE NOCASE")
            .arg(column, parameter(from), parameter(to));
    }
    QString insertEnd() const override { return {}; }
    bool isServer() const override { return false; }
};

class PostgresDialect final : public Dialect
{
public:
    QString quote(const QString& name) const override { return QLatin1Char('"') + name + QLatin1Char('"'); }
    QString parameter(int number) const override { return QLatin1Char('$') + QString::number(number); }

    QString render(const QString& neutral) const override
    {
        QString out;
        out.reserve(neutral.size());
        bool inLiteral = false;
        for (qsizetype i = 0; i < neutral.size(); ++i) {
            const QChar c = neutral[i];
            if (c == QLatin1Char('\''))
                inLiteral = !inLiteral;
            if (inLiteral) {
                out += c;
            } else if (c == QLatin1Char('[') || c == QLatin1Char(']')) {
                out += QLatin1Char('"');
            } else if (c == QLatin1Char('?') && i + 1 < neutral.size() && neutral[i + 1].isDigit()) {
                out += QLatin1Char('$');
            } else {
                out += c;
            }
        }
        return out;
    }

    QString limit(int number) const override
    {
        // A NULL limit is no limit.
        return QStringLiteral(" LIMIT NULLIF(%1, -1)").arg(parameter(number));
    }
    QString like(const QString& text, const QString& pattern) const override
    {
        // The server's LIKE takes "\" as its escape by default; the file's has none.
        return text + QLatin1String(" ILIKE ") + pattern + QLatin1String(" ESCAPE ''");
    }
    QString foldedRange(const QString& column, int from, int to) const override
    {
        return QStringLiteral("lower(%1) >= %2 AND lower(%1) < %3").arg(column, parameter(from), parameter(to));
    }
    QString insertEnd() const override { return QStringLiteral(" RETURNING rowid"); }
    bool isServer() const override { return true; }
};

} // namespace

const Dialect& Dialect::sqlite()
{
    static const SqliteDialect dialect;
    return dialect;
}

const Dialect& Dialect::postgres()
{
    static const PostgresDialect dialect;
    return dialect;
}

} // namespace store
