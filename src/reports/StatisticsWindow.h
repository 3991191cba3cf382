#pragma once

#include "reports/ReportForm.h"

#include <QWidget>
#include <optional>

class QFrame;
class QGroupBox;
class QLabel;
class QPushButton;

namespace reports {
class WorkloadChart;
} // namespace reports

namespace store {
class Store;
struct Select;
} // namespace store

// Form6: how many prescriptions were written and what was charged on one day or in one month,
// in words and as a picture of the month's days and the year's months.
// It only reads 档案. Constructing the window is loading it: the date parts show today. It is
// not modal and deletes itself when closed.
class StatisticsWindow : public QWidget
{
    Q_OBJECT
public:
    explicit StatisticsWindow(store::Store& store, QWidget* parent = nullptr);

    reports::DateParts Combo1{}; // 0-2: year, month, day; 3-4: year, month
    QGroupBox* Frame1 = nullptr; // 日工作量统计
    QGroupBox* Frame2 = nullptr; // 月工作量统计
    QPushButton* Command1 = nullptr;
    QPushButton* Command2 = nullptr;
    QFrame* Picture1 = nullptr;
    QFrame* Picture2 = nullptr;
    QLabel* Label4 = nullptr; // day result
    QLabel* Label7 = nullptr; // month result
    // The month group's month, day by day, and its year, month by month; drawn on load and
    // again whenever the month is counted (the year when its view is shown).
    reports::WorkloadChart* Chart = nullptr;

    static constexpr int ChartWidth = 7680;  // twips
    static constexpr int ChartHeight = 5760; // twips

private:
    void countDay();
    void countMonth();
    void count(const store::Select& select, QLabel* result);
    void drawMonth();
    void drawYear();

    store::Store& m_store;
    QString m_chosenYear;
    std::optional<QString> m_drawnYear; // the year the months' view shows, when it is drawn
};
