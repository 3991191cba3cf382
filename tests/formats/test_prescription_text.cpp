#include "formats/PrescriptionText.h"

#include <QRandomGenerator>
#include <QTest>

using namespace prescription;

namespace {

// The header every stored prescription starts with, written out here independently.
const QString header = QStringLiteral(
    "{\\rtf1\\ansi\\deff0{\\fonttbl{\\f0\\fnil\\fcharset134 \\'cb\\'ce\\'cc\\'e5;}}\r\n"
    "\\viewkind4\\uc1\\pard\\lang2052\\f0\\fs18 ");

QString stored(const QString& body) { return header + body + QLatin1Char('}'); }

// As shipped in the template's sample record (store/Templates.cpp).
const QString samplePrescription = QStringLiteral(
    "{\\rtf1\\ansi\\deff0{\\fonttbl{\\f0\\fnil\\fcharset134 \\'cb\\'ce\\'cc\\'e5;}}\r\n"
    "\\viewkind4\\uc1\\pard\\lang2052\\f0\\fs18 "
    "\\'b0\\'a2\\'c4\\'aa\\'ce\\'f7\\'c1\\'d6\\'c6\\'ac 0.25\\'a1\\'c124\r\n"
    "\\par     \\'d3\\'c3\\'b7\\'a8\\'a3\\'ba0.5 bid\r\n"
    "\\par }");

QString units(std::initializer_list<char16_t> list)
{
    QString s;
    for (const char16_t u : list)
        s.append(QChar(u));
    return s;
}

bool isAscii(const QString& s)
{
    return std::all_of(s.begin(), s.end(), [](QChar c) { return c.unicode() < 0x80; });
}

QString randomText(QRandomGenerator& random)
{
    static const QString pieces[] = {
        QStringLiteral("\r\n"), QStringLiteral("\r"), QStringLiteral("\n"), QStringLiteral("\t"),
        QStringLiteral("\\"), QStringLiteral("{"), QStringLiteral("}"), QStringLiteral("?"),
        QStringLiteral(" "), QStringLiteral("0.5"), QStringLiteral("\\par"), QStringLiteral("\\'b0"),
        QStringLiteral("阿莫西林片"), QStringLiteral("×"), QStringLiteral("用法："),
        QStringLiteral("€"), QStringLiteral("😀"), QStringLiteral("한"), QStringLiteral("𠀀"),
    };
    QString text;
    const int length = int(random.bounded(40));
    for (int i = 0; i < length; ++i) {
        switch (random.bounded(4)) {
        case 0:
            text += pieces[random.bounded(int(std::size(pieces)))];
            break;
        case 1:
            text += QChar(char16_t(random.bounded(0x20, 0x7f)));
            break;
        case 2:
            text += QChar(char16_t(random.bounded(0x4e00, 0x9fa6)));
            break;
        default:
            text += QChar(char16_t(random.bounded(0x10000))); // lone surrogates and controls too
            break;
        }
    }
    return text;
}

QString randomRtf(QRandomGenerator& random)
{
    static const char* const tokens[] = {
        "{", "}", "\\par ", "\\line", "\\tab", "\\'b0", "\\'a2", "\\'0d", "\\'0a", "\\'ff", "\\'",
        "\\u-10179", "\\u38463", "\\u13", "\\u-8704", "\\uc0 ", "\\uc2 ", "?", "a", " ", "\r\n",
        "\\*", "\\fonttbl ", "\\bin2 ", "\\", "\\{", "\\\\", "\\b0 ", "\\~", "阿", "\t",
    };
    QString rtf = QStringLiteral("{\\rtf1 ");
    const int length = int(random.bounded(60));
    for (int i = 0; i < length; ++i)
        rtf += QString::fromUtf8(tokens[random.bounded(int(std::size(tokens)))]);
    return rtf;
}

} // namespace

