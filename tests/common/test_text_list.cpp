#include "common/TextList.h"

#include <QAbstractItemModelTester>
#include <QSignalSpy>
#include <QScrollBar>
#include <QSet>
#include <QTest>
#include <limits>

namespace {

// The texts "0", "1", … up to a total, at most `most` a call; what each call asked for is kept.
struct Numbers {
    int total;
    int most = std::numeric_limits<int>::max();
    int read = 0;
    QList<int> asked;

    TextListModel::Source source()
    {
        return [this](int count) {
            asked << count;
            QStringList texts;
            for (; texts.size() < std::min(count, most) && read < total; ++read)
                texts << QString::number(read);
            return TextListModel::Page{texts, read == total};
        };
    }
};

} // namespace

class TestTextList : public QObject
{
    Q_OBJECT

private slots:
    void removeRows_data();
    void removeRows();
    void refillForgetsTheCurrentRow();
    void readsPagesAsTheViewScrolls();
    void readsTheRestOfAShortPageLater();
    void letsTextsGoAndReadsThemAgainByIdentity_data();
    void letsTextsGoAndReadsThemAgainByIdentity();
};

void TestTextList::removeRows_data()
{
    QTest::addColumn<int>("row");
    QTest::addColumn<int>("count");
    QTest::addColumn<QStringList>("left");
    const QStringList all{"甲", "乙", "丙"};
    QTest::newRow("first") << 0 << 1 << QStringList({"乙", "丙"});
    QTest::newRow("last") << 2 << 1 << QStringList({"甲", "乙"});
    QTest::newRow("all") << 0 << 3 << QStringList();
    QTest::newRow("past the end") << 2 << 2 << all;
    QTest::newRow("negative") << -1 << 1 << all;
    QTest::newRow("none") << 1 << 0 << all;
}

void TestTextList::removeRows()
{
    QFETCH(int, row);
    QFETCH(int, count);
    QFETCH(QStringList, left);
    TextListModel model;
    QAbstractItemModelTester tester(&model, QAbstractItemModelTester::FailureReportingMode::QtTest);
    model.setTexts({"甲", "乙", "丙"});
    QSignalSpy removed(&model, &QAbstractItemModel::rowsRemoved);
    const bool done = model.removeRows(row, count);
    QCOMPARE(model.texts(), left);
    QCOMPARE(done, left.size() != 3);
    QCOMPARE(removed.size(), done ? 1 : 0);
    QCOMPARE(model.rowCount(), left.size());
    for (int i = 0; i < left.size(); ++i)
        QCOMPARE(model.index(i, 0).data().toString(), left.at(i));
}

void TestTextList::refillForgetsTheCurrentRow()
{
    TextList list(QStringLiteral("list"));
    list.setTexts({"甲", "乙"});
    list.setCurrentRow(1);
    QCOMPARE(list.selectedRow(), 1);
    list.setTexts({"丙", "丁", "戊"});
    QCOMPARE(list.currentRow(), -1);
    QCOMPARE(list.selectedRow(), -1);
    QVERIFY(!list.hasSelection());

    // A removed current row hands the current and the selection on to a neighbour, below if
    // there is one: Delete leaves a node that Enter opens.
    list.setCurrentRow(1);
    list.removeRow(1);
    QCOMPARE(list.texts(), QStringList({"丙", "戊"}));
    QCOMPARE(list.selectedRow(), 1);
    list.removeRow(1);
    QCOMPARE(list.selectedRow(), 0);
    list.removeRow(0);
    QCOMPARE(list.count(), 0);
    QCOMPARE(list.currentRow(), -1);
}

