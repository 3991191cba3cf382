#pragma once

#include <QList>
#include <QString>
#include <QStringList>
#include <functional>

class QAbstractItemModel;

namespace printing {
class PrinterPage;
}

namespace reports {

// The log book has twenty lines to a page.
inline constexpr int LogBookLinesPerPage = 20;

// The lines the log book prints: every row of the log's model (a LogModel: its empty line too),
// columns 0 .. 5 as displayed. Column 6, the remarks, is never printed.
QList<QStringList> logBookRows(const QAbstractItemModel* lines);

// Draws the ruled, landscape log book of these lines in millimetres, with the origin 20 mm
// right of and 10 mm below the corner of the printable area: the frame, title, headers, doctor
// line and "第n页共m页" on every page, twenty lines to a page. The doctor is asked afresh for
// every page. Does not end the document.
void drawLogBook(printing::PrinterPage& page, const QList<QStringList>& rows, const std::function<QString()>& doctor);

} // namespace reports
