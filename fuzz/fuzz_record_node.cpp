// Open and Delete find their record by the key read back from a tree node's text, and the name
// in front of it is whatever a file holds. Whatever the name, a key of the length the program
// writes must come back exactly; and no text may yield a key of another length.
//
//   fuzz_record_node corpus-dir fuzz/corpus/record_node

#include "workstation/RecordNode.h"

#include "FuzzText.h"

namespace {

using fuzz::fail;

void check(const QString& input)
{
    const QString read = recordnode::key(input);
    if (!read.isEmpty() && read.size() != recordnode::KeyLength)
        fail("key of the wrong length", input);

    // The input as a name, a NUL, then the key (cut or padded to its length).
    const qsizetype cut = input.indexOf(QChar(0));
    const QString name = input.left(cut);
    QString key = cut < 0 ? QString() : input.mid(cut + 1, recordnode::KeyLength);
    key = key.leftJustified(recordnode::KeyLength, u'0');
    if (recordnode::key(recordnode::text(name, key)) != key)
        fail("the key does not come back from the node text", input);
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size)
{
    fuzz::forEachReading(data, size, check);
    return 0;
}
