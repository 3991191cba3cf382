#pragma once

#include <QString>

namespace store {

// How one database engine words the store's statements. The statements are written once, with
// names in brackets ([名称]) and numbered parameters (?1), and put into each engine's words
// here; what differs in meaning, not only in spelling, has a word of its own.
//
// Both engines give the same results for the same words: the server's text columns compare
// byte for byte (collation "C"), so ordering matches the file's, and its ILIKE then folds Latin
// letters only, as LIKE does in the file.
class Dialect
{
public:
    virtual ~Dialect() = default;
    static const Dialect& sqlite();
    static const Dialect& postgres();

    virtual QString quote(const QString& name) const = 0;
    virtual QString parameter(int number) const = 0;
    // A statement written with [names] and ?n, in this engine's words.
    virtual QString render(const QString& neutral) const = 0;
    // " LIMIT <parameter n>", where a bound -1 means no limit.
    virtual QString limit(int number) const = 0;
    // LIKE without an escape character, Latin letters either case.
    virtual QString like(const QString& text, const QString& pattern) const = 0;
    // A column between two texts, Latin letters compared either case (the bounds are given
    // in small letters).
    virtual QString foldedRange(const QString& column, int from, int to) const = 0;
    // What an INSERT ends with so that the new row's identity is known afterwards.
    virtual QString insertEnd() const = 0;
    virtual bool isServer() const = 0;
};

} // namespace store
