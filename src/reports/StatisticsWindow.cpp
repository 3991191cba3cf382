#include "reports/StatisticsWindow.h"

#include "common/Log.h"
#include "common/Window.h"
#include "printing/Twips.h"
#include "reports/Workload.h"
#include "reports/WorkloadChart.h"
#include "store/Statements.h"
#include "store/Store.h"

#include <QComboBox>
#include <QFrame>
#include <QGroupBox>
#include <QLabel>
#include <QPushButton>
#include <QTabWidget>

namespace {

QGroupBox* frame(const QString& caption, const char* name, int top, QWidget* parent)
{
    auto* box = new QGroupBox(caption, parent);
    box->setObjectName(QLatin1String(name));
    box->setGeometry(twips::rect(240, top, 4455, 1575));
    return box;
}

QPushButton* countButton(const char* name, QWidget* parent)
{
    auto* button = new QPushButton(QStringLiteral("统 计"), parent);
    button->setObjectName(QLatin1String(name));
    button->setGeometry(twips::rect(3120, 420, 1155, 375));
    return button;
}

// The result line sits in its own sunken box, so an empty line still shows where it will appear.
QLabel* resultLine(const char* pictureName, const char* labelName, QFrame*& picture, QWidget* parent)
{
    picture = new QFrame(parent);
    picture->setObjectName(QLatin1String(pictureName));
    picture->setFrameStyle(QFrame::Panel | QFrame::Sunken);
    picture->setGeometry(twips::rect(180, 960, 4095, 375));

    auto* label = new QLabel(picture);
    label->setObjectName(QLatin1String(labelName));
    label->move(twips::toPixels(60), twips::toPixels(60));
    QPalette palette = label->palette();
    palette.setColor(QPalette::WindowText, QColor(0, 0, 255));
    label->setPalette(palette);
    label->adjustSize();
    return label;
}

} // namespace

StatisticsWindow::StatisticsWindow(store::Store& store, QWidget* parent)
    : QWidget(parent, Qt::Dialog | Qt::MSWindowsFixedSizeDialogHint)
    , m_store(store)
{
    setObjectName(QStringLiteral("Form6"));
    setWindowTitle(QStringLiteral("工作量统计"));
    setAttribute(Qt::WA_DeleteOnClose);
    // The twip positions were laid out for this face and size.
    setFont(QFont(QStringLiteral("宋体"), 9));
    // The two groups keep their place on the left; the picture of the month stands beside them.
    setFixedSize(twips::toPixels(4920 + ChartWidth), twips::toPixels(ChartHeight + 240));

    Frame1 = frame(QStringLiteral("日工作量统计"), "Frame1", 240, this);
    reports::addDateParts(Combo1, 0, 3, Frame1, 480);
    Command1 = countButton("Command1", Frame1);
    Label4 = resultLine("Picture1", "Label4", Picture1, Frame1);

    Frame2 = frame(QStringLiteral("月工作量统计"), "Frame2", 1980, this);
    reports::addDateParts(Combo1, 3, 2, Frame2, 480);
    Command2 = countButton("Command2", Frame2);
    Label7 = resultLine("Picture2", "Label7", Picture2, Frame2);

    connect(Command1, &QPushButton::clicked, this, &StatisticsWindow::countDay);
    connect(Command2, &QPushButton::clicked, this, &StatisticsWindow::countMonth);

    Chart = new reports::WorkloadChart(this);
    Chart->setGeometry(twips::rect(4920, 120, ChartWidth - 240, ChartHeight));
    connect(Chart->tabs, &QTabWidget::currentChanged, this, [this](int view) {
        if (view == 1)
            drawYear();
    });

    centreOnScreen(this);
    reports::setDatePartsToToday(Combo1);
    drawMonth();
}

void StatisticsWindow::countDay() { count(store::statements::recordsOfDay(reports::dayText(Combo1)), Label4); }

void StatisticsWindow::countMonth()
{
    count(store::statements::recordsOfMonth(reports::monthText(Combo1)), Label7);
    drawMonth();
}

void StatisticsWindow::drawMonth()
{
    const QString year = Combo1[3]->currentText();
    const QString month = Combo1[4]->currentText();
    Chart->setDays(QStringLiteral("%1年%2月").arg(year, month), reports::daysOfMonth(m_store.records(), year, month));
    // A year reads twelve times the month's records: only when its view is looked at.
    m_drawnYear.reset();
    m_chosenYear = year;
    if (Chart->tabs->currentIndex() == 1)
        drawYear();
}

void StatisticsWindow::drawYear()
{
    if (m_drawnYear == m_chosenYear)
        return;
    m_drawnYear = m_chosenYear;
    Chart->setMonths(QStringLiteral("%1年").arg(m_chosenYear), reports::monthsOfYear(m_store.records(), m_chosenYear));
}

void StatisticsWindow::count(const store::Select& select, QLabel* result)
{
    // A statement that cannot run counts nothing: an old line from another date would mislead.
    const std::optional<reports::Workload> workload = reports::countWorkload(m_store.records(), select);
    if (!workload)
        qCWarning(lcReports) << "statistics for" << select.args << "show no figures";
    result->setText(reports::workloadLine(workload.value_or(reports::Workload{})));
    result->adjustSize();
}
