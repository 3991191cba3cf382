#include "pinyin/Pinyin.h"

#include <QStringDecoder>
#include <QStringEncoder>
#include <QTest>

namespace {

qint16 signedCode(int code)
{
    return qint16(quint16(code));
}

QByteArray doubleByte(int code)
{
    const char bytes[] = {char(code >> 8), char(code & 0xFF)};
    return QByteArray(bytes, 2);
}

QString utf16(std::initializer_list<char16_t> units)
{
    return QString(reinterpret_cast<const QChar*>(std::data(units)), qsizetype(units.size()));
}

} // namespace

class TestPinyin : public QObject
{
    Q_OBJECT

private slots:
    void characterAtCode_data();
    void characterAtCode();
    void codeWithoutCharacter_data();
    void codeWithoutCharacter();
    void initials_data();
    void initials();
    void firstLevelIsAlphabetical();
    void everyUnitGivesOneLetterOrBlank();
};

// Each row is a real character: the code page must put it at `code`, PinyinLetter(code) must give
// the upper-case letter and PinyinInitials of the character the lower-case one.
void TestPinyin::characterAtCode_data()
{
    QTest::addColumn<int>("code");
    QTest::addColumn<QString>("character");
    QTest::addColumn<QString>("letter");

    struct Row {
        int code;
        const char16_t* character;
        const char* letter;
    };
    // The first and the last character of every reading's block.
    const Row boundaries[] = {
        {0xB0A1, u"啊", "A"}, {0xB0C4, u"澳", "A"}, {0xB0C5, u"芭", "B"}, {0xB2C0, u"怖", "B"},
        {0xB2C1, u"擦", "C"}, {0xB4ED, u"错", "C"}, {0xB4EE, u"搭", "D"}, {0xB6E9, u"堕", "D"},
        {0xB6EA, u"蛾", "E"}, {0xB7A1, u"贰", "E"}, {0xB7A2, u"发", "F"}, {0xB8C0, u"咐", "F"},
        {0xB8C1, u"噶", "G"}, {0xB9FD, u"过", "G"}, {0xB9FE, u"哈", "H"}, {0xBBF6, u"祸", "H"},
        {0xBBF7, u"击", "J"}, {0xBFA5, u"骏", "J"}, {0xBFA6, u"喀", "K"}, {0xC0AB, u"阔", "K"},
        {0xC0AC, u"垃", "L"}, {0xC2E7, u"络", "L"}, {0xC2E8, u"妈", "M"}, {0xC4C2, u"穆", "M"},
        {0xC4C3, u"拿", "N"}, {0xC5B5, u"诺", "N"}, {0xC5B6, u"哦", "O"}, {0xC5BD, u"沤", "O"},
        {0xC5BE, u"啪", "P"}, {0xC6D9, u"瀑", "P"}, {0xC6DA, u"期", "Q"}, {0xC8BA, u"群", "Q"},
        {0xC8BB, u"然", "R"}, {0xC8F5, u"弱", "R"}, {0xC8F6, u"撒", "S"}, {0xCBF9, u"所", "S"},
        {0xCBFA, u"塌", "T"}, {0xCDD9, u"唾", "T"}, {0xCDDA, u"挖", "W"}, {0xCEF3, u"误", "W"},
        {0xCEF4, u"昔", "X"}, {0xD1B8, u"迅", "X"}, {0xD1B9, u"压", "Y"}, {0xD4D0, u"孕", "Y"},
        {0xD4D1, u"匝", "Z"}, {0xD7F9, u"座", "Z"},
    };
    for (const Row& row : boundaries) {
        const QString character = QString::fromUtf16(row.character);
        QTest::addRow("%s %04X %s", row.letter, row.code, qPrintable(character))
            << row.code << character << QString::fromLatin1(row.letter);
    }

    // Second-level characters: the three that drug names need, and ones that stay blank.
    QTest::newRow("唑 kept") << 0xDFF2 << QStringLiteral("唑") << "Z";
    QTest::newRow("孢 kept") << 0xE6DF << QStringLiteral("孢") << "B";
    QTest::newRow("呋 kept") << 0xDFBB << QStringLiteral("呋") << "F";
    QTest::newRow("苄 second level") << 0xDCD0 << QStringLiteral("苄") << " ";
    QTest::newRow("first of second level") << 0xD8A1 << QStringLiteral("亍") << " ";
    QTest::newRow("last of second level") << 0xF7FE << QStringLiteral("齄") << " ";

    // Symbols and GBK extensions.
    QTest::newRow("full-width comma") << 0xA3AC << QStringLiteral("，") << " ";
    QTest::newRow("full-width space") << 0xA1A1 << QStringLiteral("　") << " ";
    QTest::newRow("GBK hanzi below every block") << 0x8140 << QStringLiteral("丂") << " ";
    QTest::newRow("GBK hanzi just below 啊") << 0xB0A0 << QStringLiteral("盃") << " ";
    // Not GB2312 characters, but their codes lie inside a block, and the compare is on the
    // whole 16-bit value.
    QTest::newRow("GBK hanzi inside B") << 0xB140 << QStringLiteral("盄") << "B";
    QTest::newRow("GBK hanzi inside Z") << 0xD740 << QStringLiteral("譆") << "Z";
}

