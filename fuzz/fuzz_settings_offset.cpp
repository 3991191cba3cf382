// The print offsets are kept as text in the settings row, which any file can fill with anything.
// Reading one must not crash, must stay within the range a page can use, must give a written
// whole number back as it was, and must not care about blanks around the number.
//
//   fuzz_settings_offset corpus-dir fuzz/corpus/settings_offset

#include "store/Records.h"

#include "FuzzText.h"

#include <QRegularExpression>
#include <cstdlib>

namespace {

using fuzz::fail;

void check(const QString& input)
{
    const int mm = store::offsetMillimetres(input);
    if (std::abs(mm) > 1000000)
        fail("offset out of range", input);
    if (store::offsetMillimetres(QStringLiteral(" \t%1\n ").arg(input)) != mm)
        fail("blanks around the text change the offset", input);

    // Plain ASCII digits after an optional sign: the number itself.
    static const QRegularExpression wholeNumber(QStringLiteral("^[+-]?[0-9]{1,7}$"));
    if (wholeNumber.match(input).hasMatch()) {
        const int number = input.toInt();
        if (std::abs(number) <= 1000000 && mm != number)
            fail("a whole number is not read as itself", input);
    }
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size)
{
    if (size == 0 && store::offsetMillimetres(std::nullopt) != 0)
        fail("a missing offset is not 0", QString());
    fuzz::forEachReading(data, size, check);
    return 0;
}
