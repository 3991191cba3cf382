#include "common/MessageBox.h"
#include "common/TextList.h"
#include "formats/PrescriptionText.h"
#include "store/Records.h"
#include "store/Store.h"
#include "support/ProgramFolder.h"
#include "support/Workstation.h"
#include "workstation/MainWindow.h"

#include <QTest>

using namespace store;

// The log says which record a failure was about by its key, never by the patient's name: it is
// a plain file anyone with the account may read, unlike the encrypted records.

namespace {

QStringList logged;

void keep(QtMsgType, const QMessageLogContext&, const QString& message) { logged << message; }

void addRecord(Store& store, const QString& key, const QString& name)
{
    PatientRecord r;
    r.key = key;
    r.name = name;
    r.date = key.left(10);
    r.prescription = prescription::toStoredRtf(QStringLiteral("药\r\n"));
    QVERIFY(Store::insert(store.records(), RecordsTable, r.toRow()));
}

void pick(TextList* tree, int row)
{
    const QModelIndex index = tree->model()->index(row, 0);
    QVERIFY(index.isValid());
    QTest::mouseClick(tree->viewport(), Qt::LeftButton, {}, tree->visualRect(index).center());
}

} // namespace

class TestLogPrivacy : public QObject
{
    Q_OBJECT

private slots:
    void initTestCase() { MessageBox::setTestMode(true); }

    void failuresAreLoggedByKeyNotName()
    {
        const QString key = QStringLiteral("2026-11-03 10:00:00");
        const QString name = QStringLiteral("欧阳娜娜");
        ProgramFolder folder;
        addRecord(folder.store(), key, name);
        MainWindow w(folder.store());
        w.show();
        const Controls ui(w);
        QTRY_COMPARE(ui.T1->count(), 2);

        const QtMessageHandler previous = qInstallMessageHandler(keep);
        // The record went from under the tree: Open finds nothing.
        {
            auto other = CipherConnection::open(folder.store().recordsPath(), Store::recordsPassword());
            QVERIFY(Store::deleteFirst(other.get(), statements::recordByKey(key)) == Deleted::One);
        }
        pick(ui.T1, 1);
        w.openSelectedRecord();
        // Back again, in a file made read-only: Delete stores nothing.
        addRecord(folder.store(), key, name);
        folder.makeReadOnly(folder.store().recordsPath());
        pick(ui.T1, 1);
        MessageBox::setNextAnswer(true);
        w.deleteSelectedRecord();
        qInstallMessageHandler(previous);

        QVERIFY2(logged.filter(key).size() >= 2, qPrintable(logged.join('\n')));
        QVERIFY2(logged.filter(name).isEmpty(), qPrintable(logged.join('\n')));
    }
};

QTEST_MAIN(TestLogPrivacy)
#include "test_log_privacy.moc"