class TestPrescriptionText : public QObject
{
    Q_OBJECT

private slots:
    void writer_data()
    {
        QTest::addColumn<QString>("text");
        QTest::addColumn<QString>("expected");

        QTest::newRow("empty") << QString() << stored(QString());
        QTest::newRow("one line") << QStringLiteral("abc 0.5") << stored(QStringLiteral("abc 0.5"));
        QTest::newRow("ends with a line break")
            << QStringLiteral("a\r\n") << stored(QStringLiteral("a\r\n\\par "));
        QTest::newRow("prescription")
            << QStringLiteral("阿莫西林片 0.25×24\r\n    用法：0.5 tid\r\n")
            << stored(QStringLiteral("\\'b0\\'a2\\'c4\\'aa\\'ce\\'f7\\'c1\\'d6\\'c6\\'ac 0.25"
                                     "\\'a1\\'c124\r\n\\par     \\'d3\\'c3\\'b7\\'a8\\'a3\\'ba0.5 tid"
                                     "\r\n\\par "));
        QTest::newRow("backslash, braces and tab")
            << QStringLiteral("a\\b{c}d\te") << stored(QStringLiteral("a\\\\b\\{c\\}d\\tab e"));
        QTest::newRow("lone CR and LF")
            << QStringLiteral("a\rb\nc\r\n\r\nd\n\r")
            << stored(QStringLiteral("a\r\n\\par b\r\n\\par c\r\n\\par \r\n\\par d\r\n\\par \r\n\\par "));
        QTest::newRow("single-byte euro") << QStringLiteral("€") << stored(QStringLiteral("\\'80"));
        QTest::newRow("trail byte in ASCII range") << QStringLiteral("丂") << stored(QStringLiteral("\\'81\\'40"));
        QTest::newRow("emoji") << QStringLiteral("x😀?") << stored(QStringLiteral("x\\u-10179?\\u-8704??"));
        QTest::newRow("run with a character GBK lacks")
            << QStringLiteral("阿😀莫") << stored(QStringLiteral("\\'b0\\'a2\\u-10179?\\u-8704?\\'c4\\'aa"));
        QTest::newRow("BMP outside GBK")
            << QStringLiteral("한1") << stored(QStringLiteral("\\u-10916?1"));
        QTest::newRow("unsigned below 0x8000") << QStringLiteral("Ā") << stored(QStringLiteral("\\u256?"));
        QTest::newRow("lone surrogate")
            << units({0xd800, u'×'}) << stored(QStringLiteral("\\u-10240?\\'a1\\'c1"));
        QTest::newRow("shipped sample")
            << QStringLiteral("阿莫西林片 0.25×24\r\n    用法：0.5 bid\r\n") << samplePrescription;
    }

    void writer()
    {
        QFETCH(QString, text);
        QFETCH(QString, expected);
        QCOMPARE(toStoredRtf(text), expected);
    }

