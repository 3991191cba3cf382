#pragma once

// A schema of its own on the throw-away server the test command starts (pg_virtualenv sets
// PGHOST, PGPORT, PGUSER and PGPASSWORD), so tests running side by side never see each other's
// rows. A test that needs the server fails, never skips, when there is none.

#include "store/postgres/PgConnection.h"
#include "store/postgres/Server.h"

#include <QRandomGenerator>
#include <QtTest>

class TestServer
{
public:
    explicit TestServer(bool initialize = true)
    {
        if (!qEnvironmentVariableIsSet("PGHOST") && !qEnvironmentVariableIsSet("PGPORT")) {
            m_error = QStringLiteral("no test server: run the tests under pg_virtualenv, as scripts/test.sh does");
            return;
        }
        m_admin = store::PgConnection::connect(QString(), &m_error);
        if (!m_admin)
            return;
        m_schema = QStringLiteral("t%1").arg(QRandomGenerator::global()->generate64() & 0xFFFFFFFFFFFF, 0, 16);
        if (!m_admin->execute(QStringLiteral("CREATE SCHEMA %1").arg(m_schema))) {
            m_error = m_admin->lastError();
            m_admin.reset();
            return;
        }
        if (initialize) {
            auto db = connect();
            if (!db || !store::initializeServer(*db, nullptr, &m_error))
                m_admin.reset();
        }
    }
    ~TestServer()
    {
        if (m_admin)
            m_admin->execute(QStringLiteral("DROP SCHEMA %1 CASCADE").arg(m_schema));
    }
    TestServer(const TestServer&) = delete;
    TestServer& operator=(const TestServer&) = delete;

    bool ok() const { return m_admin != nullptr; }
    QString error() const { return m_error; }
    // The libpq string a desk would be given for this server.
    QString conninfo() const
    {
        return QStringLiteral("application_name=%1 options='-c search_path=%1'").arg(m_schema);
    }
    std::unique_ptr<store::PgConnection> connect() const { return store::PgConnection::connect(conninfo()); }
    // Ends every session of the desks on this schema, as a server restart or a pulled cable
    // would.
    bool dropSessions()
    {
        store::Query q = m_admin->query(QStringLiteral(
            "SELECT count(pg_terminate_backend(pid)) FROM pg_stat_activity WHERE application_name = $1"));
        q.bind(1, m_schema);
        return q.next() && q.integer(0).value_or(0) > 0;
    }

private:
    std::unique_ptr<store::PgConnection> m_admin;
    QString m_schema;
    QString m_error;
};

#define REQUIRE_SERVER(server) QVERIFY2((server).ok(), qPrintable((server).error()))