void TestPinyin::characterAtCode()
{
    QFETCH(int, code);
    QFETCH(QString, character);
    QFETCH(QString, letter);

    QStringEncoder gbk("GBK");
    QVERIFY(gbk.isValid());
    const QByteArray bytes = gbk.encode(character);
    QCOMPARE(bytes, doubleByte(code));

    QCOMPARE(PinyinLetter(signedCode(code)), letter);
    QCOMPARE(PinyinInitials(character), letter.toLower());
}

void TestPinyin::codeWithoutCharacter_data()
{
    QTest::addColumn<int>("code");
    QTest::addColumn<QString>("letter");

    QTest::newRow("D7FA, right after 座") << 0xD7FA << " ";
    QTest::newRow("D7FE, end of row 55") << 0xD7FE << " ";
    QTest::newRow("next to 唑, below") << 0xDFF1 << " ";
    QTest::newRow("next to 唑, above") << 0xDFF3 << " ";
    QTest::newRow("next to 孢") << 0xE6DE << " ";
    QTest::newRow("next to 呋") << 0xDFBA << " ";
    QTest::newRow("FFFF, i.e. -1") << 0xFFFF << " ";
    QTest::newRow("8000, the most negative") << 0x8000 << " ";
    QTest::newRow("B040, GBK trail in A's lead") << 0xB040 << " ";
    QTest::newRow("AFFE") << 0xAFFE << " ";
    QTest::newRow("B2A0, GBK trail before 擦") << 0xB2A0 << "B";
    QTest::newRow("C540, GBK trail inside N") << 0xC540 << "N";
    QTest::newRow("C5FF, trail FF inside P") << 0xC5FF << "P";

    // Every non-negative code is a single byte or beyond; never a letter, not even the ASCII
    // letters or a positive code whose low bits look like a GB2312 hanzi.
    QTest::newRow("0000") << 0x0000 << " ";
    QTest::newRow("blank") << 0x0020 << " ";
    QTest::newRow("ASCII A") << 0x0041 << " ";
    QTest::newRow("007F") << 0x007F << " ";
    QTest::newRow("0080") << 0x0080 << " ";
    QTest::newRow("30A1, 啊 without the high bit") << 0x30A1 << " ";
    QTest::newRow("7FFF") << 0x7FFF << " ";
}

void TestPinyin::codeWithoutCharacter()
{
    QFETCH(int, code);
    QFETCH(QString, letter);
    QCOMPARE(PinyinLetter(signedCode(code)), letter);
}