    void reader_data()
    {
        QTest::addColumn<QString>("stored");
        QTest::addColumn<QStringList>("lines");

        QTest::newRow("shipped sample")
            << samplePrescription
            << QStringList{QStringLiteral("阿莫西林片 0.25×24"), QStringLiteral("    用法：0.5 bid"), QString()};
        QTest::newRow("other rich-text box")
            << QStringLiteral("{\\rtf1\\ansi\\ansicpg936\\deff0\\deflang1033\\deflangfe2052{\\fonttbl{\\f0"
                              "\\fnil\\fcharset134 \\'cb\\'ce\\'cc\\'e5;}}\r\n{\\colortbl ;\\red255\\green0"
                              "\\blue0;}\r\n{\\*\\generator Riched20 5.50.99.2050;}\\viewkind4\\uc1\\pard"
                              "\\lang2052\\f0\\fs18 \\'b0\\'a2\\par\r\nb\\par\r\n}")
            << QStringList{QStringLiteral("阿"), "b", ""};
        QTest::newRow("\\u with fallback")
            << QStringLiteral("{\\rtf1\\ansi\\uc1 \\u38463?\\u33707?}") << QStringList{QStringLiteral("阿莫")};
        QTest::newRow("\\u negative pair")
            << QStringLiteral("{\\rtf1 \\u-10179?\\u-8704?}") << QStringList{QStringLiteral("😀")};
        QTest::newRow("\\u unsigned pair")
            << QStringLiteral("{\\rtf1 \\u55357?\\u56832?}") << QStringList{QStringLiteral("😀")};
        QTest::newRow("\\uc2 skips two escapes")
            << QStringLiteral("{\\rtf1\\uc2 \\u38463\\'b0\\'a2x}") << QStringList{QStringLiteral("阿x")};
        QTest::newRow("\\uc0 skips nothing")
            << QStringLiteral("{\\rtf1\\uc0 \\u38463 x}") << QStringList{QStringLiteral("阿x")};
        QTest::newRow("\\uc is scoped to its group")
            << QStringLiteral("{\\rtf1\\uc2{\\uc0\\u25105}\\u25105\\'ce\\'d2x}")
            << QStringList{QStringLiteral("我我x")};
        QTest::newRow("fallback ends at a group boundary")
            << QStringLiteral("{\\rtf1\\uc3{\\u25105 a}bc}") << QStringList{QStringLiteral("我bc")};
        QTest::newRow("fallback counts a control word")
            << QStringLiteral("{\\rtf1 \\u25105\\b x}") << QStringList{QStringLiteral("我x")};
        QTest::newRow("destinations")
            << QStringLiteral("{\\rtf1{\\fonttbl{\\f0 Arial;}}{\\colortbl;\\red255;}{\\stylesheet{Normal;}}"
                              "{\\info{\\title T}}{\\*\\generator X;}{\\pict\\pngblip 89504e47}{\\header H}"
                              "{\\*\\unknown Z}A}")
            << QStringList{"A"};
        QTest::newRow("\\bin data may hold braces")
            << QStringLiteral("{\\rtf1{\\pict\\bin4 }}{x}A}") << QStringList{"A"};
        QTest::newRow("parameters and delimiters")
            << QStringLiteral("{\\rtf1\\li-360\\fi720\\b bold\\b0  x\\fs18;}") << QStringList{"bold x;"};
        QTest::newRow("\\line and \\tab") << QStringLiteral("{\\rtf1 a\\line b\\tab c}") << QStringList{"a", "b\tc"};
        QTest::newRow("escaped literals") << QStringLiteral("{\\rtf1 \\{\\}\\\\}") << QStringList{"{}\\"};
        QTest::newRow("raw line breaks are not text")
            << QStringLiteral("{\\rtf1 a\r\nb\rc\nd}") << QStringList{"abcd"};
        QTest::newRow("backslash before a line break is \\par")
            << QStringLiteral("{\\rtf1 a\\\r\nb}") << QStringList{"a", "b"};
        QTest::newRow("\\par separates") << QStringLiteral("{\\rtf1 a\\par}") << QStringList{"a", ""};
        QTest::newRow("empty document") << QStringLiteral("{\\rtf1}") << QStringList{QString()};
        QTest::newRow("after the document") << QStringLiteral("{\\rtf1 a}b") << QStringList{"a"};
        QTest::newRow("upper-case hex") << QStringLiteral("{\\rtf1 \\'B0\\'A2}") << QStringList{QStringLiteral("阿")};
        QTest::newRow("bytes across a formatting word")
            << QStringLiteral("{\\rtf1 \\'b0\\cf1\\'a2}") << QStringList{QStringLiteral("阿")};
        QTest::newRow("dangling lead byte")
            << QStringLiteral("{\\rtf1 \\'b0x\\'b0}") << QStringList{QStringLiteral("\ufffdx\ufffd")};
        QTest::newRow("escaped CR and LF break lines")
            << QStringLiteral("{\\rtf1 a\\'0d\\'0ab\\'0dc\\u10?d\\'0a\\'0d}")
            << QStringList{"a", "b", "c", "d", "", ""};
        QTest::newRow("control symbols")
            << QStringLiteral("{\\rtf1 a\\~b\\-c\\_d\\|\\:}") << QStringList{QStringLiteral("a\u00a0bc\u2011d")};
        QTest::newRow("named characters")
            << QStringLiteral("{\\rtf1 \\ldblquote x\\rdblquote\\emdash\\bullet}")
            << QStringList{QStringLiteral("“x”—•")};
        QTest::newRow("plain text")
            << QStringLiteral("阿莫西林\r\nb\rc\nd") << QStringList{QStringLiteral("阿莫西林"), "b", "c", "d"};
        QTest::newRow("plain text that merely looks like rich text")
            << QStringLiteral(" {\\rtf1 x}") << QStringList{QStringLiteral(" {\\rtf1 x}")};
        QTest::newRow("empty field") << QString() << QStringList{QString()};
    }

    void reader()
    {
        QFETCH(QString, stored);
        QFETCH(QStringList, lines);
        QCOMPARE(storedRtfLines(stored), lines);
        QCOMPARE(storedRtfToPlainText(stored), lines.join(QLatin1String("\r\n")));
    }

