#include "printing/PrinterPage.h"

#include "common/Log.h"
#include "printing/Fonts.h"

#include <QFontMetricsF>
#include <QImage>
#include <QPagedPaintDevice>
#include <QPainter>
#include <QPen>

namespace printing {

namespace {

constexpr double TwipsPerInch = 1440;
constexpr double MillimetresPerInch = 25.4;
constexpr double PointsPerInch = 72;

// The old clinic printers drew a one-dot rule at 300 dpi; a hairline on a 1200 dpi device
// would all but vanish, so rules keep that width whatever the resolution.
constexpr double LineWidthInches = 1.0 / 300;

// Measures text when there is no device to ask.
const QPaintDevice& fallbackMetricsDevice()
{
    static const QImage image = [] {
        QImage i(1, 1, QImage::Format_RGB32);
        i.setDotsPerMeterX(qRound(1200 / 0.0254));
        i.setDotsPerMeterY(qRound(1200 / 0.0254));
        return i;
    }();
    return image;
}

} // namespace

PrinterPage::PrinterPage(QPagedPaintDevice* device)
    : m_device(device)
{
    // What a Chinese Windows printer starts with before a caller picks a font.
    m_font.setFamily(QStringLiteral("宋体"));
    m_font.setPointSizeF(9);
}

PrinterPage::~PrinterPage()
{
    if (!m_ended)
        endDocument();
}

void PrinterPage::setScaleUnit(Unit unit)
{
    if (unit == m_unit)
        return;
    advance();
    const double factor = (unit == Unit::Twips ? TwipsPerInch : MillimetresPerInch) / unitsPerInch();
    m_current = (m_current - m_origin) * factor;
    m_origin = QPointF();
    m_unit = unit;
}

void PrinterPage::setOrientation(QPageLayout::Orientation orientation)
{
    if (!m_device) {
        qCWarning(lcPrinting) << "orientation: no device";
        m_failed = true;
        return;
    }
    if (!m_device->setPageOrientation(orientation)) {
        qCWarning(lcPrinting) << "orientation: the device refused" << orientation;
        m_failed = true;
    }
}

void PrinterPage::setCurrentX(double x)
{
    m_advanceText.clear();
    m_current.setX(x);
}

double PrinterPage::currentX() const
{
    return m_current.x() + (m_advanceText.isEmpty() ? 0 : widthIn(m_advanceFont, m_advanceText));
}

void PrinterPage::advance()
{
    m_current.setX(currentX());
    m_advanceText.clear();
}

void PrinterPage::print(const QString& text, LineEnd end)
{
    advance();
    if (QPainter* p = painter("print")) {
        // The em box, not the taller substitute's ascent, starts at current y.
        const double baseline = fonts::emBoxAscent(m_font) * fonts::emPixels(m_font, *m_device);
        p->setFont(m_font);
        p->drawText(toDevice(m_current) + QPointF(0, baseline), text);
    }

    PageOperation op;
    op.kind = PageOperation::Text;
    op.at = m_current;
    op.text = text;
    op.fontName = m_font.family();
    op.fontSize = m_font.pointSizeF();
    op.bold = m_font.bold();
    op.endsLine = end == EndLine;
    record(std::move(op));

    if (end == EndLine) {
        m_current = QPointF(m_origin.x(), m_current.y() + textHeight());
    } else {
        m_advanceText = text;
        m_advanceFont = m_font;
    }
}

void PrinterPage::drawLine(double x1, double y1, double x2, double y2)
{
    if (QPainter* p = painter("line")) {
        p->setPen(QPen(Qt::black, LineWidthInches * m_device->logicalDpiX(), Qt::SolidLine, Qt::SquareCap));
        p->drawLine(toDevice({x1, y1}), toDevice({x2, y2}));
    }
    PageOperation op;
    op.kind = PageOperation::Line;
    op.at = QPointF(x1, y1);
    op.to = QPointF(x2, y2);
    record(std::move(op));
}

void PrinterPage::newPage()
{
    if (painter("new page") && !m_device->newPage()) {
        qCWarning(lcPrinting) << "new page: the device refused";
        m_failed = true;
    }
    ++m_page;
    m_current = m_origin;
    m_advanceText.clear();
    PageOperation op;
    op.kind = PageOperation::NewPage;
    record(std::move(op));
}

bool PrinterPage::endDocument()
{
    if (m_ended) {
        qCWarning(lcPrinting) << "end document: the document has already ended";
        return false;
    }
    m_ended = true;
    if (m_painter && m_painter->isActive() && !m_painter->end()) {
        qCWarning(lcPrinting) << "end document: the device did not finish the job";
        m_failed = true;
    }
    m_painter.reset();
    PageOperation op;
    op.kind = PageOperation::EndDocument;
    record(std::move(op));
    return !m_failed;
}

double PrinterPage::textHeight() const
{
    return m_font.pointSizeF() / PointsPerInch * unitsPerInch();
}

double PrinterPage::textWidth(const QString& text) const
{
    return widthIn(m_font, text);
}

double PrinterPage::widthIn(const QFont& font, const QString& text) const
{
    const QPaintDevice* device = m_device ? m_device : &fallbackMetricsDevice();
    QFontMetricsF metrics(font, device);
    return metrics.horizontalAdvance(text) * unitsPerInch() / device->logicalDpiX();
}

double PrinterPage::unitsPerInch() const
{
    return m_unit == Unit::Twips ? TwipsPerInch : MillimetresPerInch;
}

QPointF PrinterPage::toDevice(QPointF logical) const
{
    const QPointF fromCorner = logical - m_origin;
    return {fromCorner.x() * m_device->logicalDpiX() / unitsPerInch(),
            fromCorner.y() * m_device->logicalDpiY() / unitsPerInch()};
}

QPainter* PrinterPage::painter(const char* operation)
{
    if (m_ended) {
        qCWarning(lcPrinting) << operation << ": the document has already ended";
        m_failed = true;
        return nullptr;
    }
    if (m_painter)
        return m_painter.get();
    if (m_startFailed)
        return nullptr; // said once
    if (!m_device) {
        qCWarning(lcPrinting) << operation << ": no device to print on";
        m_failed = m_startFailed = true;
        return nullptr;
    }
    auto p = std::make_unique<QPainter>();
    if (!p->begin(m_device)) {
        qCWarning(lcPrinting) << operation << ": the device could not start the job";
        m_failed = m_startFailed = true;
        return nullptr;
    }
    p->setRenderHint(QPainter::Antialiasing);
    p->setRenderHint(QPainter::TextAntialiasing);
    m_painter = std::move(p);
    return m_painter.get();
}

void PrinterPage::record(PageOperation op)
{
    if (!m_recording)
        return;
    op.page = m_page;
    op.origin = m_origin;
    m_recording->push_back(std::move(op));
}

} // namespace printing
