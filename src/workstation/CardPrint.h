#pragma once

#include "workstation/PrescriptionPrint.h"

#include <QString>
#include <optional>

class QWidget;

namespace printing {

// The card's own pair of offsets (上边距1, 左边距1), read like the prescription's.
PageOffsets cardOffsets(const std::optional<store::SettingsRow>& settings);
PageOffsets cardOffsets(store::Store& store);

// What the injection card shows, as plain texts.
struct CardContent {
    QString header; // name，sex，age, as the card's header label shows it
    QString date;   // the visit date label
    QString text;   // the injection box, lines separated by CR LF
    QString name;   // the patient's name alone, for the job's name
};

// The card at its screen size, moved by the offsets: title, header, date, at most 15 lines of
// the injection text, then the frame. Does not end the document.
void drawInjectionCard(PrinterPage& page, const CardContent& content, PageOffsets offsets);

// The job's name in the printer's queue, "注射卡 张三".
QString cardJobName(const CardContent& content);

// On the named printer; false (logged) when there is none or the job failed.
bool printInjectionCard(const QString& printer, const CardContent& content, PageOffsets offsets);
// The 打印预览 window of the same print on that printer's paper.
void previewInjectionCard(QWidget* parent, const QString& printer, const CardContent& content, PageOffsets offsets);

} // namespace printing
