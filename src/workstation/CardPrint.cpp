#include "workstation/CardPrint.h"

#include "printing/PrinterPage.h"
#include "printing/PrintJob.h"
#include "store/Records.h"
#include "workstation/SheetLayout.h"

namespace printing {

PageOffsets cardOffsets(const std::optional<store::SettingsRow>& settings)
{
    if (!settings)
        return {};
    return {store::offsetMillimetres(settings->cardLeft), store::offsetMillimetres(settings->cardTop)};
}

PageOffsets cardOffsets(store::Store& store)
{
    return cardOffsets(store::readSettings(store));
}

void drawInjectionCard(PrinterPage& page, const CardContent& content, PageOffsets offsets)
{
    page.setScaleLeft(-offsets.leftMm * layout::TwipsPerMillimetre);
    page.setScaleTop(-offsets.topMm * layout::TwipsPerMillimetre);

    // The card prints at its screen size, labels in their screen fonts.
    const QString texts[] = {layout::str(layout::Label6[0].text), content.header, content.date};
    for (size_t i = 0; i < layout::Label6.size(); ++i) {
        const layout::Caption& caption = layout::Label6[i];
        page.setFontName(layout::str(caption.font));
        page.setFontSize(caption.printSize);
        page.setFontBold(caption.bold);
        page.setCurrentX(caption.left);
        page.setCurrentY(caption.top);
        page.print(texts[i]);
    }

    page.setFontName(layout::str(layout::CardTextFont));
    page.setFontSize(layout::CardTextSize);
    page.setFontBold(false);
    page.setCurrentX(layout::R2.left);
    page.setCurrentY(layout::R2.top);
    for (const QString& line : printedLines(content.text, layout::CardPrintLines)) {
        page.setCurrentX(layout::R2.left);
        page.setCurrentY(page.currentY() + layout::CardLineSpacing);
        page.print(line);
    }

    // The frame goes last, over the text, as the card has always been printed.
    for (const layout::Line& line : layout::Line5)
        page.drawLine(line.x1, line.y1, line.x2, line.y2);
}

QString cardJobName(const CardContent& content)
{
    const QString name = content.name.trimmed();
    return name.isEmpty() ? QStringLiteral("注射卡") : QStringLiteral("注射卡 ") + name;
}

bool printInjectionCard(const QString& printer, const CardContent& content, PageOffsets offsets)
{
    return printOnPrinter(printer, cardJobName(content),
                          [&](PrinterPage& page) { drawInjectionCard(page, content, offsets); });
}

void previewInjectionCard(QWidget* parent, const QString& printer, const CardContent& content, PageOffsets offsets)
{
    previewPrint(parent, [&](PrinterPage& page) { drawInjectionCard(page, content, offsets); }, printer);
}

} // namespace printing
