#pragma once

#include "store/Schema.h"

#include <QString>
#include <QStringList>
#include <span>
#include <vector>

namespace store {

class CipherConnection;

// What is wrong with one of the program's database files, found when it is opened.
struct FileProblem {
    enum Kind {
        None,
        Missing,      // no file at the path
        Folder,       // a folder where the file should be
        Empty,        // zero bytes
        Unreadable,   // the system refuses to read it
        NotEncrypted, // a plain database, not one of ours
        NotOurs,      // does not open with the file's password: damaged, or some other file
        Damaged,      // ours, but cut short or its pages do not fit together
        MissingTable,
        MissingField,
        ReadOnly, // opens, but nothing can be written to it
        Unreachable, // the shared server cannot be used (detail: why)
    };
    Kind kind = None;
    QString detail; // the table, or "table.field"

    explicit operator bool() const { return kind != None; }
    // A file with this problem is kept open (it can still be read); any other is not used at all.
    bool usable() const { return kind == None || kind == ReadOnly; }
    // In words for the user, without the file's name.
    QString text() const;
};

// Why a file did not open, judged from the engine's complaint and the file itself.
FileProblem diagnoseUnopenable(const QString& path, const QString& engineError);

// Checks an open file against the tables it must hold (every table and field, by name) and that
// it is as long as its header says. Reads only.
FileProblem verifyFile(CipherConnection& db, std::span<const Table* const> tables);

// Whether the system lets this program write the file or folder and its owner has not marked it
// read-only (which counts even for a user the system lets write anyway).
bool markedWritable(const QString& path);
// Whether the engine has the file open for writing.
bool writable(CipherConnection& db);

// Whether the file holds a table of this name.
bool hasTable(CipherConnection& db, const Table& table);
// Those of `tables` a file must hold as it is: a table of laterTables() it lacks is not held
// against it.
std::vector<const Table*> requiredTables(CipherConnection& db, std::span<const Table* const> tables);
// Makes, in one transaction, those of laterTables() among `tables` that the file lacks, with
// their indexes; the other tables are not touched. False when they could not be made.
bool addLaterTables(CipherConnection& db, std::span<const Table* const> tables);

// The indexes of these tables the file lacks, as statements that make them.
QStringList missingIndexes(CipherConnection& db, std::span<const Table* const> tables);

} // namespace store
