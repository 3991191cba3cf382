#include "store/NameGrams.h"

#include <algorithm>

namespace store::grams {

namespace {

// 姓名 holds at most ten characters (its CHECK): ten single grams, nine pairs.
constexpr int NameWidth = 10;

// The grams of a name as the file's engine cuts them, one SELECT each (a row may repeat a gram):
// substr counts characters and ends at a NUL, as LIKE does; lower() folds Latin letters only, as
// LIKE does. No subquery in a FROM: a trigger's NEW and OLD are not seen there.
QString gramsOf(const QString& name, const QString& row = {})
{
    QStringList parts;
    for (int n : {1, 2})
        for (int i = 1; i <= NameWidth - n + 1; ++i) {
            const QString gram = QStringLiteral("substr(lower(%1), %2, %3)").arg(name).arg(i).arg(n);
            parts << QStringLiteral("SELECT %1%2 WHERE %1 <> ''").arg(gram, row.isEmpty() ? QString() : QLatin1String(", ") + row);
        }
    return parts.join(QLatin1String(" UNION ALL "));
}

QString addGrams(const QString& row)
{
    return QStringLiteral("INSERT OR IGNORE INTO [姓名字组] ([字组], [档案]) %1;")
        .arg(gramsOf(row + QStringLiteral(".[姓名]"), row + QLatin1String(".rowid")));
}

// Each gram is found by the primary key, not by reading the table for the record.
QString dropGrams(const QString& row)
{
    return QStringLiteral("DELETE FROM [姓名字组] WHERE [档案] = %1.rowid AND [字组] IN (%2);")
        .arg(row, gramsOf(row + QStringLiteral(".[姓名]")));
}

// The grams of the records already there, at the positions from `from` to `to`, in the key's
// order, so the index is written by appending. In parts: the engine sorts in memory (it writes no
// names to a temporary file), and most grams lie in a name's first three characters.
QString fillSql(int from, int to)
{
    QStringList positions;
    for (int n : {1, 2})
        for (int i = from; i <= std::min(to, NameWidth - n + 1); ++i)
            positions << QStringLiteral("SELECT %1 AS i, %2 AS n").arg(i).arg(n);
    return QStringLiteral("INSERT OR IGNORE INTO [姓名字组] ([字组], [档案]) SELECT g, r FROM (SELECT "
                          "substr(lower(a.[姓名]), p.i, p.n) AS g, a.rowid AS r FROM [档案] AS a CROSS JOIN (%1) AS p "
                          "WHERE a.[姓名] IS NOT NULL) WHERE g <> '' ORDER BY g, r")
        .arg(positions.join(QLatin1String(" UNION ALL ")));
}

std::vector<IndexSql> fileObjects()
{
    const QString table = QStringLiteral("姓名字组");
    std::vector<IndexSql> objects{
        {table, QStringLiteral("CREATE TABLE IF NOT EXISTS [姓名字组] ([字组] TEXT NOT NULL, [档案] INTEGER NOT NULL, "
                               "PRIMARY KEY ([字组], [档案])) WITHOUT ROWID")},
        {QStringLiteral("档案_字组_增"), QStringLiteral("CREATE TRIGGER IF NOT EXISTS [档案_字组_增] AFTER INSERT ON [档案] "
                                                   "WHEN NEW.[姓名] IS NOT NULL BEGIN %1 END")
                                          .arg(addGrams(QStringLiteral("NEW")))},
        {QStringLiteral("档案_字组_删"), QStringLiteral("CREATE TRIGGER IF NOT EXISTS [档案_字组_删] AFTER DELETE ON [档案] "
                                                   "WHEN OLD.[姓名] IS NOT NULL BEGIN %1 END")
                                          .arg(dropGrams(QStringLiteral("OLD")))},
        {QStringLiteral("档案_字组_改"), QStringLiteral("CREATE TRIGGER IF NOT EXISTS [档案_字组_改] AFTER UPDATE OF [姓名] ON [档案] "
                                                   "BEGIN %1 %2 END")
                                          .arg(dropGrams(QStringLiteral("OLD")), addGrams(QStringLiteral("NEW")))},
    };
    for (const auto& [from, to] : {std::pair{1, 1}, {2, 2}, {3, 3}, {4, NameWidth}})
        objects.push_back({table, fillSql(from, to)});
    return objects;
}

std::vector<IndexSql> serverObjects()
{
    // The ctype of "C" folds Latin letters only, as ILIKE does on the C-collated column.
    return {
        {QStringLiteral("姓名字组"),
         QStringLiteral("CREATE OR REPLACE FUNCTION \"姓名字组\"(text) RETURNS text[] LANGUAGE sql IMMUTABLE STRICT "
                        "PARALLEL SAFE AS $$ SELECT coalesce(array_agg(DISTINCT substr(t.l, i, n)), '{}') "
                        "FROM (SELECT lower($1 COLLATE \"C\") AS l) AS t, generate_series(1, length(t.l)) AS i, "
                        "generate_series(1, 2) AS n WHERE i + n - 1 <= length(t.l) $$")},
        // An earlier build's index over the function, which the table's key replaces: it only
        // slowed every save.
        {QStringLiteral("档案_姓名字组"), QStringLiteral("DROP INDEX IF EXISTS \"档案_姓名字组\"")},
        // The table's key alone answers a name of one or two characters; a longer name's page
        // is read from its rarest gram's entries.
        {QStringLiteral("姓名字组"),
         QStringLiteral("CREATE TABLE IF NOT EXISTS \"姓名字组\" (\"字组\" text COLLATE \"C\" NOT NULL, "
                        "\"档案\" bigint NOT NULL, PRIMARY KEY (\"字组\", \"档案\"))")},
        {QStringLiteral("姓名字组_档案"),
         QStringLiteral("CREATE INDEX IF NOT EXISTS \"姓名字组_档案\" ON \"姓名字组\" (\"档案\")")},
        // As its owner, so that a desk's login needs no rights on the table to save or delete,
        // and with the schema it was made in, whatever the caller's path. An insert or delete
        // is done for all its rows at once (an upload's thousands in one statement); a change of
        // the name, which a column list allows only a row at a time, a row at a time.
        {QStringLiteral("档案_字组"),
         QStringLiteral("CREATE OR REPLACE FUNCTION \"档案_字组\"() RETURNS trigger LANGUAGE plpgsql SECURITY DEFINER "
                        "SET search_path FROM CURRENT AS $$ BEGIN "
                        "IF TG_LEVEL = 'ROW' THEN "
                        "DELETE FROM \"姓名字组\" WHERE \"档案\" = OLD.rowid; "
                        "INSERT INTO \"姓名字组\" SELECT g, NEW.rowid FROM unnest(\"姓名字组\"(NEW.\"姓名\")) AS g; "
                        "ELSIF TG_OP = 'INSERT' THEN "
                        "INSERT INTO \"姓名字组\" SELECT g, n.rowid FROM \"新\" AS n, unnest(\"姓名字组\"(n.\"姓名\")) AS g; "
                        "ELSE "
                        "DELETE FROM \"姓名字组\" AS s USING \"旧\" AS o WHERE s.\"档案\" = o.rowid; "
                        "END IF; RETURN NULL; END $$")},
        {QStringLiteral("档案_字组_增"),
         QStringLiteral("CREATE OR REPLACE TRIGGER \"档案_字组_增\" AFTER INSERT ON \"档案\" REFERENCING NEW TABLE AS \"新\" "
                        "FOR EACH STATEMENT EXECUTE FUNCTION \"档案_字组\"()")},
        {QStringLiteral("档案_字组_删"),
         QStringLiteral("CREATE OR REPLACE TRIGGER \"档案_字组_删\" AFTER DELETE ON \"档案\" REFERENCING OLD TABLE AS \"旧\" "
                        "FOR EACH STATEMENT EXECUTE FUNCTION \"档案_字组\"()")},
        {QStringLiteral("档案_字组_改"),
         QStringLiteral("CREATE OR REPLACE TRIGGER \"档案_字组_改\" AFTER UPDATE OF \"姓名\" ON \"档案\" "
                        "FOR EACH ROW EXECUTE FUNCTION \"档案_字组\"()")},
        // Made in the same transaction as the triggers, the table is empty only before its
        // first filling (a name always has a gram).
        {QStringLiteral("姓名字组"),
         QStringLiteral("INSERT INTO \"姓名字组\" SELECT g, a.rowid FROM \"档案\" AS a, unnest(\"姓名字组\"(a.\"姓名\")) AS g "
                        "WHERE a.\"姓名\" IS NOT NULL AND NOT EXISTS (SELECT 1 FROM \"姓名字组\")")},
    };
}

} // namespace

const char* const CountSql = "SELECT count(*) FROM (SELECT 1 FROM [姓名字组] WHERE [字组] = ?1 LIMIT ?2) AS c";
const char* const ServerTableSql =
    "SELECT count(*) FROM pg_catalog.pg_class c JOIN pg_catalog.pg_namespace n ON n.oid = c.relnamespace "
    "WHERE n.nspname = current_schema() AND c.relname = '姓名字组' AND c.relkind = 'r' "
    "AND has_table_privilege(c.oid, 'SELECT')";

std::optional<QStringList> ofTyped(const QString& typed)
{
    const QList<uint> chars = typed.toUcs4();
    if (chars.isEmpty())
        return std::nullopt;
    QStringList cut;
    for (uint ch : chars) {
        // What LIKE reads as U+FFFD (a lone surrogate, U+FFFE, U+FFFF), or seeks byte by byte
        // among the bytes of other characters (U+0080), or where it stops (NUL).
        const bool loose = ch == 0 || ch == 0x80 || (ch >= 0xD800 && ch <= 0xDFFF) || (ch >= 0xFFFD && ch <= 0xFFFF)
            || ch > 0x10FFFF;
        if (ch == '%' || ch == '_' || loose)
            return std::nullopt;
        const char32_t folded = ch >= 'A' && ch <= 'Z' ? ch + 32 : ch;
        cut << QString::fromUcs4(&folded, 1);
    }
    QStringList out;
    if (cut.size() == 1)
        out = cut;
    for (qsizetype i = 0; i + 1 < cut.size(); ++i)
        out << cut[i] + cut[i + 1];
    out.removeDuplicates();
    return out;
}

std::vector<IndexSql> objects(const Dialect& dialect)
{
    return dialect.isServer() ? serverObjects() : fileObjects();
}

} // namespace store::grams
