#pragma once

// What the fuzz targets share: stopping with the input that broke a property, and reading the
// fuzzer's bytes as text the three ways text reaches the program.

#include <QString>

#include <cstddef>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <cstring>

namespace fuzz {

[[noreturn]] inline void fail(const char* what, const QString& input)
{
    std::fprintf(stderr, "%s\ninput (UTF-8): %s\n", what, input.toUtf8().constData());
    std::abort();
}

// Calls check with the bytes read as Latin-1 (every byte a character), as UTF-8 (what a file or
// the clipboard gives) and as raw UTF-16 units, the only way lone surrogates and arbitrary units
// reach the code.
template <typename Check>
void forEachReading(const std::uint8_t* data, std::size_t size, Check&& check)
{
    const char* bytes = reinterpret_cast<const char*>(data);
    const auto length = qsizetype(size);
    check(QString::fromLatin1(bytes, length));
    check(QString::fromUtf8(bytes, length));
    QString units(length / 2, Qt::Uninitialized);
    std::memcpy(units.data(), bytes, std::size_t(units.size()) * sizeof(QChar));
    check(units);
}

} // namespace fuzz
