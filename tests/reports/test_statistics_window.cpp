#include "ReportFixture.h"
#include "reports/StatisticsWindow.h"
#include "reports/WorkloadChart.h"
#include "support/ProgramFolder.h"

#include <QBarSet>
#include <QChart>
#include <QChartView>
#include <QClipboard>
#include <QLabel>
#include <QTabWidget>
#include <QPointer>
#include <QPushButton>

class TestStatisticsWindow : public QObject
{
    Q_OBJECT

private slots:
    void initTestCase() { Clock::setSource([] { return ReportsNow; }); }
    void cleanupTestCase() { Clock::setSource({}); }

    void opensOnTodayWithEmptyBlueLines();
    void dayStatistics_data();
    void dayStatistics();
    void monthStatistics_data();
    void monthStatistics();
    void anOverflowingSumDoesNotStopTheCount();
    void thePictureTellsWhatTheLinesTell_data();
    void thePictureTellsWhatTheLinesTell();
};

void TestStatisticsWindow::opensOnTodayWithEmptyBlueLines()
{
    ProgramFolder folder;
    QPointer<StatisticsWindow> w = new StatisticsWindow(folder.store());
    QCOMPARE(w->objectName() + w->windowTitle(), QStringLiteral("Form6工作量统计"));
    QStringList parts;
    for (int i = 0; i < 5; ++i)
        parts << w->findChild<QComboBox*>(QStringLiteral("Combo1_%1").arg(i))->currentText();
    QCOMPARE(parts, QStringList({"2024", "03", "07", "2024", "03"}));
    for (QLabel* line : {w->Label4, w->Label7}) {
        QVERIFY(line->text().isEmpty());
        QCOMPARE(line->palette().color(QPalette::WindowText), QColor(0, 0, 255));
    }
    w->show();
    QVERIFY(QTest::qWaitForWindowExposed(w));
    w->close();
    QTRY_VERIFY(!w);
}

void TestStatisticsWindow::dayStatistics_data()
{
    QTest::addColumn<QStringList>("fees"); // of visits on 2024-03-07; "-": no fee
    QTest::addColumn<QString>("day");      // the three date parts, "|" between
    QTest::addColumn<QString>("line");

    QTest::newRow("12.5 + 30 + 7.25") << QStringList{"12.5", "30", "7.25"} << "2024|03|07" << "门诊处方数：3张，业务额：49.75元";
    QTest::newRow("whole sum") << QStringList{"10", "15.5", "4.5"} << "2024|03|07" << "门诊处方数：3张，业务额：30元";
    QTest::newRow("four decimals") << QStringList{"0.0001", "1.2345", "2.005"} << "2024|03|07" << "门诊处方数：3张，业务额：3.2396元";
    QTest::newRow("empty fee counted") << QStringList{"10", "-", "2.5"} << "2024|03|07" << "门诊处方数：3张，业务额：12.5元";
    QTest::newRow("no fee at all") << QStringList{"-", "-"} << "2024|03|07" << "门诊处方数：2张，业务额：元";
    QTest::newRow("no separators") << QStringList{"1234567.5", "1000000"} << "2024|03|07" << "门诊处方数：2张，业务额：2234567.5元";
    QTest::newRow("no leading zero") << QStringList{"1"} << "2024|3|07" << "无统计数字";
    QTest::newRow("quotation mark") << QStringList{"1"} << "2024'|03|07" << "无统计数字";
    QTest::newRow("empty parts") << QStringList{"1"} << "||" << "无统计数字";
}

void TestStatisticsWindow::dayStatistics()
{
    QFETCH(QStringList, fees);
    QFETCH(QString, day);
    QFETCH(QString, line);

    ProgramFolder folder;
    for (const QString& fee : fees)
        addVisit(folder.store(), "2024-03-07 08:00:00", "2024-03-07", fee == "-" ? std::nullopt : std::optional(fee));
    for (const char* other : {"2024-03-08", "2023-03-07", "2024-03-07 "})
        addVisit(folder.store(), "2024-03-07 08:00:00", QString::fromLatin1(other), "100");

    StatisticsWindow w(folder.store());
    for (int i = 0; i < 3; ++i)
        typeInto(w.Combo1[size_t(i)], day.section('|', i, i));
    for (int press = 0; press < 2; ++press) { // each press counts afresh
        QTest::mouseClick(w.Command1, Qt::LeftButton);
        QCOMPARE(w.Label4->text(), line);
    }
    QVERIFY(w.Label4->width() >= w.Label4->sizeHint().width());
    QVERIFY(w.Label7->text().isEmpty());
}

void TestStatisticsWindow::monthStatistics_data()
{
    QTest::addColumn<QString>("year");
    QTest::addColumn<QString>("month");
    QTest::addColumn<QString>("line");

    QTest::newRow("every day of the month") << "2024" << "03" << "门诊处方数：3张，业务额：7元";
    QTest::newRow("no leading zero") << "2024" << "3" << "无统计数字";
    QTest::newRow("typed wildcard") << "2024" << "0_" << "门诊处方数：4张，业务额：15元";
}

void TestStatisticsWindow::monthStatistics()
{
    QFETCH(QString, year);
    QFETCH(QString, month);
    QFETCH(QString, line);

    ProgramFolder folder;
    const std::pair<const char*, const char*> visits[] = {
        {"2024-03-01", "1"}, {"2024-03-31", "2"}, {"2024-03-15", "4"}, {"2024-04-01", "8"}, {"2023-03-15", "16"}};
    for (const auto& [date, fee] : visits)
        addVisit(folder.store(), QString::fromLatin1(date) + " 08:00:00", QString::fromLatin1(date), QString::fromLatin1(fee));

    StatisticsWindow w(folder.store());
    typeInto(w.Combo1[3], year);
    typeInto(w.Combo1[4], month);
    QTest::mouseClick(w.Command2, Qt::LeftButton);
    QCOMPARE(w.Label7->text(), line);
    QVERIFY(w.Label4->text().isEmpty());
}

