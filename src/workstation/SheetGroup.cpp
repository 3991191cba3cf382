#include "workstation/SheetGroup.h"

#include "common/Window.h"
#include "formats/PrescriptionText.h"
#include "store/Records.h"
#include "workstation/PrescriptionSheet.h"

#include <QFrame>
#include <QHBoxLayout>
#include <QKeyEvent>
#include <QLabel>
#include <QVBoxLayout>

namespace {

QLabel* link(const QString& text, const QString& objectName, const QString& style, QWidget* parent)
{
    auto* label = new QLabel(text, parent);
    label->setObjectName(objectName);
    label->setCursor(Qt::PointingHandCursor);
    label->setStyleSheet(style);
    return label;
}

} // namespace

SheetGroup::SheetGroup(QWidget* parent)
    : QWidget(parent)
{
    setObjectName(QStringLiteral("SheetGroup"));
    // Hidden, the sheet keeps its place: the panels beside it never move.
    QSizePolicy policy = sizePolicy();
    policy.setRetainSizeWhenHidden(true);
    setSizePolicy(policy);

    auto* row = new QHBoxLayout(this);
    row->setContentsMargins(0, 0, 0, 0);
    Picture2 = new PrescriptionPane(this);
    Text4 = Picture2->Text4;
    R1 = Picture2->R1;
    row->addWidget(Picture2, 0, Qt::AlignTop);

    auto* cardColumn = new QVBoxLayout;
    Picture1 = new CardPane(this);
    R2 = Picture1->R2;
    cardColumn->addWidget(Picture1);
    Label7 = link(QStringLiteral("打印注射卡"), QStringLiteral("Label7"),
                  QStringLiteral("color: blue; text-decoration: underline;"), this);
    m_cardPreviewLink = link(QStringLiteral("打印预览"), QStringLiteral("CardPreview"),
                             QStringLiteral("color: blue; text-decoration: underline; font-size: small;"), this);
    auto* links = new QHBoxLayout;
    links->addStretch();
    links->addWidget(Label7);
    links->addSpacing(12);
    links->addWidget(m_cardPreviewLink);
    links->addStretch();
    cardColumn->addLayout(links);
    cardColumn->addStretch();
    row->addLayout(cardColumn);

    m_cover = new QFrame(Picture2);
    m_cover->setObjectName(QStringLiteral("Cover"));
    m_cover->setAutoFillBackground(true);
    m_cover->setGeometry(Picture2->rect());
    m_cover->hide();

    for (int i = 0; i < int(Text4.size()); ++i) {
        connect(Text4[size_t(i)], &QLineEdit::textChanged, this, [this, i] { boxChanged(i); });
        Text4[size_t(i)]->installEventFilter(this);
    }
    for (QObject* watched : std::initializer_list<QObject*>{Picture1, Picture2, Label7, m_cardPreviewLink})
        watched->installEventFilter(this);
    connect(R1, &RichBox::clicked, this, &SheetGroup::sheetClicked);
}

void SheetGroup::boxChanged(int index)
{
    FieldBox* box = Text4[size_t(index)];
    if (index == 1) {
        if (box->text() == QStringLiteral("1"))
            box->setText(QStringLiteral("男"));
        else if (box->text() == QStringLiteral("2"))
            box->setText(QStringLiteral("女"));
        box->end(false);
    }
    // The card's header follows the sheet: name, sex and age, then the date.
    if (index <= 2)
        Picture1->Label6[1]->setText(Text4[0]->text() + QStringLiteral("，") + Text4[1]->text() + QStringLiteral("，")
                                     + Text4[2]->text());
    else if (index == 3)
        Picture1->Label6[2]->setText(box->text());
}

