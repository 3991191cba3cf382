#pragma once

#include <QString>
#include <QStringList>

namespace store {

class Connection;
class PgConnection;
struct Table;

// The tables a clinic's desks share on the server, in the order they are made and copied.
// The 设置 row is not among them: it stays on each desk.
QStringList sharedTableNames();

// The shared tables, or their fields, the server lacks ("档案", "档案.收费").
QStringList missingServerTables(Connection& db);

// The shared tables this login may not read and write (SELECT, INSERT, UPDATE and DELETE).
QStringList serverTablesWithoutRights(Connection& db);

// Makes the shared tables and their indexes where they are missing, all in one transaction, so
// a failure leaves the server as it was. What was made goes to `done`, in words for the user.
bool initializeServer(Connection& db, QStringList* done = nullptr, QString* error = nullptr);

// Makes the tables of laterTables() a server set up before them lacks, when those are all that
// `missing` (of missingServerTables) names; false when anything else is missing or they could
// not be made (the desk's user may have no right to), and the server is left as it was.
bool addLaterServerTables(Connection& db, const QStringList& missing);

// A save sent again after its reply was lost must not store a second row. Each row a desk adds
// to 档案 or a dictionary on the server carries an identity the desk made for that save, in a
// column of its own the records' fields do not include (null on rows copied up or restored),
// unique, so that the second sending changes the row the first one stored.
QString saveIdentityColumn();
// Whether the server's rows of this table carry it.
bool carriesSaveIdentity(const Table& table);
// Adds the column where the server lacks it (init, or first use by a login that owns the
// tables); false when the tables still lack it, as a desk login without the right to change
// them finds. Known once per connection.
bool ensureSaveIdentity(PgConnection& db);

// What "测试连接" reports.
struct ServerCheck {
    bool connected = false;
    QStringList missing; // shared tables not there yet
    QString error;       // why it did not connect
    QStringList withoutRights; // shared tables this login may not use
    QString security;    // whether the link is encrypted and the server's certificate checked
    // What the user is told of tables without rights.
    static QString rightsText(const QStringList& tables);
    // One sentence for the user.
    QString text() const;
};
ServerCheck checkServer(const QString& conninfo);

// Adds every row of a table of one database to the same table of another, in row order; the
// number of rows, or -1 when a read or a write failed (the caller's transaction then undoes it).
qint64 copyRows(Connection& from, Connection& to, const Table& table);

// Copies a desk's own files up to the server: the records and password from 档案.dat, the
// dictionaries from 设置.dat, each table in row order, all in one transaction, so that a
// failure leaves the server as it was. A server that already holds records is refused unless
// `merge` says the user agreed to add to them; the password is then left as the server has it,
// if it has one. A server without records gets the desk's password in place of its own (the
// factory one init made).
enum class Upload { Done, ServerHoldsRecords, Failed };
struct UploadResult {
    Upload outcome = Upload::Failed;
    // What the server's 密码 holds, for the merge question: no row, a blank one, or a password.
    enum class Password { None, Blank, Set } serverPassword = Password::None;
    QStringList copied; // "档案：1234 行", ... for the user
    QString error;
};
UploadResult uploadToServer(Connection& recordsFile, Connection& settingsFile, Connection& server, bool merge);

} // namespace store
