#pragma once

#include <QString>

// The text of a record tree node is the patient's name, then the record key in square brackets:
// 张三[2026-12-06 09:15:02]. The key read back from it names the record in the log; Open and
// Delete go by the row the node was made from, as two records may share a key.
namespace recordnode {

// Record keys are the moment New was pressed, "yyyy-mm-dd hh:mm:ss".
constexpr qsizetype KeyLength = 19;

QString text(const QString& name, const QString& key);

// The KeyLength characters in front of the text's final "]", or an empty text when the text is
// too short to hold them.
QString key(const QString& text);

} // namespace recordnode
