#pragma once

#include <sqlite3.h>

#include <atomic>
#include <cstring>

// A file layer between the database engine and the system's, as the engine's own test suite
// injects I/O errors: it counts the reads, writes and syncs of every file the engine opens and
// fails the chosen one with the chosen error, and with `persistent` every one after it too, the
// way a disk that has filled up goes on refusing. Installed as the default, so the program's own
// connections and its backup copies go through it unchanged.
namespace faultvfs {

enum Op { Read = 1, Write = 2, Sync = 4 };

struct State {
    std::atomic<int> ops{0};      // which operations count
    std::atomic<int> left{-1};    // counted operations before the failing one; -1: none armed
    std::atomic<int> code{SQLITE_IOERR};
    std::atomic<bool> persistent{false};
    std::atomic<bool> fired{false};
};

inline State& state()
{
    static State s;
    return s;
}

// Whether this operation fails, counting it when it counts.
inline bool failNow(Op op)
{
    State& s = state();
    if (!(s.ops.load() & op))
        return false;
    if (s.fired.load() && s.persistent.load())
        return true;
    if (s.left.load() < 0)
        return false;
    if (s.left.fetch_sub(1) == 0) {
        s.fired = true;
        return true;
    }
    return false;
}

// The error an operation fails with: SQLITE_FULL is only a write's.
inline int errorFor(Op op)
{
    const int code = state().code.load();
    if (code == SQLITE_FULL && op == Write)
        return SQLITE_FULL;
    return op == Read ? SQLITE_IOERR_READ : op == Write ? SQLITE_IOERR_WRITE : SQLITE_IOERR_FSYNC;
}

struct File {
    sqlite3_file base;
    sqlite3_file* real; // follows this struct in the same allocation
};

inline sqlite3_file* real(sqlite3_file* f) { return reinterpret_cast<File*>(f)->real; }

inline int xClose(sqlite3_file* f)
{
    const int rc = real(f)->pMethods ? real(f)->pMethods->xClose(real(f)) : SQLITE_OK;
    f->pMethods = nullptr;
    return rc;
}
inline int xRead(sqlite3_file* f, void* b, int n, sqlite3_int64 o)
{
    return failNow(Read) ? errorFor(Read) : real(f)->pMethods->xRead(real(f), b, n, o);
}
inline int xWrite(sqlite3_file* f, const void* b, int n, sqlite3_int64 o)
{
    return failNow(Write) ? errorFor(Write) : real(f)->pMethods->xWrite(real(f), b, n, o);
}
inline int xTruncate(sqlite3_file* f, sqlite3_int64 s)
{
    return failNow(Write) ? errorFor(Write) : real(f)->pMethods->xTruncate(real(f), s);
}
inline int xSync(sqlite3_file* f, int flags)
{
    return failNow(Sync) ? errorFor(Sync) : real(f)->pMethods->xSync(real(f), flags);
}
inline int xFileSize(sqlite3_file* f, sqlite3_int64* s) { return real(f)->pMethods->xFileSize(real(f), s); }
inline int xLock(sqlite3_file* f, int l) { return real(f)->pMethods->xLock(real(f), l); }
inline int xUnlock(sqlite3_file* f, int l) { return real(f)->pMethods->xUnlock(real(f), l); }
inline int xCheckReservedLock(sqlite3_file* f, int* r) { return real(f)->pMethods->xCheckReservedLock(real(f), r); }
inline int xFileControl(sqlite3_file* f, int op, void* arg)
{
    // The engine hands out the file it was given, so reads through that handle count as well.
    if (op == SQLITE_FCNTL_FILE_POINTER) {
        *static_cast<sqlite3_file**>(arg) = f;
        return SQLITE_OK;
    }
    return real(f)->pMethods->xFileControl(real(f), op, arg);
}
inline int xSectorSize(sqlite3_file* f) { return real(f)->pMethods->xSectorSize(real(f)); }
inline int xDeviceCharacteristics(sqlite3_file* f) { return real(f)->pMethods->xDeviceCharacteristics(real(f)); }
inline int xShmMap(sqlite3_file* f, int i, int s, int e, void volatile** p)
{
    return real(f)->pMethods->xShmMap(real(f), i, s, e, p);
}
inline int xShmLock(sqlite3_file* f, int o, int n, int fl) { return real(f)->pMethods->xShmLock(real(f), o, n, fl); }
inline void xShmBarrier(sqlite3_file* f) { real(f)->pMethods->xShmBarrier(real(f)); }
inline int xShmUnmap(sqlite3_file* f, int d) { return real(f)->pMethods->xShmUnmap(real(f), d); }

inline const sqlite3_io_methods* methods()
{
    // Version 2 (no memory mapping), so every read goes through xRead.
    static const sqlite3_io_methods m = {2, xClose, xRead, xWrite, xTruncate, xSync, xFileSize, xLock, xUnlock,
                                         xCheckReservedLock, xFileControl, xSectorSize, xDeviceCharacteristics,
                                         xShmMap, xShmLock, xShmBarrier, xShmUnmap, nullptr, nullptr};
    return &m;
}

inline sqlite3_vfs*& underlying()
{
    static sqlite3_vfs* vfs = nullptr;
    return vfs;
}

inline int xOpen(sqlite3_vfs*, const char* name, sqlite3_file* f, int flags, int* outFlags)
{
    auto* file = reinterpret_cast<File*>(f);
    file->real = reinterpret_cast<sqlite3_file*>(file + 1);
    std::memset(file->real, 0, size_t(underlying()->szOsFile));
    const int rc = underlying()->xOpen(underlying(), name, file->real, flags, outFlags);
    f->pMethods = rc == SQLITE_OK && file->real->pMethods ? methods() : nullptr;
    return rc;
}

// Deleting a journal is how a transaction commits, so it counts as a write.
inline int xDelete(sqlite3_vfs*, const char* name, int syncDir)
{
    return failNow(Write) ? SQLITE_IOERR_DELETE : underlying()->xDelete(underlying(), name, syncDir);
}

// Registers the layer as the default, once; unarmed it changes nothing.
inline void install()
{
    static sqlite3_vfs vfs;
    if (underlying())
        return;
    underlying() = sqlite3_vfs_find(nullptr);
    vfs = *underlying();
    vfs.zName = "fault";
    vfs.szOsFile = int(sizeof(File)) + underlying()->szOsFile;
    vfs.xOpen = xOpen;
    vfs.xDelete = xDelete;
    sqlite3_vfs_register(&vfs, 1);
}

// From now on, the nth counted operation (0 is the next) of the given kinds fails with code.
inline void arm(int nth, int ops, int code, bool persistent)
{
    State& s = state();
    s.fired = false;
    s.ops = ops;
    s.code = code;
    s.persistent = persistent;
    s.left = nth;
}

// Stops failing; returns whether the armed failure happened.
inline bool disarm()
{
    State& s = state();
    s.ops = 0;
    s.left = -1;
    return s.fired.exchange(false);
}

} // namespace faultvfs
