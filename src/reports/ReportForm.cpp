#include "reports/ReportForm.h"

#include "common/Clock.h"
#include "printing/Twips.h"

#include <QComboBox>
#include <QGuiApplication>
#include <QLabel>
#include <QScreen>
#include <QWidget>

namespace reports {

namespace {

enum Role { Year, Month, Day };

Role roleOf(int index)
{
    switch (index) {
    case 0:
    case 3:
        return Year;
    case 1:
    case 4:
        return Month;
    default:
        return Day;
    }
}

QStringList entries(Role role)
{
    QStringList list;
    if (role == Year) {
        for (int year = 2009; year <= 2019; ++year)
            list << QString::number(year);
    } else {
        for (int n = 1, last = role == Month ? 12 : 31; n <= last; ++n)
            list << QStringLiteral("%1").arg(n, 2, 10, QLatin1Char('0'));
    }
    return list;
}

// Column of each role in a group: box left and width, then the label after it.
struct Place {
    int boxLeft;
    int boxWidth;
    int labelLeft;
    const char16_t* caption;
};
constexpr Place places[] = {
    {180, 735, 960, u"年"},
    {1200, 615, 1860, u"月"},
    {2100, 615, 2760, u"日"},
};

} // namespace

void addDateParts(DateParts& parts, int first, int count, QWidget* frame, int top)
{
    for (int i = first; i < first + count; ++i) {
        const Role role = roleOf(i);
        const Place& place = places[role];

        auto* box = new QComboBox(frame);
        box->setObjectName(QStringLiteral("Combo1_%1").arg(i));
        box->setEditable(true);
        box->setInsertPolicy(QComboBox::NoInsert);
        // Inline completion would turn a typed "1" into "10" behind the user's back.
        box->setCompleter(nullptr);
        box->addItems(entries(role));
        // The old boxes had a narrow arrow; the style's own leaves no room for a four-digit year.
        box->setStyleSheet(QStringLiteral("QComboBox { padding-left: 2px; } QComboBox::drop-down { width: 12px; }"));
        box->setGeometry(twips::rect(place.boxLeft, top, place.boxWidth, 300));
        parts[size_t(i)] = box;

        auto* label = new QLabel(QString::fromUtf16(place.caption), frame);
        // Sized to its text: the 180 twips of the old form were one character of its 9 pt.
        label->move(twips::toPixels(place.labelLeft), twips::toPixels(top + 60));
        label->adjustSize();
    }
}

void setDatePartsToToday(const DateParts& parts)
{
    const QDate today = Clock::today();
    const QString year = today.toString(QStringLiteral("yyyy"));
    const QString month = today.toString(QStringLiteral("MM"));
    parts[0]->setEditText(year);
    parts[1]->setEditText(month);
    parts[2]->setEditText(today.toString(QStringLiteral("dd")));
    parts[3]->setEditText(year);
    parts[4]->setEditText(month);
}

QString dayText(const DateParts& parts)
{
    return parts[0]->currentText() + QLatin1Char('-') + parts[1]->currentText() + QLatin1Char('-')
        + parts[2]->currentText();
}

QString monthText(const DateParts& parts)
{
    return parts[3]->currentText() + QLatin1Char('-') + parts[4]->currentText();
}

} // namespace reports
