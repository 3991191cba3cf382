#pragma once

#include <QByteArray>
#include <QList>
#include <QString>
#include <QStringList>

class QAbstractItemModel;

namespace reports {

// Comma-separated values as RFC 4180 has them: a field holding a comma, a quotation mark or a
// line break is quoted, with its quotation marks doubled; records end with CR LF. UTF-8 with a
// byte-order mark in front, which is how Excel and WPS recognise Chinese text in a CSV file.
// A field that begins with "=", "+", "-", "@", a tab or a carriage return gets an apostrophe in
// front, so no spreadsheet takes it for a formula.
QByteArray logCsv(const QList<QStringList>& rows);

// Saves the rows, or the horizontal header's captions and then every row of the model (the
// log's model: its empty line too) with all its columns, as displayed. The file is
// written under a temporary name and renamed, so a failed export never leaves half a file in
// place of an earlier one. False when it could not be written (logged).
bool writeLogCsv(const QString& path, const QList<QStringList>& rows);
bool writeLogCsv(const QString& path, const QAbstractItemModel* lines);

} // namespace reports