void TestPinyin::initials_data()
{
    QTest::addColumn<QString>("text");
    QTest::addColumn<QString>("key");

    QTest::newRow("empty") << QString() << QString();
    QTest::newRow("甲硝唑") << QStringLiteral("甲硝唑") << "jxz";
    QTest::newRow("头孢拉定") << QStringLiteral("头孢拉定") << "tbld";
    QTest::newRow("呋塞米") << QStringLiteral("呋塞米") << "fsm";
    QTest::newRow("肺炎") << QStringLiteral("肺炎") << "fy";
    QTest::newRow("second-level hanzi inside") << QStringLiteral("氨苄西林") << "a xl";

    // ASCII and other single-byte characters are kept as blanks, one per character.
    QTest::newRow("trailing letter") << QStringLiteral("维生素C") << "wss ";
    QTest::newRow("leading letters") << QStringLiteral("VC片") << "  p";
    QTest::newRow("leading number") << QStringLiteral("0.9%氯化钠") << "    lhn";
    QTest::newRow("euro sign") << QStringLiteral("€甲") << " j";

    // The key stops at the first blank and keeps it.
    QTest::newRow("two words") << QStringLiteral("阿莫西林 胶囊") << "amxl ";
    QTest::newRow("blank then number") << QStringLiteral("青霉素针 960万") << "qmsz ";
    QTest::newRow("trailing blank") << QStringLiteral("甲 ") << "j ";
    QTest::newRow("two blanks") << QStringLiteral("甲  乙") << "j ";
    QTest::newRow("leading blank") << QStringLiteral(" 甲乙") << " ";
    QTest::newRow("only a blank") << QStringLiteral(" ") << " ";
    QTest::newRow("tab is no separator") << QStringLiteral("甲\t乙") << "j y";
    QTest::newRow("full-width space is no separator") << QStringLiteral("甲　乙") << "j y";

    // Nothing the converter cannot encode turns into a letter or disturbs what follows.
    QTest::newRow("half-width katakana") << QStringLiteral("ｶ甲") << " j";
    QTest::newRow("replacement character") << QStringLiteral("\uFFFD甲") << " j";
    QTest::newRow("surrogate pair") << QStringLiteral("😀甲") << "  j";
    QTest::newRow("lone high surrogate") << utf16({0xD83D, u'甲'}) << " j";
    QTest::newRow("lone low surrogate") << utf16({0xDE00, u'甲'}) << " j";
    QTest::newRow("high surrogate at the end") << utf16({u'甲', 0xD83D}) << "j ";

    // Names from the first-run data. Its diagnosis keys agree with these initials except three
    // typed by hand, which nothing here should try to produce: 高血压病 "gd1aayb", the first
    // 高脂血症 "gzd1aaz" and 眩晕 "d1a3y". Most of its drug keys were typed too, without the
    // blanks for digits and Latin letters or the one the first word ends with ("slysz" for
    // 0.9%生理盐水针 500ml), and 吗丁啉 has "mdlp " although 啉 is second-level.
    QTest::newRow("高血压病") << QStringLiteral("高血压病") << "gxyb";
    QTest::newRow("眩晕") << QStringLiteral("眩晕") << "xy";
    QTest::newRow("吗丁啉片 10mg×30") << QStringLiteral("吗丁啉片 10mg×30/10mg tid") << "md p ";
    QTest::newRow("急性支气管炎") << QStringLiteral("急性支气管炎") << "jxzqgy";
    QTest::newRow("美尼尔氏综合征") << QStringLiteral("美尼尔氏综合征") << "mneszhz";
    QTest::newRow("头孢呋辛钠针 2.25") << QStringLiteral("头孢呋辛钠针 2.25") << "tbfxnz ";
    QTest::newRow("奥美拉唑片1 10mg×7") << QStringLiteral("奥美拉唑片1 10mg×7/10mg qd")
                                        << "amlzp  ";
}

void TestPinyin::initials()
{
    QFETCH(QString, text);
    QFETCH(QString, key);
    QCOMPARE(PinyinInitials(text), key);
}

// Every first-level hanzi has a letter, and walking them in code order never goes back in the
// alphabet: a misplaced bound would show as a step backwards or a blank.
void TestPinyin::firstLevelIsAlphabetical()
{
    QStringDecoder gb2312("GB2312");
    QVERIFY(gb2312.isValid());
    QChar previous = QLatin1Char('a');
    int characters = 0;
    for (int lead = 0xB0; lead <= 0xD7; ++lead) {
        for (int trail = 0xA1; trail <= 0xFE; ++trail) {
            const int code = lead << 8 | trail;
            if (code > 0xD7F9)
                break;
            const QString character = gb2312.decode(doubleByte(code));
            QCOMPARE(character.size(), 1);
            const QString key = PinyinInitials(character);
            QCOMPARE(key, PinyinLetter(signedCode(code)).toLower());
            QVERIFY2(key[0] >= previous,
                     qPrintable(QStringLiteral("%1 at %2").arg(character).arg(code, 4, 16)));
            previous = key[0];
            ++characters;
        }
    }
    QCOMPARE(characters, 3755);
    QCOMPARE(previous, QLatin1Char('z'));
}

void TestPinyin::everyUnitGivesOneLetterOrBlank()
{
    for (int unit = 0; unit <= 0xFFFF; ++unit) {
        if (unit == ' ')
            continue;
        const QString text = QChar(char16_t(unit));
        const QString key = PinyinInitials(text);
        QVERIFY2(key.size() == 1, qPrintable(QString::number(unit, 16)));
        const QChar letter = key[0];
        const bool allowed = letter == QLatin1Char(' ')
                             || (letter >= QLatin1Char('a') && letter <= QLatin1Char('z')
                                 && letter != QLatin1Char('i') && letter != QLatin1Char('u')
                                 && letter != QLatin1Char('v'));
        QVERIFY2(allowed, qPrintable(QStringLiteral("U+%1 gives '%2'").arg(unit, 4, 16).arg(letter)));
    }
}

QTEST_GUILESS_MAIN(TestPinyin)
#include "test_pinyin.moc"
