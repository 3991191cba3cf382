// Feeds arbitrary field contents to the stored-prescription reader. Besides not crashing, what
// the reader recovers must survive being saved and opened again unchanged, since that is what
// happens to a damaged record the first time someone edits it; and any text at all must come
// back from its stored form.
//
//   fuzz_prescription_text -max_len=4096 -dict=fuzz/prescription_text.dict \
//       corpus-dir fuzz/corpus/prescription_text

#include "formats/PrescriptionText.h"

#include "FuzzText.h"

namespace {

using fuzz::fail;

bool isAscii(const QString& s)
{
    for (const QChar c : s)
        if (c.unicode() >= 0x80)
            return false;
    return true;
}

void check(const QString& input)
{
    using namespace prescription;
    const QStringList lines = storedRtfLines(input);
    for (const QString& line : lines)
        if (line.contains(u'\r') || line.contains(u'\n'))
            fail("a read line holds a line break", input);
    const QString text = lines.join(QLatin1String("\r\n"));
    if (storedRtfToPlainText(input) != text)
        fail("plain text differs from the joined lines", input);

    const QString saved = toStoredRtf(text);
    if (!isAscii(saved))
        fail("stored form is not ASCII", input);
    if (storedRtfLines(saved) != lines)
        fail("read lines change when saved and read again", input);

    // The same bytes typed into the box.
    const QString typed = toStoredRtf(input);
    if (!isAscii(typed))
        fail("stored form of the raw input is not ASCII", input);
    if (storedRtfLines(typed) != plainTextLines(input))
        fail("raw input does not come back from its stored form", input);
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size)
{
    fuzz::forEachReading(data, size, check);
    return 0;
}
