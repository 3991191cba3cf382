// The drug catalogue stores a name and a usage as one text, and both the catalogue and the main
// window take it apart again. Whatever text a file holds, the parts must put the same text back
// together (bar a lone "/" with nothing after it, which carries no usage), and any name without
// a "/" must come back with its usage as they were typed.
//
//   fuzz_drug_entry -dict=fuzz/drug_entry.dict corpus-dir fuzz/corpus/drug_entry

#include "formats/DrugEntryText.h"

#include "FuzzText.h"

namespace {

using fuzz::fail;

void check(const QString& input)
{
    const DrugEntryParts parts = splitDrugEntry(input);
    if (parts.name.contains(u'/'))
        fail("the name part holds a slash", input);
    const qsizetype slash = input.indexOf(u'/');
    if (slash < 0 ? parts.name != input || !parts.usage.isEmpty()
                  : parts.name + u'/' + parts.usage != input)
        fail("the parts do not make up the text", input);

    const QString joined = joinDrugEntry(parts.name, parts.usage);
    const bool bareSlash = slash == input.size() - 1;
    if (joined != (bareSlash ? input.chopped(1) : input))
        fail("joining the parts changes the text", input);

    // The same input as two boxes: the name box up to the first NUL, the usage box after it.
    const qsizetype cut = input.indexOf(QChar(0));
    if (cut < 0)
        return;
    const QString name = input.left(cut);
    const QString usage = input.mid(cut + 1);
    if (name.contains(u'/'))
        return;
    const DrugEntryParts back = splitDrugEntry(joinDrugEntry(name, usage));
    if (back.name != name || back.usage != usage)
        fail("name and usage do not come back from the stored text", input);
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size)
{
    fuzz::forEachReading(data, size, check);
    return 0;
}
