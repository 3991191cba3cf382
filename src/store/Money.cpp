#include "store/Money.h"

#include <limits>
#include <string>

namespace store {

namespace {

bool skippable(QChar c)
{
    return c == QLatin1Char(' ') || c == QLatin1Char('\t') || c == QLatin1Char('\n');
}

bool isDigit(QChar c) { return c >= QLatin1Char('0') && c <= QLatin1Char('9'); }

} // namespace

std::optional<Money> Money::parse(const QString& text)
{
    int i = 0;
    const int n = int(text.size());
    auto skip = [&] {
        while (i < n && skippable(text[i]))
            ++i;
    };

    bool negative = false;
    skip();
    if (i < n && (text[i] == QLatin1Char('-') || text[i] == QLatin1Char('+'))) {
        negative = text[i] == QLatin1Char('-');
        ++i;
    }

    // Significant digits without leading zeros, and the power of ten of the last one.
    std::string digits;
    qint64 scale = 0;
    bool seenPoint = false;
    bool seenDigit = false;
    for (skip(); i < n; ++i, skip()) {
        const QChar c = text[i];
        if (isDigit(c)) {
            seenDigit = true;
            if (!(digits.empty() && c == QLatin1Char('0')))
                digits.push_back(char(c.unicode()));
            if (seenPoint)
                --scale;
        } else if (c == QLatin1Char('.') && !seenPoint) {
            seenPoint = true;
        } else {
            break;
        }
    }
    if (!seenDigit)
        return Money();

    if (i < n && (text[i].toUpper() == QLatin1Char('E') || text[i].toUpper() == QLatin1Char('D'))) {
        int j = i + 1;
        auto skipAt = [&] {
            while (j < n && skippable(text[j]))
                ++j;
        };
        skipAt();
        bool expNegative = false;
        if (j < n && (text[j] == QLatin1Char('-') || text[j] == QLatin1Char('+'))) {
            expNegative = text[j] == QLatin1Char('-');
            ++j;
        }
        qint64 exponent = 0;
        for (skipAt(); j < n && isDigit(text[j]); ++j, skipAt())
            exponent = std::min<qint64>(exponent * 10 + (text[j].unicode() - '0'), 100000);
        scale += expNegative ? -exponent : exponent;
    }

    if (digits.empty())
        return Money();

    // units = digits × 10^(scale + 4), rounded half to even.
    const qint64 shift = scale + 4;
    const qint64 integerDigits = qint64(digits.size()) + shift;
    if (integerDigits > 19)
        return std::nullopt;

    unsigned __int128 units = 0;
    if (shift >= 0) {
        for (char d : digits)
            units = units * 10 + unsigned(d - '0');
        for (qint64 k = 0; k < shift; ++k)
            units *= 10;
    } else {
        const qint64 keep = std::max<qint64>(integerDigits, 0);
        for (qint64 k = 0; k < keep; ++k)
            units = units * 10 + unsigned(digits[size_t(k)] - '0');
        // The dropped digits decide the rounding.
        int first = 0;
        bool restNonZero = false;
        if (integerDigits >= 0) {
            first = digits[size_t(keep)] - '0';
            for (size_t k = size_t(keep) + 1; k < digits.size(); ++k)
                restNonZero = restNonZero || digits[k] != '0';
        } else {
            restNonZero = true; // every dropped digit lies further right; digits hold a non-zero
        }
        if (first > 5 || (first == 5 && (restNonZero || (units & 1))))
            ++units;
    }

    const auto limit = static_cast<unsigned __int128>(std::numeric_limits<qint64>::max());
    if (units > limit + (negative ? 1 : 0))
        return std::nullopt;
    if (negative)
        return Money(units == limit + 1 ? std::numeric_limits<qint64>::min() : -qint64(units));
    return Money(qint64(units));
}

QString Money::toString() const
{
    const bool negative = m_units < 0;
    // Work in unsigned so the most negative amount has a magnitude too.
    const unsigned long long magnitude = negative ? 0ull - static_cast<unsigned long long>(m_units)
                                                  : static_cast<unsigned long long>(m_units);
    const unsigned long long whole = magnitude / UnitsPerYuan;
    unsigned long long fraction = magnitude % UnitsPerYuan;

    QString out = negative ? QStringLiteral("-") : QString();
    out += QString::number(whole);
    if (fraction) {
        QString decimals = QStringLiteral("%1").arg(fraction, 4, 10, QLatin1Char('0'));
        while (decimals.endsWith(QLatin1Char('0')))
            decimals.chop(1);
        out += QLatin1Char('.') + decimals;
    }
    return out;
}

std::optional<Money> Money::plus(Money other) const
{
    qint64 sum = 0;
    if (__builtin_add_overflow(m_units, other.m_units, &sum))
        return std::nullopt;
    return Money(sum);
}

} // namespace store
