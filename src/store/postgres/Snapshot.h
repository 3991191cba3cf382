#pragma once

#include <QString>

namespace store {

// A backup day's copy of a clinic that keeps its records on a server: the shared tables as
// one moment saw them (a single REPEATABLE READ transaction), written with this desk's 设置
// row into ordinary 档案.dat and 设置.dat files in `folder`. Such a folder is a working
// one-desk clinic: restoring it is pointing a desk at it. Each file is written under a
// temporary name, checked and only then renamed over an earlier copy, so the folder never
// holds half a file. On failure, why says what went wrong.
bool snapshotServer(const QString& conninfo, const QString& deskSettingsPath, const QString& folder,
                    QString* why = nullptr);

} // namespace store
