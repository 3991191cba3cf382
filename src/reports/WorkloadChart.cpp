#include "reports/WorkloadChart.h"

#include "common/Log.h"

#include <QApplication>
#include <QCategoryAxis>
#include <QBarSeries>
#include <QBarSet>
#include <QChart>
#include <QChartView>
#include <QClipboard>
#include <QLabel>
#include <QPushButton>
#include <QTabWidget>
#include <QToolTip>
#include <QVBoxLayout>
#include <QValueAxis>

namespace reports {

namespace {

// The series and axes stay for the window's life and only their values change: axes taken
// out of a chart and put back leave their old labels drawn under the new ones.
QChartView* chartView(QWidget* parent, const char* name, const QString& caption, QColor colour)
{
    auto* chart = new QChart;
    chart->legend()->hide();
    chart->setMargins(QMargins(2, 2, 2, 2));
    chart->setBackgroundRoundness(0);

    auto* set = new QBarSet(caption);
    set->setColor(colour);
    auto* series = new QBarSeries;
    series->append(set);
    chart->addSeries(series);
    auto* x = new QCategoryAxis;
    x->setLabelsPosition(QCategoryAxis::AxisLabelsPositionOnValue);
    x->setGridLineVisible(false);
    QFont small = x->labelsFont();
    small.setPointSize(7);
    x->setLabelsFont(small);
    auto* y = new QValueAxis;
    y->setTickCount(5);
    y->setLabelsFont(small);
    y->setLabelFormat(QStringLiteral("%.0f"));
    y->setTitleText(caption);
    y->setTitleFont(small);
    chart->addAxis(x, Qt::AlignBottom);
    chart->addAxis(y, Qt::AlignLeft);
    series->attachAxis(x);
    series->attachAxis(y);

    auto* view = new QChartView(chart, parent);
    view->setObjectName(QLatin1String(name));
    view->setRenderHint(QPainter::Antialiasing);
    return view;
}

QBarSet* barsOf(QChartView* view)
{
    return static_cast<QBarSeries*>(view->chart()->series().first())->barSets().first();
}

double yuan(const std::optional<Workload>& workload)
{
    if (!workload || !workload->revenue)
        return 0;
    return double(workload->revenue->units()) / double(store::Money::UnitsPerYuan);
}

// 1, 2, 5, 10, 20, 50, ... at least `least`, and never below 1.
double niceStep(double least)
{
    double step = 1;
    for (int i = 0; step < least; ++i)
        step *= (i % 3 == 1) ? 2.5 : 2;
    return step;
}

void draw(QChartView* view, const QString& title, const std::vector<WorkloadBar>& bars,
          const std::function<double(const WorkloadBar&)>& value)
{
    QChart* chart = view->chart();
    chart->setTitle(title);
    QBarSet* set = barsOf(view);
    set->remove(0, set->count());
    double highest = 0;
    for (const WorkloadBar& bar : bars) {
        const double v = value(bar);
        set->append(v);
        highest = std::max(highest, v);
    }

    // A month's 31 captions do not fit under the bars: every fifth is written, and the first and last.
    auto* x = static_cast<QCategoryAxis*>(chart->axes(Qt::Horizontal).first());
    for (const QString& label : x->categoriesLabels())
        x->remove(label);
    const size_t count = bars.size();
    for (size_t i = 0; i < count; ++i) {
        if (count <= 12 || i == 0 || i + 1 == count || (i + 1) % 5 == 0)
            x->append(bars[i].caption, double(i));
    }
    x->setRange(-0.5, double(count) - 0.5);
    // Whole steps, so no two ticks are written alike.
    chart->axes(Qt::Vertical).first()->setRange(0.0, niceStep(highest / 4) * 4);
}

} // namespace

WorkloadChart::WorkloadChart(QWidget* parent)
    : QWidget(parent)
{
    setObjectName(QStringLiteral("WorkloadChart"));
    tabs = new QTabWidget(this);
    tabs->setObjectName(QStringLiteral("chartTabs"));
    const char* names[2][3] = {{"daysPicture", "dayCounts", "dayTakings"}, {"monthsPicture", "monthCounts", "monthTakings"}};
    for (size_t i = 0; i < m_views.size(); ++i) {
        View& view = m_views[i];
        view.page = new QWidget(tabs);
        view.page->setObjectName(QLatin1String(names[i][0]));
        auto* column = new QVBoxLayout(view.page);
        column->setContentsMargins(0, 0, 0, 0);
        column->setSpacing(0);
        view.count = chartView(view.page, names[i][1], QStringLiteral("处方数（张）"), QColor(0, 0, 255));
        view.takings = chartView(view.page, names[i][2], QStringLiteral("业务额（元）"), QColor(0, 128, 0));
        view.countSet = barsOf(view.count);
        for (QBarSet* set : {view.countSet, barsOf(view.takings)})
            connect(set, &QBarSet::hovered, this, [this, &view](bool on, int index) { hover(view, on, index); });
        column->addWidget(view.count);
        column->addWidget(view.takings);
        tabs->addTab(view.page, i == 0 ? QStringLiteral("按日") : QStringLiteral("按月"));
    }

    hoverLine = new QLabel(this);
    hoverLine->setObjectName(QStringLiteral("hoverLine"));
    copyButton = new QPushButton(QStringLiteral("复制图片"), this);
    copyButton->setObjectName(QStringLiteral("copyPicture"));
    connect(copyButton, &QPushButton::clicked, this, &WorkloadChart::copyPicture);

    auto* layout = new QVBoxLayout(this);
    layout->setContentsMargins(0, 0, 0, 0);
    layout->addWidget(tabs, 1);
    auto* foot = new QHBoxLayout;
    foot->addWidget(hoverLine, 1);
    foot->addWidget(copyButton);
    layout->addLayout(foot);
}

void WorkloadChart::setDays(const QString& title, std::vector<WorkloadBar> bars) { fill(m_views[0], title, std::move(bars)); }

void WorkloadChart::setMonths(const QString& title, std::vector<WorkloadBar> bars)
{
    fill(m_views[1], title, std::move(bars));
}

void WorkloadChart::fill(View& view, const QString& title, std::vector<WorkloadBar> bars)
{
    view.bars = std::move(bars);
    hoverLine->clear();
    const auto count = [](const WorkloadBar& bar) { return bar.workload ? double(bar.workload->prescriptions) : 0.0; };
    const auto takings = [](const WorkloadBar& bar) { return yuan(bar.workload); };
    draw(view.count, title, view.bars, count);
    draw(view.takings, QString(), view.bars, takings);
}

void WorkloadChart::hover(const View& view, bool on, int index)
{
    if (!on || index < 0 || size_t(index) >= view.bars.size()) {
        hoverLine->clear();
        QToolTip::hideText();
        return;
    }
    const QString text = barText(view.bars[size_t(index)]);
    hoverLine->setText(text);
    QToolTip::showText(QCursor::pos(), text, this);
}

QImage WorkloadChart::picture() const { return tabs->currentWidget()->grab().toImage(); }

void WorkloadChart::copyPicture()
{
    const QImage image = picture();
    if (image.isNull()) {
        qCWarning(lcReports) << "the statistics' picture could not be taken";
        return;
    }
    QApplication::clipboard()->setImage(image);
}

} // namespace reports
