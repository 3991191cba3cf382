#pragma once

#include <QString>
#include <QStringList>
#include <cstdio>
#include <optional>

namespace startup {

// What the program was started with, for administrators and scripts:
//   --server "<libpq string>"  this run uses that server ("" for the desk's own files), whatever
//                              this desk's 设置.dat names;
//   --init-server              with --server: makes the shared tables and their indexes there,
//                              prints what it did and ends, without any window;
//   --help, -h / --version     prints the usage / the version and ends, without any window.
// Anything else is left to the toolkit.
struct CommandLine {
    std::optional<QString> server;
    bool initServer = false;
    bool help = false;
    bool version = false;
    QString error; // why the arguments cannot be followed; empty when they can
};

CommandLine parseCommandLine(const QStringList& arguments); // arguments[0] is the program

// What --help prints: the options, where the data live, the exit statuses.
QString usageText();

// --init-server: what it did goes to `out`, a failure and its reason to `err`. The exit status.
int initServerCommand(const QString& conninfo, std::FILE* out = stdout, std::FILE* err = stderr);

} // namespace startup
