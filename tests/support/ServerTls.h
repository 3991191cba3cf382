#pragma once

// Makes the throw-away test server speak TLS for as long as this lives: a certificate authority
// of its own signs a certificate for localhost and 127.0.0.1, and a second authority signs
// nothing, for a desk given the wrong one. The server's settings come back as they were at the
// end, so the tests after it meet the plain server again.

#include "store/postgres/PgConnection.h"

#include <QDeadlineTimer>
#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QProcess>
#include <QTemporaryDir>
#include <QThread>

#include <memory>
#include <unistd.h>

class ServerTls
{
public:
    ServerTls()
    {
        m_admin = store::PgConnection::connect(QString(), &m_error);
        if (!m_admin || !m_folder.isValid()) {
            m_error = m_error.isEmpty() ? QStringLiteral("no temporary folder") : m_error;
            return;
        }
        // The server runs as whoever owns its data (postgres when the tests run as root) and
        // takes a key only that user can read.
        store::Query q = m_admin->query(QStringLiteral("SELECT current_setting('data_directory')"));
        const QFileInfo data(q.next() ? q.string(0) : QString());
        if (!data.exists()) {
            m_error = QStringLiteral("the server's data folder is not on this machine");
            return;
        }
        QFile::setPermissions(m_folder.path(), QFileDevice::ReadOwner | QFileDevice::WriteOwner | QFileDevice::ExeOwner
                                                   | QFileDevice::ExeGroup | QFileDevice::ExeOther);
        if (!openssl({"req", "-x509", "-subj", "/CN=Qarvel test authority", "-keyout", "ca.key", "-out", "ca.crt"})
            || !openssl({"req", "-x509", "-subj", "/CN=another authority", "-keyout", "other.key", "-out", "other.crt"})
            || !openssl({"req", "-x509", "-subj", "/CN=localhost", "-addext", "subjectAltName=DNS:localhost,IP:127.0.0.1",
                         "-CA", "ca.crt", "-CAkey", "ca.key", "-keyout", "server.key", "-out", "server.crt"}))
            return;
        const QByteArray key = QFile::encodeName(file("server.key"));
        if (::chown(key.constData(), data.ownerId(), data.groupId()) != 0
            || !QFile::setPermissions(file("server.key"), QFileDevice::ReadOwner | QFileDevice::WriteOwner)
            || !QFile::setPermissions(file("server.crt"), QFileDevice::ReadOwner | QFileDevice::ReadGroup | QFileDevice::ReadOther)) {
            m_error = QStringLiteral("cannot hand the key to the server's user");
            return;
        }
        m_ok = configure({QStringLiteral("ssl_cert_file = '%1'").arg(file("server.crt")),
                          QStringLiteral("ssl_key_file = '%1'").arg(file("server.key")), QStringLiteral("ssl = on")},
                         QStringLiteral("on"));
        if (!m_ok)
            m_error = QStringLiteral("the server did not turn TLS on (see its log): ") + m_error;
    }
    ~ServerTls()
    {
        if (m_admin)
            configure({QStringLiteral("ssl"), QStringLiteral("ssl_cert_file"), QStringLiteral("ssl_key_file")},
                      QStringLiteral("off"), true);
    }
    ServerTls(const ServerTls&) = delete;
    ServerTls& operator=(const ServerTls&) = delete;

    bool ok() const { return m_ok; }
    QString error() const { return m_error; }
    // The authority that signed the server's certificate, and one that did not.
    QString authority() const { return file("ca.crt"); }
    QString otherAuthority() const { return file("other.crt"); }

private:
    QString file(const char* name) const { return QDir(m_folder.path()).filePath(QString::fromLatin1(name)); }

    bool openssl(QStringList arguments)
    {
        arguments << "-newkey" << "ec" << "-pkeyopt" << "ec_paramgen_curve:prime256v1" << "-nodes" << "-days" << "2";
        QProcess p;
        p.setWorkingDirectory(m_folder.path());
        p.start(QStringLiteral("openssl"), arguments);
        if (p.waitForFinished(30000) && p.exitStatus() == QProcess::NormalExit && p.exitCode() == 0)
            return true;
        m_error = QStringLiteral("openssl: ") + QString::fromLocal8Bit(p.readAllStandardError()) + p.errorString();
        return false;
    }

    // ALTER SYSTEM each setting (or RESET it), reload, and wait until a fresh session sees ssl as
    // wanted: the server takes a reload in its own time.
    bool configure(const QStringList& settings, const QString& wanted, bool reset = false)
    {
        for (const QString& setting : settings) {
            if (!m_admin->execute((reset ? QStringLiteral("ALTER SYSTEM RESET ") : QStringLiteral("ALTER SYSTEM SET ")) + setting)) {
                m_error = m_admin->lastError();
                return false;
            }
        }
        if (!m_admin->execute(QStringLiteral("SELECT pg_reload_conf()"))) {
            m_error = m_admin->lastError();
            return false;
        }
        for (QDeadlineTimer deadline(10000); !deadline.hasExpired(); QThread::msleep(50)) {
            auto fresh = store::PgConnection::connect(QString());
            store::Query q = fresh ? fresh->query(QStringLiteral("SHOW ssl")) : store::Query::invalid();
            if (q.next() && q.string(0) == wanted)
                return true;
        }
        return false;
    }

    QTemporaryDir m_folder;
    std::unique_ptr<store::PgConnection> m_admin;
    QString m_error;
    bool m_ok = false;
};
