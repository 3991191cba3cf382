#pragma once

#include <QString>
#include <QStringList>

namespace store {

class Connection;
struct Table;

// The tables a clinic's desks share on the server, in the order they are made and copied.
// The 设置 row is not among them: it stays on each desk.
QStringList sharedTableNames();

// The shared tables, or their fields, the server lacks ("档案", "档案.收费").
QStringList missingServerTables(Connection& db);

// Makes the shared tables and their indexes where they are missing, all in one transaction, so
// a failure leaves the server as it was. What was made goes to `done`, in words for the user.
bool initializeServer(Connection& db, QStringList* done = nullptr, QString* error = nullptr);

// Makes the tables of laterTables() a server set up before them lacks, when those are all that
// `missing` (of missingServerTables) names; false when anything else is missing or they could
// not be made (the desk's user may have no right to), and the server is left as it was.
bool addLaterServerTables(Connection& db, const QStringList& missing);

// What "测试连接" reports.
struct ServerCheck {
    bool connected = false;
    QStringList missing; // shared tables not there yet
    QString error;       // why it did not connect
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
// `merge` says the user agreed to add to them; the password is then left as the server has it.
enum class Upload { Done, ServerHoldsRecords, Failed };
struct UploadResult {
    Upload outcome = Upload::Failed;
    QStringList copied; // "档案：1234 行", ... for the user
    QString error;
};
UploadResult uploadToServer(Connection& recordsFile, Connection& settingsFile, Connection& server, bool merge);

} // namespace store
