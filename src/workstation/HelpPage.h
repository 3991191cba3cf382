#pragma once

#include <QString>

// Writes the help page that ships inside the program to a file a browser can open, naming the
// folder that holds this desk's data. False when it cannot be written (the reason is logged).
bool writeHelpPage(const QString& path, const QString& dataFolder);
