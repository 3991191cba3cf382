#pragma once

#include "store/Store.h"
#include "store/Templates.h"

#include <QDir>
#include <QFile>
#include <QTemporaryDir>
#include <memory>

// A fresh program folder per test, optionally with both template databases in place.
class ProgramFolder
{
public:
    explicit ProgramFolder(bool withDatabases = true)
    {
        if (withDatabases) {
            QDir().mkpath(store().dataFolder());
            store::createRecordsFile(store().recordsPath());
            store::createSettingsFile(store().settingsPath());
        }
    }

    QString path() const { return m_dir.path(); }
    store::Store& store() { return *m_store; }
    QString file(const QString& relative) const { return QDir(m_dir.path()).filePath(relative); }

    // Marks a file read-only the way a user would; the store then opens it for reading only, even
    // for a user the system would let write anyway.
    void makeReadOnly(const QString& path)
    {
        m_store->close();
        QFile::setPermissions(path, QFileDevice::ReadOwner | QFileDevice::ReadGroup | QFileDevice::ReadOther);
    }

    static QByteArray bytes(const QString& path)
    {
        QFile f(path);
        return f.open(QIODevice::ReadOnly) ? f.readAll() : QByteArray();
    }

private:
    QTemporaryDir m_dir;
    std::unique_ptr<store::Store> m_store = std::make_unique<store::Store>(m_dir.path());
};
