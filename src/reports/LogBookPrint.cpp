#include "reports/LogBookPrint.h"

#include "printing/PrinterPage.h"

#include <QAbstractItemModel>

namespace reports {

namespace {

using printing::PrinterPage;

const QString Song = QStringLiteral("宋体");

// The ruled table, in millimetres from the moved origin.
constexpr double TableLeft = 0;
constexpr double TableRight = 240;
constexpr double TableTop = 30;
constexpr double BandHeight = 7;
constexpr int HorizontalRules = 22; // the header band and twenty line bands
constexpr double TableBottom = TableTop + BandHeight * (HorizontalRules - 1); // 177
constexpr double VerticalRules[] = {0, 25, 35, 47, 100, 170, 207, 240};

constexpr double HeaderY = 32;
constexpr double FirstLineY = 39;
constexpr double FooterY = 178;

struct Column {
    const char16_t* header; // wider than the grid's where the band is wide
    double headerX;
    double lineX; // negative: nothing is printed in the band
};
constexpr Column Columns[] = {
    {u"姓    名", 2, 2},
    {u"性别", 26, 28},
    {u"年龄", 36, 36},
    {u"诊            断", 55, 48},
    {u"地            址", 117, 101},
    {u"就诊时间", 179, 171},
    {u"备    注", 214, -1},
};

QString cell(const QStringList& row, int column) { return column < row.size() ? row.at(column) : QString(); }

void drawFrame(PrinterPage& page, int pageNo, int pageCount, const std::function<QString()>& doctor)
{
    for (int k = 0; k < HorizontalRules; ++k) {
        const double y = TableTop + BandHeight * k;
        page.drawLine(TableLeft, y, TableRight, y);
    }
    for (double x : VerticalRules)
        page.drawLine(x, TableTop, x, TableBottom);

    page.setFontName(Song);
    page.setFontBold(true);
    page.setFontSize(22);
    page.setCurrentX(80);
    page.setCurrentY(20);
    page.print(QStringLiteral("门 诊 日 志 登 记 本"));

    page.setFontName(Song);
    page.setFontBold(true);
    page.setFontSize(12);
    for (const Column& column : Columns) {
        page.setCurrentX(column.headerX);
        page.setCurrentY(HeaderY);
        page.print(QString::fromUtf16(column.header));
    }

    page.setCurrentX(0);
    page.setCurrentY(FooterY);
    page.print(QStringLiteral("医生：") + (doctor ? doctor() : QString()));

    page.setCurrentX(215);
    page.setCurrentY(FooterY);
    page.print(QStringLiteral("第%1页共%2页").arg(pageNo).arg(pageCount));
}

} // namespace

QList<QStringList> logBookRows(const QAbstractItemModel* lines)
{
    QList<QStringList> rows;
    if (!lines)
        return rows;
    const int printedColumns = int(std::size(Columns)) - 1;
    const int rowCount = lines->rowCount();
    rows.reserve(rowCount);
    for (int r = 0; r < rowCount; ++r) {
        QStringList row;
        row.reserve(printedColumns);
        for (int c = 0; c < printedColumns; ++c)
            row << lines->index(r, c).data().toString();
        rows << row;
    }
    return rows;
}

void drawLogBook(PrinterPage& page, const QList<QStringList>& rows, const std::function<QString()>& doctor)
{
    page.setScaleUnit(PrinterPage::Unit::Millimetres);
    page.setScaleLeft(-20);
    page.setScaleTop(-10);
    page.setOrientation(QPageLayout::Landscape);

    // Counted with the header band as one more row. An empty result comes as the grid's one
    // empty line, so it still prints one page with an empty first band.
    const qsizetype gridRows = rows.size() + 1;
    const qsizetype pageCount = (gridRows - 2) / LogBookLinesPerPage + 1;
    int pageNo = 1;
    drawFrame(page, pageNo, int(pageCount), doctor);

    int rowOnPage = 0;
    double y = FirstLineY;
    for (const QStringList& row : rows) {
        if (++rowOnPage > LogBookLinesPerPage) {
            rowOnPage = 1;
            page.newPage();
            drawFrame(page, ++pageNo, int(pageCount), doctor);
            y = FirstLineY;
        }
        page.setFontBold(false);
        page.setCurrentY(y);
        for (int c = 0; c < int(std::size(Columns)); ++c) {
            if (Columns[c].lineX < 0)
                continue;
            page.setCurrentX(Columns[c].lineX);
            page.print(cell(row, c), PrinterPage::StayOnLine);
        }
        y += BandHeight;
    }
}

} // namespace reports
