#pragma once

#include "store/Connection.h"

struct sqlite3;

namespace store {

// One open, keyed SQLCipher database file. Keying derives the key through tens of thousands
// of hash rounds, so a connection is opened once and kept for the whole run.
class CipherConnection final : public Connection
{
public:
    ~CipherConnection() override;

    // Opens an existing file (never creates one) and checks that the password opens it.
    // Returns null and logs why when the file is missing, damaged or not ours.
    // A read-only connection never writes, not even to roll back a journal left by a crash.
    static std::unique_ptr<CipherConnection> open(const QString& path, const QByteArray& password,
                                                  QString* error = nullptr, bool readOnly = false);
    // Creates a new, empty encrypted file; fails if the path exists.
    static std::unique_ptr<CipherConnection> create(const QString& path, const QByteArray& password,
                                                    QString* error = nullptr);

    bool execute(const QString& sql) override;
    const Dialect& dialect() const override;
    QString lastError() const override;
    qint64 lastInsertRowId() const override;
    int changes() const override;
    sqlite3* handle() const { return m_db; }

    // The SQLCipher library version, e.g. "3.4.1" or "4.5.6 community".
    static QString cipherVersion(sqlite3* db);

protected:
    std::unique_ptr<Cursor> prepare(const QString& sql) override;

private:
    CipherConnection(sqlite3* db, QString path);
    static std::unique_ptr<CipherConnection> openWithFlags(const QString& path, const QByteArray& password,
                                                           int flags, QString* error);
    sqlite3* m_db = nullptr;
};

// The file behind a connection of the store, or null when it is not one (a server).
CipherConnection* asFile(Connection* db);

} // namespace store
