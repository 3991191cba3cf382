#include "store/sqlcipher/CipherConnection.h"

#include "common/Log.h"
#include "store/Dialect.h"

#include <QFile>
#include <QFileInfo>
#include <cerrno>
#include <cstring>
#include <fcntl.h>
#include <sqlite3.h>
#include <unistd.h>

namespace store {

namespace {

QString errorOf(sqlite3* db)
{
    return db ? QString::fromUtf8(sqlite3_errmsg(db)) : QStringLiteral("out of memory");
}

// SQL text literal for the key pragma; the passwords are program constants, but quote them
// properly all the same.
QByteArray quoted(const QByteArray& text)
{
    QByteArray out = "'";
    for (char c : text) {
        out += c;
        if (c == '\'')
            out += '\'';
    }
    return out + "'";
}

bool run(sqlite3* db, const QByteArray& sql)
{
    return sqlite3_exec(db, sql.constData(), nullptr, nullptr, nullptr) == SQLITE_OK;
}

class CipherCursor final : public Cursor
{
public:
    explicit CipherCursor(sqlite3_stmt* stmt)
        : m_stmt(stmt)
    {
    }
    ~CipherCursor() override { sqlite3_finalize(m_stmt); }

    bool bind(int index, const Value& value) override
    {
        if (const auto* text = std::get_if<QString>(&value)) {
            const QByteArray utf8 = text->toUtf8();
            return sqlite3_bind_text(m_stmt, index, utf8.constData(), int(utf8.size()), SQLITE_TRANSIENT) == SQLITE_OK;
        }
        if (const auto* number = std::get_if<qint64>(&value))
            return sqlite3_bind_int64(m_stmt, index, *number) == SQLITE_OK;
        return sqlite3_bind_null(m_stmt, index) == SQLITE_OK;
    }

    Step step() override
    {
        switch (sqlite3_step(m_stmt)) {
        case SQLITE_ROW:
            return Step::Row;
        case SQLITE_DONE:
            return Step::Done;
        default:
            return Step::Failed;
        }
    }

    void reset() override
    {
        sqlite3_reset(m_stmt);
        sqlite3_clear_bindings(m_stmt);
    }

    int columnCount() const override { return sqlite3_column_count(m_stmt); }
    bool isNull(int column) const override { return sqlite3_column_type(m_stmt, column) == SQLITE_NULL; }

    std::optional<QString> text(int column) const override
    {
        // One call tells NULL from text: a NULL column has no text pointer, an empty text has one.
        const auto* data = reinterpret_cast<const char*>(sqlite3_column_text(m_stmt, column));
        if (!data)
            return std::nullopt;
        const int size = sqlite3_column_bytes(m_stmt, column);
        return size == 0 ? QString(QLatin1String("")) : QString::fromUtf8(data, size);
    }

    std::optional<qint64> integer(int column) const override
    {
        if (isNull(column))
            return std::nullopt;
        return sqlite3_column_int64(m_stmt, column);
    }

