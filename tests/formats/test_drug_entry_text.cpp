#include "formats/DrugEntryText.h"

#include <QtTest>

class TestDrugEntryText : public QObject
{
    Q_OBJECT

private slots:
    void splitAndJoin_data()
    {
        QTest::addColumn<QString>("text");
        QTest::addColumn<QString>("name");
        QTest::addColumn<QString>("usage");
        QTest::addColumn<bool>("joinsBack");
        QTest::newRow("name and usage") << "阿莫西林片 0.25×24/0.5 tid" << "阿莫西林片 0.25×24" << "0.5 tid" << true;
        QTest::newRow("name alone") << "青霉素针 960万" << "青霉素针 960万" << "" << true;
        QTest::newRow("second slash stays in the usage") << "a/b/c" << "a" << "b/c" << true;
        QTest::newRow("blanks kept") << " a / b " << " a " << " b " << true;
        QTest::newRow("empty name part") << "/0.5 tid" << "" << "0.5 tid" << true;
        QTest::newRow("trailing slash is lost") << "a/" << "a" << "" << false;
    }
    void splitAndJoin()
    {
        QFETCH(bool, joinsBack);
        QFETCH(QString, text);
        QFETCH(QString, name);
        QFETCH(QString, usage);
        const DrugEntryParts parts = splitDrugEntry(text);
        QCOMPARE(QStringList({parts.name, parts.usage}), QStringList({name, usage}));
        QCOMPARE(joinDrugEntry(name, usage) == text, joinsBack);
    }
};

QTEST_MAIN(TestDrugEntryText)
#include "test_drug_entry_text.moc"
