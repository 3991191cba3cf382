#pragma once

#include <QString>
#include <array>

class QComboBox;
class QWidget;

// What the statistics and the outpatient log windows share: the same five date-part boxes with
// the same captions after them, the date defaults and the centring on load.
namespace reports {

// 0 to 2: year, month and day of the day query; 3 and 4: year and month of the month query.
using DateParts = std::array<QComboBox*, 5>;

// Creates the boxes first .. first + count - 1 inside a frame, with their "年", "月", "日" labels,
// the boxes' tops at top (twips, relative to the frame). Only a box's text counts, never its
// list position, so the boxes are editable and neither complete nor collect what is typed.
void addDateParts(DateParts& parts, int first, int count, QWidget* frame, int top);

// Today's year, two-digit month and two-digit day, from the program's clock.
void setDatePartsToToday(const DateParts& parts);

// The texts exactly as typed, joined with "-": nothing trimmed, no leading zero added.
QString dayText(const DateParts& parts);
QString monthText(const DateParts& parts);


} // namespace reports
