#pragma once

#include "store/Connection.h"
#include "store/FileCheck.h"
#include "store/postgres/PgConnection.h"
#include "store/sqlcipher/CipherConnection.h"
#include "store/Schema.h"
#include "store/Statements.h"

#include <QHash>
#include <QString>
#include <functional>
#include <memory>
#include <optional>
#include <vector>

namespace store {

enum class Deleted { One, None, Failed };

// What is wrong with a row before the store would refuse it.
struct Refusal {
    enum Kind { None, Empty, TooLong, NotText, NotMoney };
    Kind kind = None;
    int field = -1; // index in stored order
    QString fieldName;
    explicit operator bool() const { return kind != None; }
};

using Row = std::vector<Value>; // one value per field, in stored order

// The same rules the table checks enforce, so a window can say which value is refused.
Refusal checkRow(const Table& table, const Row& row);

// The program's two database files in <program folder>/数据库, each opened once with its own
// fixed password on first use and kept open for the run. The "program folder" is where the data
// live: the executable's own folder, or the user's data folder when that one is read-only.
//
// A clinic of several desks keeps the patient records, the password and the dictionaries on
// one server instead; the 设置 row (doctor, dispenser, print offsets) stays in each desk's own
// 设置.dat, since each desk has its own doctor and printer. The server is never swapped for
// the files behind the user's back: while it cannot be reached, there are no records at all.
class Store
{
public:
    explicit Store(QString programFolder);
    ~Store();

    static QByteArray recordsPassword();  // 档案.dat
    static QByteArray settingsPassword(); // 设置.dat

    QString programFolder() const { return m_programFolder; }
    QString dataFolder() const;
    QString recordsPath() const;  // 数据库/档案.dat
    QString settingsPath() const; // 数据库/设置.dat

    // The open connection, or null when the file cannot be opened or is not as it must be
    // (missing, damaged, not ours, a table or field missing); such a file is never written to.
    // The failure is logged once and not retried during the run. A file marked read-only is
    // opened for reading only.
    Connection* records();      // 档案 and 密码
    Connection* dictionaries(); // 药品, 诊断 and 地址
    CipherConnection* settings(); // 设置, always this desk's file
    // What was found wrong when the file was opened (opening it first if need be).
    FileProblem recordsProblem();
    FileProblem settingsProblem();
    // Closes every connection, so a following call opens them afresh.
    void close();

    // Uses the server of this libpq connection string for the shared tables from now on; an
    // empty string goes back to the files.
    void useServer(const QString& conninfo);
    bool onServer() const { return !m_serverInfo.isEmpty(); }
    const QString& serverInfo() const { return m_serverInfo; }
    // Why the server cannot be used (unreachable, refused, tables missing), empty when it can.
    // Connects on first use; a failure is remembered until retryServer().
    QString serverProblem();
    void retryServer();
    // What the user is told when a change could not be stored; `what` says what was not done
    // ("处方未保存。"). A clinic's server that went away is named with the reason, never passed
    // off as a file that cannot be written.
    QString notWritten(const QString& what);
    // Whether the records carry the table of their names' grams, and this login may read it: a
    // file opened for reading only that was made before it, a server not initialized since, or
    // a desk's login without the right to read it does not. Asked once a connection.
    bool hasNameGrams();
    // Whether the server has an index of this name (asked once a connection); a server
    // initialized before the index was added has not, until it is initialized again.
    bool serverHasIndex(const QString& name);
    // Whether the last change sent to the server got no answer, so that it may have been done.
    bool lastChangeUnanswered() const;

    // Indexes missing from a file that passed its checks are built when it is opened, which takes
    // a while on a large file. The runner is given that work and returns once it is done, so the
    // program can show that it is busy meanwhile; without one it runs where it is.
    using SlowWorkRunner = std::function<void(const std::function<void()>& work)>;
    void setSlowWorkRunner(SlowWorkRunner runner) { m_slowWork = std::move(runner); }

    // --- The access operations every window uses ---

    // Runs a SELECT; read rows with next(). At most limit rows when limit >= 0.
    static Query select(Connection* db, const Select& select, int limit = -1);
    // Adds a row; the new row's identity, or std::nullopt when the store refuses it (nothing
    // of it is written then). On a server whose table carries save identities the row carries
    // `saveId` (a new one when empty): the same save sent again stores no second row but changes
    // the one the first sending stored, and `earlier` then says it was there already.
    static std::optional<qint64> insert(Connection* db, const Table& table, const Row& row,
                                        const QString& saveId = QString(), bool* earlier = nullptr);
    // Adds rows in their order, all or (within the caller's transaction) none: false when one
    // is refused or a write fails. A server gets them many to a statement, a round trip each.
    static bool insertMany(Connection* db, const Table& table, const std::vector<Row>& rows);
    // Changes the first row of the table in row order; false when there is none or it is refused.
    static bool updateFirst(Connection* db, const Table& table, const Row& row);
    // Changes the given fields (index → value) of the first row, leaving the others; false when
    // there is no row or the change is refused.
    static bool updateFirstFields(Connection* db, const Table& table, const std::vector<std::pair<int, Value>>& fields);
    // Rewrites the row with this identity; false when it is gone or the row is refused.
    static bool updateRow(Connection* db, const Table& table, qint64 rowId, const Row& row);
    // Deletes only the first row that the SELECT yields. None when it yields none; Failed when
    // the file could not be read or written, and the row is still there.
    static Deleted deleteFirst(Connection* db, const Select& select);
    // Deletes the row with this identity; false when it is gone.
    static bool deleteRow(Connection* db, const Table& table, qint64 rowId);
    // Number of rows the SELECT yields, without reading them.
    static qint64 count(Connection* db, const Select& select);

private:
    struct File {
        std::unique_ptr<CipherConnection> connection;
        FileProblem problem;
        bool tried = false;
        std::optional<bool> grams;
    };
    File& opened(File& file, const QString& path, const QByteArray& password, std::span<const Table* const> tables);
    void addIndexes(CipherConnection& db, const QStringList& sql);

    PgConnection* server();

    QString m_programFolder;
    File m_records;
    File m_settings;
    QString m_serverInfo;
    struct Server {
        std::unique_ptr<PgConnection> connection;
        QString problem;
        bool tried = false;
        std::optional<bool> gramTable;
        QHash<QString, bool> indexes;
    } m_server;
    SlowWorkRunner m_slowWork;
};

} // namespace store
