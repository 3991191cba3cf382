#pragma once

#include <QFont>
#include <QPageLayout>
#include <QPointF>
#include <QString>
#include <memory>
#include <vector>

class QPagedPaintDevice;
class QPainter;

namespace printing {

// What a page was asked to draw, in its logical units, for the tests (and anyone who wants to
// know what went to the printer). Positions are logical; onPage() gives the distance from the
// top-left corner of the printable area in the same unit.
struct PageOperation {
    enum Kind { Text, Line, NewPage, EndDocument };
    Kind kind = Text;
    int page = 1;        // 1 for the first page
    QPointF at;          // text: top-left corner; line: start point
    QPointF to;          // line: end point
    QPointF origin;      // (scale left, scale top) in effect
    QString text;        // text only
    QString fontName;    // text only
    double fontSize = 0; // points
    bool bold = false;
    bool endsLine = false;

    QPointF onPage() const { return at - origin; }
    QPointF toOnPage() const { return to - origin; }
};
using PageRecording = std::vector<PageOperation>;

// One print job on any paged device (a printer, a PDF file, a print preview), offered as the
// small set of operations the prescription, the injection card and the log book are written
// in: a unit (twips or millimetres), a movable origin, a font, a current position, texts with
// or without ending the line, lines, pages.
//
// Text is drawn with the top of its em box at current y, and one text line is one em (the font
// size), which ending a line adds to current y: the measure of the Windows faces the layouts
// were made with. The substitutes on Linux are taller, and their own ascent and line spacing
// would push text across the rules and frames below it (see fonts::emBoxAscent).
//
// Painting starts with the first thing drawn, so the orientation can still be chosen until
// then; changed later, it applies from the next page on. A failing device is logged once and
// the job goes on drawing nothing, which is what every caller wants: a print command never
// stops half-way with an error.
class PrinterPage
{
public:
    enum class Unit { Twips, Millimetres };
    enum LineEnd { EndLine, StayOnLine };

    // The device must outlive the page. A null device draws nothing (and fails).
    explicit PrinterPage(QPagedPaintDevice* device);
    // Ends the document when the caller did not, so a started job is never left open.
    ~PrinterPage();
    PrinterPage(const PrinterPage&) = delete;
    PrinterPage& operator=(const PrinterPage&) = delete;

    // Every following operation is also appended here (null: none).
    void setRecording(PageRecording* recording) { m_recording = recording; }

    // Changing the unit moves the origin back to the corner of the printable area (scale left
    // and top 0) and keeps the current point where it is on paper, in the new unit.
    void setScaleUnit(Unit unit);
    Unit scaleUnit() const { return m_unit; }
    // The logical coordinates of the printable area's top-left corner: −a and −b make logical
    // (x, y) print a units right of and b units below that corner.
    void setScaleLeft(double left) { m_origin.setX(left); }
    void setScaleTop(double top) { m_origin.setY(top); }
    double scaleLeft() const { return m_origin.x(); }
    double scaleTop() const { return m_origin.y(); }

    void setOrientation(QPageLayout::Orientation orientation);

    void setFontName(const QString& family) { m_font.setFamily(family); }
    void setFontSize(double points) { m_font.setPointSizeF(points); }
    void setFontBold(bool bold) { m_font.setBold(bold); }
    QString fontName() const { return m_font.family(); }
    double fontSize() const { return m_font.pointSizeF(); }
    bool fontBold() const { return m_font.bold(); }

    void setCurrentX(double x);
    void setCurrentY(double y) { m_current.setY(y); }
    double currentX() const;
    double currentY() const { return m_current.y(); }

    // Draws the text at the current point. EndLine: current y grows by textHeight() and current
    // x goes back to the left edge of the printable area. StayOnLine: current x moves behind
    // the text and current y stays.
    void print(const QString& text, LineEnd end = EndLine);
    // A black line between two logical points.
    void drawLine(double x1, double y1, double x2, double y2);
    // The following output goes to a fresh page; unit, origin, orientation and font stay, the
    // current point goes to the corner of the printable area.
    void newPage();
    // Completes the job; later operations are refused. False when anything failed on the way.
    bool endDocument();

    // One text line and a text's advance width in the current font, in logical units.
    double textHeight() const;
    double textWidth(const QString& text) const;

    bool failed() const { return m_failed; }

private:
    double unitsPerInch() const;
    QPointF toDevice(QPointF logical) const;
    QPainter* painter(const char* operation);
    void record(PageOperation op);
    double widthIn(const QFont& font, const QString& text) const;
    // Adds the advance of the text printed last on its line to current x.
    void advance();

    QPagedPaintDevice* m_device;
    std::unique_ptr<QPainter> m_painter;
    PageRecording* m_recording = nullptr;
    Unit m_unit = Unit::Twips;
    QPointF m_origin;
    QPointF m_current;
    // The text printed last, staying on its line, and its font: current x lies behind it. Most
    // callers set current x before the next text, so it is measured only when asked for (the
    // shaping is a good part of a page's cost).
    QString m_advanceText;
    QFont m_advanceFont;
    QFont m_font;
    int m_page = 1;
    bool m_ended = false;
    bool m_failed = false;
    bool m_startFailed = false;
};

} // namespace printing