void TestStatisticsWindow::anOverflowingSumDoesNotStopTheCount()
{
    ProgramFolder folder;
    for (const char* fee : {"900000000000000", "900000000000000", "0.5"})
        addVisit(folder.store(), "2024-03-07 08:00:00", "2024-03-07", QString::fromLatin1(fee));

    // Added one by one in currency arithmetic, the second fee leaves the range and is left out.
    StatisticsWindow w(folder.store());
    QTest::mouseClick(w.Command1, Qt::LeftButton);
    QCOMPARE(w.Label4->text(), QStringLiteral("门诊处方数：3张，业务额：900000000000000.5元"));
}

void TestStatisticsWindow::thePictureTellsWhatTheLinesTell_data()
{
    QTest::addColumn<QStringList>("visits"); // "date fee", "-" for no fee
    QTest::addColumn<QString>("year");
    QTest::addColumn<QString>("month");
    QTest::addColumn<int>("days");

    QTest::newRow("a leap February") << QStringList{"2024-02-01 0.0001", "2024-02-29 1.2345", "2024-02-29 2.005", "2024-03-01 9", "2023-02-10 4"}
                                     << "2024" << "02" << 29;
    QTest::newRow("no fee, and a fee of one unit") << QStringList{"2024-03-07 -", "2024-03-07 0.0001", "2024-03-31 12.5", "2024-12-31 7.25"}
                                                   << "2024" << "03" << 31;
    QTest::newRow("an empty month") << QStringList{"2024-04-01 3"} << "2024" << "03" << 31;
    QTest::newRow("not a calendar month") << QStringList{"2024-03-07 1"} << "2024" << "0_" << 31;
}

// Each bar says what the result line says for its date, and the days add up to the month.
void TestStatisticsWindow::thePictureTellsWhatTheLinesTell()
{
    QFETCH(QStringList, visits);
    QFETCH(QString, year);
    QFETCH(QString, month);
    QFETCH(int, days);

    ProgramFolder folder;
    for (const QString& visit : visits) {
        const QString date = visit.section(' ', 0, 0), fee = visit.section(' ', 1, 1);
        addVisit(folder.store(), date + " 08:00:00", date, fee == "-" ? std::nullopt : std::optional(fee));
    }
    StatisticsWindow w(folder.store());
    typeInto(w.Combo1[3], year);
    typeInto(w.Combo1[4], month);
    QTest::mouseClick(w.Command2, Qt::LeftButton);

    const std::vector<reports::WorkloadBar> bars = w.Chart->days(); // each count draws afresh
    QCOMPARE(int(bars.size()), days);
    if (!month.contains('_'))
        QCOMPARE(reports::workloadLine(reports::total(bars)), w.Label7->text());
    for (size_t i = 0; i < bars.size(); ++i) {
        typeInto(w.Combo1[0], year);
        typeInto(w.Combo1[1], month);
        typeInto(w.Combo1[2], bars[i].caption);
        QTest::mouseClick(w.Command1, Qt::LeftButton);
        QCOMPARE(reports::barText(bars[i]), bars[i].date + "：" + w.Label4->text());
        QCOMPARE(w.Chart->countBars(0)->at(qsizetype(i)), double(bars[i].workload->prescriptions));
    }
    w.Chart->tabs->setCurrentIndex(1); // the year is read when its view is shown
    const std::vector<reports::WorkloadBar> months = w.Chart->months();
    QCOMPARE(int(months.size()), 12);
    for (const reports::WorkloadBar& bar : months) {
        typeInto(w.Combo1[4], bar.caption);
        QTest::mouseClick(w.Command2, Qt::LeftButton);
        QCOMPARE(reports::barText(bar), bar.date + "：" + w.Label7->text());
    }

    // Hovering the busiest day tells its figures; the copy is the picture shown.
    w.show();
    QVERIFY(QTest::qWaitForWindowExposed(&w));
    w.Chart->tabs->setCurrentIndex(0);
    typeInto(w.Combo1[4], month);
    QTest::mouseClick(w.Command2, Qt::LeftButton);
    const auto busiest = std::max_element(bars.begin(), bars.end(), [](const auto& a, const auto& b) {
        return a.workload->prescriptions < b.workload->prescriptions;
    });
    if (busiest->workload->prescriptions > 0) {
        QChartView* view = w.Chart->countView(0);
        QChart* chart = view->chart();
        const QPointF top = chart->mapToPosition(QPointF(double(busiest - bars.begin()), 0.5), chart->series().first());
        QTest::mouseMove(view->viewport(), view->mapFromScene(chart->mapToScene(top)));
        QTRY_COMPARE(w.Chart->hoverLine->text(), reports::barText(*busiest));
    }
    QApplication::clipboard()->clear();
    QTest::mouseClick(w.Chart->copyButton, Qt::LeftButton);
    const QImage copied = QApplication::clipboard()->image();
    QCOMPARE(copied.size(), w.Chart->tabs->currentWidget()->size() * w.devicePixelRatio());
    if (qEnvironmentVariableIsSet("SHOT")) w.grab().save(qEnvironmentVariable("SHOT") + QTest::currentDataTag() + ".png");
}

QTEST_MAIN(TestStatisticsWindow)
#include "test_statistics_window.moc"
