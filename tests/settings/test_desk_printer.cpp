#include "common/MessageBox.h"
#include "printing/PrintJob.h"
#include "settings/DeskPrinter.h"
#include "settings/PrinterPanel.h"
#include "settings/SettingsWindow.h"
#include "store/PrinterChoice.h"
#include "support/ProgramFolder.h"

#include <QComboBox>
#include <QPointer>
#include <QPushButton>
#include <QTest>

// Which printer a desk prints on when the system offers several or names none its default, and
// 综合设置's say in it. The printing system is given, as it would answer.
class TestDeskPrinter : public QObject
{
    Q_OBJECT

private slots:
    void initTestCase() { MessageBox::setTestMode(true); }
    void cleanup()
    {
        printing::setInstalledPrinters(std::nullopt);
        printing::setPrinterQuestion(nullptr);
    }

    void askedOnceAndTheAnswerKept_data()
    {
        QTest::addColumn<QStringList>("installed");
        QTest::addColumn<QString>("systemDefault");
        QTest::addColumn<QString>("keptBefore");
        QTest::addColumn<QString>("answer"); // what the print dialog gives; "" closed
        QTest::addColumn<QString>("used");   // by each of two prints
        QTest::addColumn<bool>("declined");
        QTest::addColumn<int>("asked");      // times, over the two prints
        QTest::addColumn<QString>("keptAfter");
        const QStringList two{"前台", "诊室"};
        QTest::newRow("none installed") << QStringList() << "" << "" << "" << "" << false << 0 << "";
        QTest::newRow("the only one, no default") << QStringList{"诊室"} << "" << "" << "" << "诊室" << false << 0 << "";
        QTest::newRow("the default") << two << "前台" << "" << "" << "前台" << false << 0 << "";
        QTest::newRow("several, no default: asked once") << two << "" << "" << "诊室" << "诊室" << false << 1 << "诊室";
        QTest::newRow("question closed: nothing, asked again") << two << "" << "" << "" << "" << true << 2 << "";
        QTest::newRow("an answer not installed is none") << two << "" << "" << "别处" << "" << true << 2 << "";
        QTest::newRow("kept one, not asked") << two << "" << "前台" << "" << "前台" << false << 0 << "前台";
        QTest::newRow("kept one gone: asked again") << two << "" << "旧的" << "前台" << "前台" << false << 1 << "前台";
    }

    void askedOnceAndTheAnswerKept()
    {
        QFETCH(QStringList, installed);
        QFETCH(QString, systemDefault);
        QFETCH(QString, keptBefore);
        QFETCH(QString, answer);
        QFETCH(QString, used);
        QFETCH(bool, declined);
        QFETCH(int, asked);
        QFETCH(QString, keptAfter);
        ProgramFolder folder;
        if (!keptBefore.isEmpty())
            QVERIFY(store::writePrinterChoice(folder.store(), keptBefore));
        printing::setInstalledPrinters(printing::Printers{installed, systemDefault});
        int questions = 0;
        printing::setPrinterQuestion([&](QWidget*) {
            ++questions;
            return answer;
        });
        if (installed.isEmpty())
            QTest::ignoreMessage(QtWarningMsg, "no printer installed: nothing printed");
        for (int print = 0; print < 2; ++print) {
            if (installed.isEmpty() && print == 1)
                QTest::ignoreMessage(QtWarningMsg, "no printer installed: nothing printed");
            const DeskPrinter printer = printerForJob(folder.store(), nullptr);
            QCOMPARE(printer.name, used);
            QCOMPARE(printer.declined, declined);
        }
        QCOMPARE(questions, asked);
        QCOMPARE(store::readPrinterChoice(folder.store()), std::optional<QString>(keptAfter));
    }

    void settingsShowAndChangeTheChoice_data()
    {
        QTest::addColumn<QString>("keptBefore");
        QTest::addColumn<QString>("shown");  // the entry the window opens with
        QTest::addColumn<int>("pick");       // the entry chosen before 确 定; -1 none
        QTest::addColumn<QString>("keptAfter");
        QTest::newRow("left to the system, kept so") << "" << "系统默认打印机（前台）" << -1 << "";
        QTest::newRow("a printer chosen") << "" << "系统默认打印机（前台）" << 2 << "诊室";
        QTest::newRow("the kept one shown, given back") << "诊室" << "诊室" << 0 << "";
        QTest::newRow("one no longer installed stays") << "旧的" << "旧的（未安装）" << -1 << "旧的";
    }

    void settingsShowAndChangeTheChoice()
    {
        QFETCH(QString, keptBefore);
        QFETCH(QString, shown);
        QFETCH(int, pick);
        QFETCH(QString, keptAfter);
        ProgramFolder folder;
        if (!keptBefore.isEmpty())
            QVERIFY(store::writePrinterChoice(folder.store(), keptBefore));
        printing::setInstalledPrinters(printing::Printers{{"前台", "诊室"}, "前台"});
        QPointer<SettingsWindow> window = new SettingsWindow(folder.store());
        window->show();
        QComboBox* list = window->findChild<QComboBox*>("PrinterList");
        QVERIFY(list);
        QCOMPARE(list->currentText(), shown);
        if (pick >= 0)
            list->setCurrentIndex(pick);
        QTest::mouseClick(window->Command1, Qt::LeftButton);
        QTRY_VERIFY(!window);
        QCOMPARE(store::readPrinterChoice(folder.store()), std::optional<QString>(keptAfter));
    }
};

QTEST_MAIN(TestDeskPrinter)
#include "test_desk_printer.moc"
