#pragma once

#include <QImage>
#include <QList>
#include <QMetaType>
#include <QProcess>
#include <QPointF>
#include <QRectF>
#include <QRegularExpression>
#include <QStandardPaths>
#include <QStringList>
#include <QTemporaryDir>
#include <QTest>

// Where ink lands on a printed page, read back from the PDF as poppler renders it, or on a
// pane as the screen shows it: the check that texts stay between the rules and inside the
// frames they were laid out for, whatever the faces' metrics say.

// A stretch down the page, in the print's logical units, that one run of ink rows must fill
// within: a rule (top == bottom) or a text line, whose ink must begin by inkBy.
struct Band {
    double top = 0;
    double bottom = 0;
    double inkBy = 0;
};
Q_DECLARE_METATYPE(Band)

inline Band rule(double y) { return {y, y, y}; }
// A text placed at y whose em box is em high: its glyphs stay inside the em box and start near
// its top (ideographs fill nearly all of it). extra: more lines of this text below it.
inline Band text(double y, double em, double extra = 0) { return {y, y + em + extra, y + em / 4}; }

struct InkRun {
    int first = 0; // rows, inclusive
    int last = 0;
};

// Page `page` (from 1) of a PDF as a grey image, the page's top-left corner at (0, 0).
inline QImage renderPdfPage(const QString& pdf, int page, int dpi)
{
    QTemporaryDir dir;
    const QString prefix = dir.filePath(QStringLiteral("page"));
    QProcess process;
    process.start(QStringLiteral("pdftoppm"), {"-gray", "-r", QString::number(dpi), "-f", QString::number(page), "-l",
                                               QString::number(page), "-singlefile", pdf, prefix});
    if (!process.waitForFinished(30000) || process.exitCode() != 0)
        return {};
    return QImage(prefix + QStringLiteral(".pgm"));
}

// The runs of rows that hold ink inside the area (pixels), top to bottom.
inline QList<InkRun> inkRuns(const QImage& page, const QRect& area)
{
    QList<InkRun> runs;
    const QRect inside = area & page.rect();
    for (int y = inside.top(); y <= inside.bottom(); ++y) {
        bool ink = false;
        for (int x = inside.left(); x <= inside.right() && !ink; ++x)
            ink = qGray(page.pixel(x, y)) < 128; // not the grey dots under a field box
        if (!ink)
            continue;
        if (!runs.isEmpty() && runs.last().last == y - 1)
            runs.last().last = y;
        else
            runs << InkRun{y, y};
    }
    return runs;
}

// Checks that the ink inside the area (logical units, `scale` pixels to the unit) falls into
// exactly these bands, each run of ink rows inside its own band, allowing a pixel for smoothing.
inline bool inkStaysInBands(const QImage& image, double scale, const QRectF& area, const QList<Band>& bands)
{
    const QRect pixels(QPoint(qRound(area.left() * scale), qRound(area.top() * scale)),
                       QPoint(qRound(area.right() * scale), qRound(area.bottom() * scale)));
    const QList<InkRun> runs = inkRuns(image, pixels);
    QStringList found;
    for (const InkRun& run : runs)
        found << QStringLiteral("%1-%2").arg(run.first / scale, 0, 'f', 0).arg((run.last + 1) / scale, 0, 'f', 0);
    const QString where = QStringLiteral("ink from-to: %1").arg(found.join(u' '));
    if (runs.size() != bands.size()) {
        qWarning("%d bands expected, %s", int(bands.size()), qPrintable(where));
        return false;
    }
    constexpr double slack = 1.5; // pixels
    for (int i = 0; i < bands.size(); ++i) {
        const Band& band = bands[i];
        const InkRun& run = runs[i];
        if (run.first < band.top * scale - slack || run.last + 1 > band.bottom * scale + slack
            || run.first > band.inkBy * scale + slack) {
            qWarning("run %d leaves %g-%g or starts after %g: %s", i + 1, band.top, band.bottom, band.inkBy, qPrintable(where));
            return false;
        }
    }
    return true;
}

// The same for page `page` of a PDF, positions from the sheet's corner, `unitsPerInch` to the inch.
inline bool pdfInkStaysInBands(const QString& pdf, int page, double unitsPerInch, const QRectF& area, const QList<Band>& bands)
{
    constexpr int dpi = 150;
    const QImage image = renderPdfPage(pdf, page, dpi);
    if (image.isNull()) {
        qWarning("page %d of %s could not be rendered", page, qPrintable(pdf));
        return false;
    }
    return inkStaysInBands(image, dpi / unitsPerInch, area, bands);
}

// Output of a poppler tool.
inline QString poppler(const QString& tool, const QStringList& arguments)
{
    QProcess process;
    process.start(tool, arguments);
    process.waitForFinished(30000);
    return QString::fromUtf8(process.readAllStandardOutput());
}

// How many pages the reader finds in a PDF; 0 when it cannot read the file (also one cut short).
inline int pdfPageCount(const QString& pdf)
{
    static const QRegularExpression pages(QStringLiteral(R"(Pages:\s+(\d+))"));
    return pages.match(poppler(QStringLiteral("pdfinfo"), {pdf})).captured(1).toInt();
}

// Top-left corner in points of a word on the sheet (letters only: the reader loses some
// digits of the CJK faces).
inline QPointF wordCorner(const QString& pdf, const QString& word)
{
    static const QRegularExpression pattern(QStringLiteral(R"re(xMin="([\d.]+)" yMin="([\d.]+)"[^>]*>([^<]*)<)re"));
    for (const QRegularExpressionMatch& m : pattern.globalMatch(poppler("pdftotext", {"-bbox", pdf, "-"})))
        if (m.captured(3) == word)
            return {m.captured(1).toDouble(), m.captured(2).toDouble()};
    return {-1, -1};
}

inline bool canRenderPdf() { return !QStandardPaths::findExecutable(QStringLiteral("pdftoppm")).isEmpty(); }
