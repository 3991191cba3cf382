#include "workstation/PrescriptionPrint.h"

#include "printing/PrinterPage.h"
#include "printing/PrintJob.h"
#include "store/Records.h"
#include "workstation/SheetLayout.h"

#include <QFont>
#include <QFontMetricsF>
#include <QImage>

namespace printing {

namespace {

// The prescription box prints in a font of its own, whatever the box shows on screen; on paper
// it matches the field values beside it.
constexpr const char16_t* TextFont = u"楷体_GB2312";
constexpr double TextSize = 11;

} // namespace

PageOffsets prescriptionOffsets(const std::optional<store::SettingsRow>& settings)
{
    if (!settings)
        return {};
    return {store::offsetMillimetres(settings->leftOffset), store::offsetMillimetres(settings->topOffset)};
}

PageOffsets prescriptionOffsets(store::Store& store)
{
    return prescriptionOffsets(store::readSettings(store));
}

int centredTitleLeft(const QString& title)
{
    // A device of 1440 dots per inch measures straight in twips.
    static const QImage twipsDevice = [] {
        QImage image(1, 1, QImage::Format_RGB32);
        image.setDotsPerMeterX(qRound(1440 / 0.0254));
        image.setDotsPerMeterY(qRound(1440 / 0.0254));
        return image;
    }();
    const layout::Caption& caption = layout::Label3[0];
    QFont font(layout::str(caption.font));
    font.setPointSizeF(caption.screenSize);
    font.setBold(caption.bold);
    const double width = QFontMetricsF(font, &twipsDevice).horizontalAdvance(title);
    return qRound((layout::PaneWidth - width) / 2);
}

QStringList printedLines(const QString& text, int maxLines)
{
    QStringList lines;
    const QString all = text + QStringLiteral("\r\n");
    qsizetype start = 0;
    while (start < all.size() && lines.size() < maxLines) {
        const qsizetype cr = all.indexOf(u'\r', start); // found: the text ends in one
        lines << all.mid(start, cr - start);
        start = cr + 1;
        if (start < all.size() && all.at(start) == u'\n')
            ++start;
    }
    return lines;
}

void drawPrescription(PrinterPage& page, const PrescriptionContent& content, PageOffsets offsets)
{
    constexpr double scale = layout::PrintScale;
    page.setScaleLeft(-offsets.leftMm * layout::TwipsPerMillimetre);
    page.setScaleTop(-offsets.topMm * layout::TwipsPerMillimetre);

    // Captions at their print size, in the name and weight they have on screen.
    for (size_t i = 0; i < layout::Label3.size(); ++i) {
        const layout::Caption& caption = layout::Label3[i];
        const bool title = i == 0;
        const int left = title ? content.titleLeft.value_or(centredTitleLeft(content.title)) : caption.left;
        page.setFontName(layout::str(caption.font));
        page.setFontSize(caption.printSize);
        page.setFontBold(caption.bold);
        page.setCurrentX(left * scale);
        page.setCurrentY(caption.top * scale);
        page.print(title ? content.title : layout::str(caption.text));
    }

    page.setFontName(layout::str(layout::FieldFont));
    page.setFontSize(layout::FieldPrintSize);
    page.setFontBold(false);
    for (size_t i = 0; i < layout::Text4.size(); ++i) {
        page.setCurrentX(layout::Text4[i].left * scale);
        page.setCurrentY(layout::Text4[i].top * scale);
        page.print(content.fields[i]);
    }

    for (const layout::Line& line : layout::Line1)
        page.drawLine(line.x1 * scale, line.y1 * scale, line.x2 * scale, line.y2 * scale);

    page.setFontName(layout::str(TextFont));
    page.setFontSize(TextSize);
    page.setFontBold(false);
    const double left = layout::R1.left * scale;
    page.setCurrentX(left);
    page.setCurrentY(layout::R1.top * scale);
    // Lines are never wrapped: a long one runs on past the box, as the paper allows.
    for (const QString& line : printedLines(content.text, layout::PrescriptionPrintLines)) {
        page.setCurrentX(left);
        page.setCurrentY(page.currentY() + layout::PrescriptionLineSpacing);
        page.print(line);
    }
}

QString prescriptionJobName(const PrescriptionContent& content)
{
    QStringList parts{QStringLiteral("处方"), content.fields[0].trimmed(), content.fields[3].trimmed()};
    parts.removeAll(QString()); // an empty name or date leaves no double blank
    return parts.join(u' ');
}

bool printPrescription(const QString& printer, const PrescriptionContent& content, PageOffsets offsets)
{
    return printOnPrinter(printer, prescriptionJobName(content),
                          [&](PrinterPage& page) { drawPrescription(page, content, offsets); });
}

void previewPrescription(QWidget* parent, const QString& printer, const PrescriptionContent& content, PageOffsets offsets)
{
    previewPrint(parent, [&](PrinterPage& page) { drawPrescription(page, content, offsets); }, printer);
}

} // namespace printing