void SheetGroup::startNew(const QString& key, const QString& today, const QString& doctor, const QString& dispenser)
{
    for (FieldBox* box : Text4)
        box->clear();
    Text4[3]->setText(today);
    Picture2->Label10->setText(key);
    Text4[6]->setText(doctor);
    Text4[7]->setText(dispenser);
    Picture1->Label6[1]->clear();
    R2->clear();
    R1->clear();
}

store::PatientRecord SheetGroup::record()
{
    Text4[8]->setText(Text4[8]->text().replace(QStringLiteral("。"), QStringLiteral(".")));
    store::PatientRecord record;
    record.key = Picture2->Label10->text();
    std::optional<QString>* fields[] = {&record.name, &record.sex, &record.age, &record.date,
                                        &record.diagnosis, &record.address, &record.doctor, &record.dispenser};
    for (size_t i = 0; i < 8; ++i)
        *fields[i] = Text4[i]->text();
    record.prescription = prescription::toStoredRtf(R1->text());
    record.fee = store::Money::parse(Text4[8]->text());
    return record;
}

void SheetGroup::showRecord(const store::PatientRecord& r)
{
    Picture2->Label10->setText(r.key.value_or(QString()));
    const std::optional<QString>* fields[] = {&r.name, &r.sex, &r.age, &r.date, &r.diagnosis,
                                              &r.address, &r.doctor, &r.dispenser};
    for (size_t i = 0; i < 8; ++i)
        Text4[i]->setText(fields[i]->value_or(QString()));
    Text4[8]->setText(r.fee ? r.fee->toString() : QString());
    // A box shows the start of what was filled in, as it reads; not the end a caret left there.
    for (FieldBox* box : Text4)
        box->setCursorPosition(0);
    R1->setText(prescription::storedRtfToPlainText(r.prescription.value_or(QString())));
}

void SheetGroup::setTitle(const QString& clinicName) { Picture2->setTitle(clinicName + QStringLiteral("处方笺")); }

SheetGroup::Copy SheetGroup::copy() const
{
    Copy copied;
    for (size_t i = 0; i < Text4.size(); ++i)
        copied[i] = Text4[i]->text();
    copied[9] = R1->text();
    return copied;
}

void SheetGroup::paste(const Copy& copied)
{
    for (size_t i = 0; i < Text4.size(); ++i)
        if (i != 3) // the date stays today's
            Text4[i]->setText(copied[i]);
    R1->setText(copied[9]);
    R1->moveCaretToEnd();
    R1->setFocus();
}

void SheetGroup::setCovered(bool covered) { m_cover->setVisible(covered); }

QStringList SheetGroup::contents() const
{
    QStringList texts;
    for (const FieldBox* box : Text4)
        texts << box->text();
    texts << R1->text() << R2->text();
    return texts;
}

void SheetGroup::markUnchanged() { m_marked = contents(); }

bool SheetGroup::changedSinceMark() const { return contents() != m_marked; }

bool SheetGroup::eventFilter(QObject* watched, QEvent* event)
{
    const QEvent::Type type = event->type();
    if (type == QEvent::MouseButtonPress) {
        if (watched == Picture1 || watched == Picture2)
            emit sheetClicked();
        else if (watched == Label7)
            emit printCardRequested();
        else if (watched == m_cardPreviewLink)
            emit previewCardRequested();
    } else if (type == QEvent::MouseButtonRelease && watched == Text4[1]) {
        // A click toggles the sex between 男 and 女.
        Text4[1]->setText(Text4[1]->text() != QStringLiteral("男") ? QStringLiteral("男") : QStringLiteral("女"));
        Text4[1]->end(false);
    } else if (type == QEvent::KeyPress && qobject_cast<FieldBox*>(watched)) {
        // Enter walks on to the next box; Down has nothing to go to, except where a look-up
        // list takes it first.
        if (isEnterKey(event)) {
            focusNextChild();
            return true;
        }
        if (static_cast<QKeyEvent*>(event)->key() == Qt::Key_Down)
            return true;
    }
    return QWidget::eventFilter(watched, event);
}
