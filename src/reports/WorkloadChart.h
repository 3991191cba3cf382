#pragma once

#include "reports/WorkloadSeries.h"

#include <QWidget>
#include <vector>

class QBarSet;
class QChart;
class QChartView;
class QLabel;
class QPushButton;
class QTabWidget;

namespace reports {

// The statistics as a picture: one view of the days of a month, one of the months of a year,
// each with the prescriptions over the takings. Hovering a bar tells its date and figures in
// the hover line; "复制图片" puts the view on the clipboard as an image.
class WorkloadChart : public QWidget
{
    Q_OBJECT
public:
    explicit WorkloadChart(QWidget* parent = nullptr);

    // Shows the bars of a month's days and of its year's months.
    void setDays(const QString& title, std::vector<WorkloadBar> bars);
    void setMonths(const QString& title, std::vector<WorkloadBar> bars);

    const std::vector<WorkloadBar>& days() const { return m_views[0].bars; }
    const std::vector<WorkloadBar>& months() const { return m_views[1].bars; }
    // The chart views of a picture, prescriptions first: 0 days, 1 months.
    QChartView* countView(int view) const { return m_views[size_t(view)].count; }
    QChartView* takingsView(int view) const { return m_views[size_t(view)].takings; }
    QBarSet* countBars(int view) const { return m_views[size_t(view)].countSet; }

    QTabWidget* tabs = nullptr;
    QPushButton* copyButton = nullptr; // 复制图片
    QLabel* hoverLine = nullptr;

    // What the copy puts on the clipboard: the picture shown now.
    QImage picture() const;

private:
    struct View {
        QWidget* page = nullptr;
        QChartView* count = nullptr;
        QChartView* takings = nullptr;
        QBarSet* countSet = nullptr;
        std::vector<WorkloadBar> bars;
    };
    void fill(View& view, const QString& title, std::vector<WorkloadBar> bars);
    void hover(const View& view, bool on, int index);
    void copyPicture();

    std::array<View, 2> m_views;
};

} // namespace reports
