#include "common/Clock.h"
#include "common/MessageBox.h"
#include "support/ProgramFolder.h"
#include "support/Workstation.h"
#include "workstation/DrugPanel.h"
#include "workstation/MainWindow.h"
#include "workstation/SearchPanel.h"

#include <QScreen>
#include <QScrollArea>
#include <QScrollBar>
#include <QTest>

// Run once per screen size (see tests/CMakeLists.txt): the window must neither grow off the
// screen nor move its panels as the doctor works.
class TestWindowFit : public QObject
{
    Q_OBJECT

private slots:
    void initTestCase()
    {
        MessageBox::setTestMode(true);
        Clock::setSource([] { return QDateTime(QDate(2026, 12, 7), QTime(9, 0)); });
    }

    void oneLayoutInsideTheScreen()
    {
        ProgramFolder folder;
        MainWindow w(folder.store());
        const Controls ui(w);
        w.showOnScreen();
        QVERIFY(QTest::qWaitForWindowExposed(&w));
        const QRect area = w.screen()->availableGeometry();
        qInfo() << "screen" << w.screen()->geometry() << "available" << area << "window" << w.frameGeometry();

        QVERIFY2(area.contains(w.frameGeometry()), "the window reaches past the screen");
        auto layout = [&] {
            return QList<QRect>{w.geometry(), w.searchPanel()->geometry(), w.sheetGroup()->geometry(),
                                w.drugPanel()->geometry(), ui.keypad->geometry()};
        };
        const QList<QRect> opened = layout();

        w.newPrescription();
        QCOMPARE(layout(), opened);
        ui.Text4[0]->setText(QStringLiteral("张三"));
        QTest::keyClicks(ui.Text1, "a");
        w.savePrescription();
        QVERIFY(!w.sheetGroup()->isVisible());
        QCOMPARE(layout(), opened);

        // Nothing is cut off: the panels have their whole size, in view or a scroll away.
        auto* scroll = w.findChild<QScrollArea*>();
        QVERIFY(scroll);
        const QSize needed = scroll->widget()->sizeHint();
        QVERIFY(scroll->widget()->width() >= needed.width() && scroll->widget()->height() >= needed.height());
        const bool fits = area.width() >= needed.width() && area.height() >= needed.height() + 80;
        // From 1280x720 up (a laptop at 150 %) the window fits beside a desktop's panel and under
        // its own title bar, some 40 pixels each, and its frame.
        if (area.width() >= 1280 && area.height() >= 720) {
            QVERIFY(fits);
            QVERIFY2(w.frameGeometry().height() + 80 <= area.height() && w.frameGeometry().width() + 16 <= area.width(),
                     "no room for a panel and the title bar");
        }
        if (fits) {
            // Where it fits it is placed by the rule: centred across, with a band kept below.
            QVERIFY(!w.isMaximized());
            QVERIFY(qAbs(w.frameGeometry().center().x() - area.center().x()) <= 4);
            QVERIFY(w.frameGeometry().top() - area.top() <= area.bottom() - w.frameGeometry().bottom());
            QCOMPARE(scroll->horizontalScrollBar()->maximum(), 0); // everything in view, nothing to scroll
            QCOMPARE(scroll->verticalScrollBar()->maximum(), 0);
            // The keypad's last row, Backspace and Enter, whole in view.
            for (QWidget* key : {static_cast<QWidget*>(ui.keypad->Label20), static_cast<QWidget*>(ui.keypad->Label14)}) {
                const QRect shown(key->mapTo(scroll->viewport(), QPoint(0, 0)), key->size());
                QVERIFY2(scroll->viewport()->rect().contains(shown), "a keypad key is cut off");
            }
        } else {
            QVERIFY(w.isMaximized() || w.geometry() == area);
        }
    }
};

QTEST_MAIN(TestWindowFit)
#include "test_window_fit.moc"
