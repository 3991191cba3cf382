#pragma once

#include <QString>

// The text of a record tree node is the patient's name, then the record key in square brackets:
// 张三[2026-12-06 09:15:02]. Open and Delete read the key back from that text alone.
namespace recordnode {

// Record keys are the moment New was pressed, "yyyy-mm-dd hh:mm:ss".
constexpr qsizetype KeyLength = 19;

QString text(const QString& name, const QString& key);

// The KeyLength characters in front of the text's final "]", or an empty text when the text is
// too short to hold them.
QString key(const QString& text);

} // namespace recordnode
