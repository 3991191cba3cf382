#pragma once

#include <QString>

namespace startup {

// The folder that holds 数据库 and 数据库备份. A program installed under a system prefix (see
// isSystemInstall) always keeps them in the user's data folder, whoever runs it, root included:
// records in /usr/bin would be shared by every user and left behind when the package goes. A
// copy in a folder of its own, or a build from source, keeps them beside itself when files can
// be made there, otherwise in the user's data folder, made when missing. When nowhere takes
// files it says so in one message and returns an empty string, so the program never runs on
// without anywhere to keep what is typed.
QString chooseDataHome(const QString& programFolder, const QString& userFolder);

// Whether the program's folder is one the system's packages install programs into (/usr/bin,
// /usr/local/bin, /bin, ..., or this build's own installation folder), however it is reached.
bool isSystemInstall(const QString& programFolder);

// The user's data folder for this program, e.g. ~/.local/share/Qarvel.
QString userDataFolder();

} // namespace startup
