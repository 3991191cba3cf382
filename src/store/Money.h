#pragma once

#include <QString>
#include <QtGlobal>
#include <optional>

namespace store {

// A fee in yuan, exact to four decimal places: a whole number of 1/10000 yuan, with the range
// of the classic 64-bit currency type. No binary floating point touches an amount.
class Money
{
public:
    static constexpr qint64 UnitsPerYuan = 10000;

    constexpr Money() = default;
    static constexpr Money fromUnits(qint64 units) { return Money(units); }

    constexpr qint64 units() const { return m_units; }

    // Reads a typed fee the way a leading-number reader does: blanks, tabs and line feeds
    // anywhere are skipped; a sign, one decimal point and an exponent (E or D) are taken;
    // reading stops at the first other character; no leading number gives 0. The value is
    // rounded half to even at the fifth decimal. std::nullopt when it overflows the range.
    static std::optional<Money> parse(const QString& text);

    // Shortest decimal: no thousands separators, "." as point, no trailing zeros, at most four
    // decimals, "-" when negative, "0" before the point below 1 (12.5, 30, 0.0001, -3.25).
    QString toString() const;

    // Checked addition; std::nullopt on overflow.
    std::optional<Money> plus(Money other) const;

    friend constexpr bool operator==(Money a, Money b) { return a.m_units == b.m_units; }

private:
    constexpr explicit Money(qint64 units) : m_units(units) {}
    qint64 m_units = 0;
};

} // namespace store