    QString sql() const override { return QString::fromUtf8(sqlite3_sql(m_stmt)); }

private:
    sqlite3_stmt* m_stmt;
};

} // namespace

CipherConnection::CipherConnection(sqlite3* db, QString path)
    : Connection(std::move(path))
    , m_db(db)
{
}

CipherConnection::~CipherConnection()
{
    clearCache();
    sqlite3_close_v2(m_db);
}

CipherConnection* asFile(Connection* db) { return dynamic_cast<CipherConnection*>(db); }

const Dialect& CipherConnection::dialect() const { return Dialect::sqlite(); }

QString CipherConnection::cipherVersion(sqlite3* db)
{
    QString version;
    sqlite3_stmt* stmt = nullptr;
    if (sqlite3_prepare_v2(db, "PRAGMA cipher_version", -1, &stmt, nullptr) == SQLITE_OK
        && sqlite3_step(stmt) == SQLITE_ROW)
        version = QString::fromUtf8(reinterpret_cast<const char*>(sqlite3_column_text(stmt, 0)));
    sqlite3_finalize(stmt);
    return version;
}

std::unique_ptr<CipherConnection> CipherConnection::openWithFlags(const QString& path, const QByteArray& password,
                                                                  int flags, QString* error)
{
    auto fail = [&](const QString& why) -> std::unique_ptr<CipherConnection> {
        qCWarning(lcStore) << "cannot open" << path << ":" << why;
        if (error)
            *error = why;
        return nullptr;
    };

    sqlite3* db = nullptr;
    const int rc = sqlite3_open_v2(path.toUtf8().constData(), &db, flags, nullptr);
    auto conn = std::unique_ptr<CipherConnection>(new CipherConnection(db, path));
    if (rc != SQLITE_OK)
        return fail(errorOf(db));

    // The cipher settings are pinned to SQLCipher 3's, so the files open with 3.x and 4.x alike.
    if (!run(db, "PRAGMA key = " + quoted(password)))
        return fail(errorOf(db));
    if (cipherVersion(db).startsWith(QLatin1Char('4'))) {
        if (!run(db, "PRAGMA cipher_compatibility = 3"))
            return fail(errorOf(db));
    } else if (!run(db, "PRAGMA cipher_page_size = 1024") || !run(db, "PRAGMA kdf_iter = 64000")) {
        return fail(errorOf(db));
    }
    sqlite3_busy_timeout(db, 10000);

    // Reading the schema is the first real read: it fails on a wrong password or a file that
    // is not one of ours, without writing anything to it.
    if (!run(db, "SELECT count(*) FROM sqlite_master"))
        return fail(errorOf(db));
    return conn;
}

std::unique_ptr<CipherConnection> CipherConnection::open(const QString& path, const QByteArray& password,
                                                         QString* error, bool readOnly)
{
    if (!QFileInfo(path).isFile()) {
        qCWarning(lcStore) << "cannot open" << path << ": no such file";
        if (error)
            *error = QStringLiteral("no such file");
        return nullptr;
    }
    return openWithFlags(path, password, (readOnly ? SQLITE_OPEN_READONLY : SQLITE_OPEN_READWRITE) | SQLITE_OPEN_NOMUTEX,
                         error);
}

std::unique_ptr<CipherConnection> CipherConnection::create(const QString& path, const QByteArray& password,
                                                           QString* error)
{
    // Made here, readable by its owner only: the engine would make it readable by everyone, and
    // its journals take the file's own permissions.
    const int fd = ::open(QFile::encodeName(path).constData(), O_CREAT | O_EXCL | O_WRONLY | O_CLOEXEC, 0600);
    if (fd < 0) {
        if (error)
            *error = errno == EEXIST ? QStringLiteral("file exists") : QString::fromLocal8Bit(std::strerror(errno));
        return nullptr;
    }
    ::close(fd);
    return openWithFlags(path, password, SQLITE_OPEN_READWRITE | SQLITE_OPEN_NOMUTEX, error);
}

std::unique_ptr<Cursor> CipherConnection::prepare(const QString& sql)
{
    sqlite3_stmt* stmt = nullptr;
    const QByteArray utf8 = sql.toUtf8();
    if (sqlite3_prepare_v2(m_db, utf8.constData(), int(utf8.size()), &stmt, nullptr) != SQLITE_OK) {
        sqlite3_finalize(stmt);
        return nullptr;
    }
    return std::make_unique<CipherCursor>(stmt);
}

bool CipherConnection::execute(const QString& sql)
{
    char* message = nullptr;
    if (sqlite3_exec(m_db, sql.toUtf8().constData(), nullptr, nullptr, &message) == SQLITE_OK)
        return true;
    qCWarning(lcStore) << "statement failed:" << sql.left(200) << ":" << message;
    sqlite3_free(message);
    return false;
}

QString CipherConnection::lastError() const { return errorOf(m_db); }
qint64 CipherConnection::lastInsertRowId() const { return sqlite3_last_insert_rowid(m_db); }
int CipherConnection::changes() const { return sqlite3_changes(m_db); }

} // namespace store