void TestTextList::readsPagesAsTheViewScrolls()
{
    const int total = 40 * TextListModel::PageRows + 10;
    Numbers numbers{total};
    int& read = numbers.read;
    const QList<int>& asked = numbers.asked;
    const auto source = numbers.source();
    // No model tester here: it asks for more rows itself, where only the view should.
    TextList list(QStringLiteral("list"));
    list.resize(200, 300);
    list.show();
    QVERIFY(QTest::qWaitForWindowExposed(&list));
    list.setSource(source);
    QCOMPARE(list.count(), TextListModel::PageRows);
    // Laying the rows out, the view reads one page ahead, and no more until it is scrolled.
    for (int i = 0; i < 5; ++i)
        QCoreApplication::processEvents();
    QVERIFY(list.count() <= 2 * TextListModel::PageRows);

    // Rows read later are current, selected and removed like the first; the current row
    // stays where it is while more are read.
    list.setCurrentRow(5);
    while (list.textModel()->canFetchMore({}))
        list.verticalScrollBar()->setValue(list.verticalScrollBar()->maximum());
    QCOMPARE(list.count(), total);
    QCOMPARE(list.text(total - 1), QString::number(total - 1));
    // Further down the pages grow with what was read, within their bound.
    QCOMPARE(asked.first(), TextListModel::PageRows);
    QVERIFY(asked.last() > TextListModel::PageRows);
    QVERIFY(*std::max_element(asked.begin(), asked.end()) <= TextListModel::MaxPageRows);
    QCOMPARE(list.selectedRow(), 5);
    list.setCurrentRow(total - 1);
    QCOMPARE(list.selectedRow(), total - 1);
    list.removeRow(total - 1);
    QCOMPARE(list.text(list.selectedRow()), QString::number(total - 2));
    const qsizetype callsAtEnd = asked.size();
    list.verticalScrollBar()->setValue(list.verticalScrollBar()->maximum());
    QCOMPARE(asked.size(), callsAtEnd); // nothing is asked past the end

    // New rows drop the source, and show from their first; a source that ends within its first
    // page is not kept.
    read = 0;
    list.setSource(source);
    QCoreApplication::processEvents();
    QCOMPARE(list.verticalScrollBar()->value(), 0);
    list.setTexts({"甲"});
    QVERIFY(!list.textModel()->canFetchMore({}));
    read = total - 3;
    list.setSource(source);
    QCOMPARE(list.count(), 3);
    QVERIFY(!list.textModel()->canFetchMore({}));
}

void TestTextList::readsTheRestOfAShortPageLater()
{
    // A source that gives a few rows at a time before its end, as a search does while the names
    // are read: the rest of the page comes in while the window answers, a busy cursor over the
    // rows meanwhile, each time for what the page still lacks.
    const int total = 3 * TextListModel::PageRows;
    Numbers numbers{total, 50};
    int& read = numbers.read;
    const QList<int>& asked = numbers.asked;
    const auto source = numbers.source();
    TextList list(QStringLiteral("list"));
    list.resize(200, 100);
    list.show();
    QVERIFY(QTest::qWaitForWindowExposed(&list));
    list.setSource(source);
    QCOMPARE(list.count(), 50);
    QVERIFY(list.textModel()->isWaiting());
    QVERIFY(!list.textModel()->canFetchMore({}));
    QCOMPARE(list.viewport()->cursor().shape(), Qt::BusyCursor);
    QTRY_VERIFY(!list.textModel()->isWaiting());
    QVERIFY(list.count() >= TextListModel::PageRows);
    QCOMPARE(asked.mid(0, 3), QList<int>({TextListModel::PageRows, TextListModel::PageRows - 50, TextListModel::PageRows - 100}));
    QCOMPARE(list.viewport()->cursor().shape(), Qt::ArrowCursor);
    // Laying out the rows that came in reads no further page by itself.
    QTest::qWait(50);
    QCOMPARE(list.count(), TextListModel::PageRows);

    // Scrolled to the end, every row is there in order, and new rows stop the reading.
    for (int i = 0; i < 1000 && list.count() < total; ++i) {
        list.verticalScrollBar()->setValue(list.verticalScrollBar()->maximum());
        QCoreApplication::processEvents();
    }
    QCOMPARE(list.count(), total);
    for (int i = 0; i < total; ++i)
        QCOMPARE(list.text(i), QString::number(i));
    read = 0;
    list.setSource(source);
    QVERIFY(list.textModel()->isWaiting());
    list.setTexts({"甲"});
    QVERIFY(!list.textModel()->isWaiting());
    const int before = int(asked.size());
    QCoreApplication::processEvents();
    QCOMPARE(int(asked.size()), before);
}

