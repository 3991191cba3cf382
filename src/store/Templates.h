#pragma once

#include <QByteArray>
#include <QString>
#include <functional>
#include <span>

namespace store {

// The factory login password of a new patient-record file.
QString factoryPassword();

// Writes a new database file with every table and the shipped rows. The file is built under a
// temporary name and renamed into place, so an interrupted start never leaves a half-made file
// that a later start would keep. An existing file is never replaced: false then.
bool createRecordsFile(const QString& path);
bool createSettingsFile(const QString& path);

class CipherConnection;
struct Table;

// Writes a new encrypted file at `temporary` (replacing what a killed run left there): the
// tables with their indexes, then what `fill` puts in, in one transaction. The caller puts it
// in place; on failure, why says what the engine said.
bool writeDatabaseFile(const QString& temporary, const QByteArray& password, std::span<const Table* const> tables,
                       const std::function<bool(CipherConnection&)>& fill, QString* why = nullptr);

} // namespace store
