#pragma once

#include <QString>

namespace startup {

// The folder that holds 数据库 and 数据库备份: the program's own folder when files can be made
// in it (a copy in a folder of its own, a source build), otherwise the user's data folder,
// made when missing (an installed package, whose /usr/bin nobody but root may write). When
// neither takes files it says so in one message and returns an empty string, so the program
// never runs on without anywhere to keep what is typed.
QString chooseDataHome(const QString& programFolder, const QString& userFolder);

// The user's data folder for this program, e.g. ~/.local/share/Qarvel.
QString userDataFolder();

} // namespace startup