void TestTextList::letsTextsGoAndReadsThemAgainByIdentity_data()
{
    QTest::addColumn<int>("bare"); // every how many pages come as identities alone (0: none)
    QTest::newRow("texts given") << 0;
    QTest::newRow("identities alone") << 1;
    QTest::newRow("some pages bare") << 3;
}

void TestTextList::letsTextsGoAndReadsThemAgainByIdentity()
{
    QFETCH(int, bare);
    // Row r has the identity 10r and the text "r"; identities in `gone` read as nothing.
    const int total = 100 * TextListModel::BlockRows + 7;
    int read = 0;
    int pages = 0;
    QList<qint64> reread;
    QSet<qint64> gone;
    auto expected = [](int row) { return QString::number(row); };
    TextListModel model;
    model.setSource(
        [&](int count) {
            TextListModel::Page page;
            const bool idsAlone = bare && ++pages % bare == 0;
            for (; page.rows.ids.size() < count && read < total; ++read) {
                if (!idsAlone)
                    page.rows.texts << expected(read);
                page.rows.ids << 10 * read;
            }
            page.atEnd = read == total;
            return page;
        },
        [&](const QList<qint64>& ids) {
            reread += ids;
            QStringList texts;
            for (qint64 id : ids)
                texts << (gone.contains(id) ? QString() : expected(int(id / 10)));
            return texts;
        });
    auto allTexts = [&](int rows) {
        QStringList all;
        for (int row = 0; row < rows; ++row)
            all << expected(row);
        return all;
    };
    // Pages that end inside a block, texts held beside rows that came bare.
    while (model.rowCount() < 8 * TextListModel::BlockRows)
        model.fetchMore({});
    QCOMPARE(model.texts(), allTexts(model.rowCount()));
    while (model.canFetchMore({}))
        model.fetchMore({});
    QCOMPARE(model.rowCount(), total);
    QVERIFY(model.heldTexts() <= TextListModel::KeptBlocks * TextListModel::BlockRows);
    if (bare == 0)
        QVERIFY(reread.isEmpty()); // the texts given with the rows are used while held

    // Rows let go read as they were given, by their identities, a block at a time; the last
    // block, partly filled, and the rows near it are still held.
    for (int row : {0, 1, TextListModel::BlockRows, total / 2, total - 1})
        QCOMPARE(model.index(row, 0).data().toString(), expected(row));
    if (bare == 0) {
        QCOMPARE(reread.first(), 0);
        QCOMPARE(reread.size(), 2 * TextListModel::BlockRows);
    }
    QCOMPARE(model.texts(), allTexts(total));
    QCOMPARE(model.id(total / 2).value_or(-1), qint64(10) * (total / 2));

    // A removal moves the rows below up across the blocks: each still reads its own text.
    const int removed = TextListModel::BlockRows - 1;
    QVERIFY(model.removeRows(removed, 2));
    for (int row : {removed - 1, removed, TextListModel::BlockRows, total / 2, total - 3})
        QCOMPARE(model.text(row), expected(row < removed ? row : row + 2));
    QCOMPARE(model.id(removed).value_or(-1), qint64(10) * (removed + 2));

    // A record deleted since it was listed reads as empty once read again; the others are there.
    gone.insert(10 * 5);
    for (int row = TextListModel::BlockRows; row < total - 2; row += TextListModel::BlockRows)
        model.text(row); // every block used since: the first is let go
    QCOMPARE(model.text(5), QString());
    QCOMPARE(model.text(6), expected(6));
    QVERIFY(model.heldTexts() <= TextListModel::KeptBlocks * TextListModel::BlockRows);
    QCOMPARE(model.texts().size(), total - 2);
}

QTEST_MAIN(TestTextList)
#include "test_text_list.moc"
