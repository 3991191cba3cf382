// Fees come from what a user types and from files. Reading must not crash or overflow; an
// amount must come back unchanged from its written form; blanks, tabs and line feeds must not
// matter wherever they are; and a minus sign must give the same amount negated, since rounding
// half to even is symmetric.
//
//   fuzz_money -dict=fuzz/money.dict corpus-dir fuzz/corpus/money

#include "store/Money.h"

#include "FuzzText.h"

#include <QRegularExpression>
#include <limits>

namespace {

using fuzz::fail;
using store::Money;

void checkWritten(Money money, const QString& input)
{
    static const QRegularExpression shape(QStringLiteral("^-?(0|[1-9][0-9]*)(\\.[0-9]{0,3}[1-9])?$"));
    const QString written = money.toString();
    if (!shape.match(written).hasMatch() || written == QLatin1String("-0"))
        fail(qPrintable(QStringLiteral("amount written as \"%1\"").arg(written)), input);
    if (Money::parse(written) != money)
        fail(qPrintable(QStringLiteral("\"%1\" does not read back as the same amount").arg(written)), input);
}

bool startsUnsigned(const QString& text)
{
    for (const QChar c : text) {
        if (c == u' ' || c == u'\t' || c == u'\n')
            continue;
        return c.isDigit() || c == u'.';
    }
    return false;
}

void check(const QString& input)
{
    const std::optional<Money> money = Money::parse(input);
    if (money)
        checkWritten(*money, input);

    QString bare = input;
    bare.remove(u' ').remove(u'\t').remove(u'\n');
    if (Money::parse(bare) != money)
        fail("blanks change the amount", input);

    if (startsUnsigned(input)) {
        const std::optional<Money> negated = Money::parse(u'-' + input);
        // The range has one more negative amount than positive ones.
        if (money && (!negated || negated->units() != -money->units()))
            fail("a minus sign does not negate the amount", input);
        if (!money && negated && negated->units() != std::numeric_limits<qint64>::min())
            fail("an amount too large is read once negated", input);
    }
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size)
{
    // The first eight bytes as an amount in 1/10000 yuan, to reach the whole range.
    if (size >= sizeof(qint64)) {
        qint64 units = 0;
        std::memcpy(&units, data, sizeof units);
        checkWritten(Money::fromUnits(units), QStringLiteral("units %1").arg(units));
    }
    fuzz::forEachReading(data, size, check);
    return 0;
}