    void malformed_data()
    {
        QTest::addColumn<QString>("stored");
        QTest::addColumn<QStringList>("lines");

        const int deep = 200000;
        QTest::newRow("nesting beyond the limit is ignored")
            << QStringLiteral("{\\rtf1 a") + QString(deep, u'{') + "b" + QString(deep, u'}') + "c}"
            << QStringList{"ac"};
        QTest::newRow("nesting within the limit")
            << QStringLiteral("{\\rtf1 ") + QString(500, u'{') + "b" + QString(500, u'}') + "}"
            << QStringList{"b"};
        QTest::newRow("unclosed groups") << QStringLiteral("{\\rtf1{{{a\\par b") << QStringList{"a", "b"};
        QTest::newRow("only the opening") << QStringLiteral("{\\rtf") << QStringList{QString()};
        QTest::newRow("escape cut at the end") << QStringLiteral("{\\rtf1 a\\'") << QStringList{"a"};
        QTest::newRow("one hex digit at the end") << QStringLiteral("{\\rtf1 a\\'4") << QStringList{"a"};
        QTest::newRow("one hex digit") << QStringLiteral("{\\rtf1 a\\'4g}") << QStringList{"ag"};
        QTest::newRow("backslash at the end") << QStringLiteral("{\\rtf1 a\\") << QStringList{"a"};
        QTest::newRow("huge \\u")
            << QStringLiteral("{\\rtf1 \\u99999999999999999999?x\\u-99999999999999999999?y\\u65536?}")
            << QStringList{QStringLiteral("\ufffdx\ufffdy\ufffd")};
        QTest::newRow("huge \\uc")
            << QStringLiteral("{\\rtf1\\uc99999999999999999999 \\u25105 abc}") << QStringList{QStringLiteral("我")};
        QTest::newRow("negative \\uc") << QStringLiteral("{\\rtf1\\uc-5 \\u25105 a}") << QStringList{QStringLiteral("我a")};
        QTest::newRow("huge \\bin") << QStringLiteral("{\\rtf1 a\\bin99999999999999999999 bc}") << QStringList{"a"};
        QTest::newRow("huge parameter") << QStringLiteral("{\\rtf1\\fs-99999999999999 x}") << QStringList{"x"};
        QTest::newRow("overlong control word")
            << QStringLiteral("{\\rtf1\\") + QString(100, u'p') + "ar x}" << QStringList{"x"};
        QTest::newRow("stray closing braces") << QStringLiteral("{\\rtf1 a}}}b") << QStringList{"a"};
        QTest::newRow("starred document") << QStringLiteral("{\\rtf1\\*abc}") << QStringList{QString()};
        QTest::newRow("NUL characters")
            << QStringLiteral("{\\rtf1 a") + QChar(0) + QStringLiteral("b\\'00c}")
            << QStringList{QStringLiteral("a") + QChar(0) + "b" + QChar(0) + "c"};
        QTest::newRow("lone surrogates from \\u")
            << QStringLiteral("{\\rtf1 \\u-10240?x\\u-8704?}") << QStringList{units({0xd800, u'x', 0xde00})};
        QTest::newRow("many cut escapes") << QStringLiteral("{\\rtf1 ") + QStringLiteral("\\'").repeated(10000)
                                          << QStringList{QString()};
        QTest::newRow("invalid double byte")
            << QStringLiteral("{\\rtf1 \\'81\\'7f}") << QStringList{QStringLiteral("\ufffd\x7f")};
    }

    void malformed()
    {
        QFETCH(QString, stored);
        QFETCH(QStringList, lines);
        QCOMPARE(storedRtfLines(stored), lines);
    }

    void writerRoundTrip()
    {
        QRandomGenerator random(20260101);
        for (int i = 0; i < 5000; ++i) {
            const QString text = randomText(random);
            const QString rtf = toStoredRtf(text);
            QVERIFY2(isAscii(rtf), qPrintable(rtf));
            QCOMPARE(storedRtfLines(rtf), prescription::plainTextLines(text));
        }
    }

    // Whatever the reader makes of a damaged field is what the box shows and saves again, so it
    // must survive the next save and open unchanged.
    void readerOutputRoundTrip()
    {
        QRandomGenerator random(7);
        for (int i = 0; i < 5000; ++i) {
            const QString rtf = randomRtf(random);
            const QStringList lines = storedRtfLines(rtf);
            for (const QString& line : lines)
                QVERIFY2(!line.contains(u'\r') && !line.contains(u'\n'), qPrintable(rtf));
            QCOMPARE(storedRtfLines(toStoredRtf(lines.join(QLatin1String("\r\n")))), lines);
        }
    }
};

QTEST_GUILESS_MAIN(TestPrescriptionText)
#include "test_prescription_text.moc"
