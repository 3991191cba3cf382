#include "bench/Support.h"

#include <QFile>
#include <cstring>
#include <sys/resource.h>

namespace bench {

long statusKb(const char* field)
{
    QFile status(QStringLiteral("/proc/self/status"));
    if (!status.open(QIODevice::ReadOnly))
        return -1;
    const QByteArray prefix = QByteArray(field) + ':';
    for (const QByteArray& line : status.readAll().split('\n'))
        if (line.startsWith(prefix))
            return line.mid(prefix.size()).trimmed().split(' ').value(0).toLong();
    return -1;
}

long peakKb()
{
    rusage usage{};
    getrusage(RUSAGE_SELF, &usage);
    return usage.ru_maxrss;
}

// The rows of a statement by content and order.
QByteArray digestOf(BareStatement& statement)
{
    Digest digest;
    statement.read([&](const QStringList& row) { digest.add(row); });
    return digest.result();
}

// The rows a list or grid shows by content and order: `columns` texts a row.
QByteArray digestOf(const QAbstractItemModel& model, int columns)
{
    Digest digest;
    for (int row = 0; row < model.rowCount(); ++row) {
        QStringList texts;
        for (int column = 0; column < columns; ++column)
            texts << model.index(row, column).data().toString();
        digest.add(texts);
    }
    return digest.result();
}

// Takes "--name value" or "--name=value" out of argv.
QString takeOption(int& argc, char** argv, const char* name)
{
    const size_t length = std::strlen(name);
    for (int i = 1; i < argc; ++i) {
        QString value;
        int used = 0;
        if (std::strcmp(argv[i], name) == 0 && i + 1 < argc) {
            value = QString::fromLocal8Bit(argv[i + 1]);
            used = 2;
        } else if (std::strncmp(argv[i], name, length) == 0 && argv[i][length] == '=') {
            value = QString::fromLocal8Bit(argv[i] + length + 1);
            used = 1;
        } else {
            continue;
        }
        for (int j = i; j + used <= argc; ++j)
            argv[j] = argv[j + used];
        argc -= used;
        return value;
    }
    return QString();
}

} // namespace bench
