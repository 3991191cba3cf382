// Name keys are made from whatever is typed or pasted into a name box. The key must have one
// lower-case initial or blank per UTF-16 unit up to and including the first blank, never a
// reading that no hanzi starts with, and each unit's letter must not depend on what came before
// it: the code-page converter is reused from call to call and must carry no state between
// characters, not even after a character it could not convert.
//
//   fuzz_pinyin_initials corpus-dir fuzz/corpus/pinyin_initials

#include "pinyin/Pinyin.h"

#include "FuzzText.h"

namespace {

using fuzz::fail;

void check(const QString& input)
{
    const QString key = PinyinInitials(input);
    const qsizetype blank = input.indexOf(u' ');
    if (key.size() != (blank < 0 ? input.size() : blank + 1))
        fail("key length does not follow the text up to its first blank", input);
    for (qsizetype i = 0; i < key.size(); ++i) {
        const QChar c = key[i];
        if (c != u' ' && (c < u'a' || c > u'z' || c == u'i' || c == u'u' || c == u'v'))
            fail("key holds a character that is no initial", input);
        if (PinyinInitials(QString(input[i])) != QString(c))
            fail("a character's initial depends on the text around it", input);
    }
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size)
{
    fuzz::forEachReading(data, size, check);
    return 0;
}
