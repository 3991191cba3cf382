#pragma once

#include <QWidget>
#include <array>

class CardPane;
class FieldBox;
class PrescriptionPane;
class QFrame;
class QLabel;
class RichBox;

namespace store {
struct PatientRecord;
}

// The prescription sheet with its injection card and their print links: what the doctor
// writes for one patient. The main window decides when it is shown, filled and saved.
class SheetGroup : public QWidget
{
    Q_OBJECT
public:
    explicit SheetGroup(QWidget* parent = nullptr);

    PrescriptionPane* prescriptionPane() const { return Picture2; }
    CardPane* cardPane() const { return Picture1; }
    FieldBox* box(int index) const { return Text4[size_t(index)]; }
    RichBox* prescriptionBox() const { return R1; }
    RichBox* cardBox() const { return R2; }

    // A new prescription: the record key and today's date, the doctor and dispenser of the
    // settings, everything else empty, the injection card too.
    void startNew(const QString& key, const QString& today, const QString& doctor, const QString& dispenser);
    // The record the sheet holds, its fee read from the box with "。" taken as "."; the box
    // shows the text that was read.
    store::PatientRecord record();
    // Shows a stored record; a field without a value shows empty.
    void showRecord(const store::PatientRecord& record);
    void setTitle(const QString& clinicName);

    // The ten copy slots: the nine boxes, then the prescription's plain text.
    using Copy = std::array<QString, 10>;
    Copy copy() const;
    // Everything but the date, which stays today's; the caret goes to the end of the prescription.
    void paste(const Copy& copy);

    // Covers the sheet while the program fills it, so half-filled boxes are never seen.
    void setCovered(bool covered);

    // Whether anything was typed since the last mark (New or Open).
    void markUnchanged();
    bool changedSinceMark() const;

signals:
    void sheetClicked(); // on the paper or the prescription, away from the look-up lists
    void printCardRequested();
    void previewCardRequested();

protected:
    bool eventFilter(QObject* watched, QEvent* event) override;

private:
    void boxChanged(int index);
    QStringList contents() const;

    PrescriptionPane* Picture2 = nullptr;
    CardPane* Picture1 = nullptr;
    std::array<FieldBox*, 9> Text4{};
    RichBox* R1 = nullptr;
    RichBox* R2 = nullptr;
    QLabel* Label7 = nullptr; // 打印注射卡
    QLabel* m_cardPreviewLink = nullptr;
    QFrame* m_cover = nullptr;
    QStringList m_marked;
};
