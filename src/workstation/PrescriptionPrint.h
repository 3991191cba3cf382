#pragma once

#include <QString>
#include <QStringList>
#include <array>
#include <optional>

class QWidget;

namespace store {
class Store;
struct SettingsRow;
} // namespace store

namespace printing {

class PrinterPage;

// A pair of print offsets in whole millimetres: how far the print is moved right and down
// so that it meets the pre-printed paper.
struct PageOffsets {
    int leftMm = 0;
    int topMm = 0;
};

// Read at print time, so a change in the settings window counts at once. A missing settings
// row, or an offset that is empty or not a number, counts as 0.
PageOffsets prescriptionOffsets(const std::optional<store::SettingsRow>& settings);
PageOffsets prescriptionOffsets(store::Store& store);

// What the prescription pane shows, as plain texts.
struct PrescriptionContent {
    QString title; // clinic name + "处方笺"
    // The title's left edge on the pane in twips; unset: centred as centredTitleLeft() does.
    std::optional<int> titleLeft;
    std::array<QString, 9> fields; // the field boxes, in the order of layout::Text4
    QString text;                  // the prescription box, lines separated by CR LF
};

// Where the sheet puts a title of this text so that it stands centred on the pane, in twips,
// measured in the title's screen font.
int centredTitleLeft(const QString& title);

// The lines a print takes from a box's text, at most maxLines. The text is read as if a CR LF
// followed it; a line ends at a CR or a CR LF (neither belongs to it), a lone LF stays in its
// line. So a text ending in CR LF has a last empty line, and an empty text one empty line.
QStringList printedLines(const QString& text, int maxLines);

// The pane enlarged by layout::PrintScale and moved by the offsets: captions, field values,
// ruling lines, then at most 20 lines of the prescription text. Does not end the document.
void drawPrescription(PrinterPage& page, const PrescriptionContent& content, PageOffsets offsets);

// The job's name in the printer's queue, "处方 张三 2026-12-09": what, whose, which day.
QString prescriptionJobName(const PrescriptionContent& content);

// On the named printer; false (logged) when there is none or the job failed.
bool printPrescription(const QString& printer, const PrescriptionContent& content, PageOffsets offsets);
// The 打印预览 window of the same print on that printer's paper.
void previewPrescription(QWidget* parent, const QString& printer, const PrescriptionContent& content, PageOffsets offsets);

} // namespace printing
