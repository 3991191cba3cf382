#pragma once

#include <QString>

namespace store {

// The factory login password of a new patient-record file.
QString factoryPassword();

// Writes a new database file with every table and the shipped rows. The file is built under a
// temporary name and renamed into place, so an interrupted start never leaves a half-made file
// that a later start would keep. An existing file is never replaced: false then.
bool createRecordsFile(const QString& path);
bool createSettingsFile(const QString& path);

} // namespace store
