#include "store/postgres/PgPass.h"

#include "common/Log.h"

#include <QDir>
#include <QRegularExpression>
#include <QFile>
#include <QSaveFile>
#include <QStringList>
#include <libpq-fe.h>
#include <pwd.h>
#include <unistd.h>

namespace store {

namespace {

struct Option {
    QString keyword;
    QString value;
};

std::vector<Option> parsed(const QString& conninfo, bool* ok = nullptr)
{
    char* error = nullptr;
    PQconninfoOption* options = PQconninfoParse(conninfo.toUtf8().constData(), &error);
    PQfreemem(error);
    if (ok)
        *ok = options != nullptr;
    std::vector<Option> found;
    for (PQconninfoOption* option = options; option && option->keyword; ++option)
        if (option->val)
            found.push_back({QString::fromUtf8(option->keyword), QString::fromUtf8(option->val)});
    PQconninfoFree(options);
    return found;
}

QString valueOf(const std::vector<Option>& options, const char* keyword)
{
    for (const Option& option : options)
        if (option.keyword == QLatin1String(keyword))
            return option.value;
    return {};
}

QString quoted(const QString& value)
{
    if (!value.isEmpty() && !value.contains(QRegularExpression(QStringLiteral("[\\s'\\\\]"))))
        return value;
    QString escaped = value;
    escaped.replace(QLatin1Char('\\'), QLatin1String("\\\\")).replace(QLatin1Char('\''), QLatin1String("\\'"));
    return QLatin1Char('\'') + escaped + QLatin1Char('\'');
}

QString rebuilt(const std::vector<Option>& options, const QString& password)
{
    QStringList parts;
    for (const Option& option : options) {
        if (option.keyword == QLatin1String("password")) {
            if (!password.isEmpty())
                parts << QStringLiteral("password=") + password;
        } else if (!option.value.isEmpty()) {
            parts << option.keyword + QLatin1Char('=') + quoted(option.value);
        }
    }
    return parts.join(QLatin1Char(' '));
}

QString field(const QString& value)
{
    QString escaped = value;
    return escaped.replace(QLatin1Char('\\'), QLatin1String("\\\\")).replace(QLatin1Char(':'), QLatin1String("\\:"));
}

// The host:port:database:user the string reaches, one per host it names, worded as the
// password file matches them.
QStringList keysOf(const QString& conninfo)
{
    const std::vector<Option> options = parsed(conninfo);
    QString user = valueOf(options, "user");
    if (user.isEmpty())
        user = qEnvironmentVariable("PGUSER");
    if (user.isEmpty())
        if (const passwd* pw = getpwuid(geteuid()))
            user = QString::fromLocal8Bit(pw->pw_name);
    QString database = valueOf(options, "dbname");
    if (database.isEmpty())
        database = qEnvironmentVariable("PGDATABASE", user);
    QString hosts = valueOf(options, "host");
    if (hosts.isEmpty())
        hosts = valueOf(options, "hostaddr");
    if (hosts.isEmpty())
        hosts = qEnvironmentVariable("PGHOST");
    QString ports = valueOf(options, "port");
    if (ports.isEmpty())
        ports = qEnvironmentVariable("PGPORT", QStringLiteral("5432"));
    const QStringList hostList = hosts.split(QLatin1Char(','));
    const QStringList portList = ports.split(QLatin1Char(','));
    QStringList keys;
    for (int i = 0; i < hostList.size(); ++i) {
        QString host = hostList[i].trimmed();
        // A local socket is matched as localhost.
        if (host.isEmpty() || host.startsWith(QLatin1Char('/')) || host.startsWith(QLatin1Char('@')))
            host = QStringLiteral("localhost");
        const QString port = portList.value(portList.size() == 1 ? 0 : i).trimmed();
        keys << QStringList{field(host), field(port.isEmpty() ? QStringLiteral("5432") : port), field(database), field(user)}
                    .join(QLatin1Char(':'));
    }
    return keys;
}

} // namespace

QString passwordMask() { return QStringLiteral("******"); }

QString statedPassword(const QString& conninfo) { return valueOf(parsed(conninfo), "password"); }

// The password as it is written in a key=value string, with the blanks before it.
const QRegularExpression& passwordWords()
{
    static const QRegularExpression words(QStringLiteral(R"((^|\s+)password\s*=\s*('(?:[^'\\]|\\.)*'|\S+))"));
    return words;
}

bool isUri(const QString& conninfo)
{
    return conninfo.trimmed().startsWith(QLatin1String("postgresql://")) || conninfo.trimmed().startsWith(QLatin1String("postgres://"));
}

// The string with its password written as `password`, or left out when that is empty; a URI is
// rewritten as key=value pairs, the others keep the words they were given.
QString replacedPassword(const QString& conninfo, const QString& password)
{
    bool ok = false;
    const std::vector<Option> options = parsed(conninfo, &ok);
    if (!ok || valueOf(options, "password").isEmpty())
        return conninfo;
    if (isUri(conninfo))
        return rebuilt(options, password);
    QString text = conninfo;
    text.replace(passwordWords(), password.isEmpty() ? QString() : QStringLiteral("\\1password=") + password);
    return text.trimmed();
}

QString withoutPassword(const QString& conninfo) { return replacedPassword(conninfo, QString()); }

QString maskedPassword(const QString& conninfo) { return replacedPassword(conninfo, passwordMask()); }

QString passwordFilePath()
{
    const QString set = qEnvironmentVariable("PGPASSFILE");
    return set.isEmpty() ? QDir::home().filePath(QStringLiteral(".pgpass")) : set;
}

bool passwordFileHas(const QString& conninfo)
{
    QFile file(passwordFilePath());
    if (!file.open(QIODevice::ReadOnly))
        return false;
    const QStringList keys = keysOf(conninfo);
    const QStringList lines = QString::fromUtf8(file.readAll()).split(QLatin1Char('\n'));
    for (const QString& key : keys)
        for (const QString& line : lines)
            if (line.startsWith(key + QLatin1Char(':')))
                return true;
    return false;
}

bool writePasswordFile(const QString& conninfo, const QString& password, QString* error)
{
    const QString path = passwordFilePath();
    const QStringList keys = keysOf(conninfo);
    QStringList lines;
    if (QFile old(path); old.open(QIODevice::ReadOnly))
        lines = QString::fromUtf8(old.readAll()).split(QLatin1Char('\n'));
    while (!lines.isEmpty() && lines.last().isEmpty())
        lines.removeLast();
    for (const QString& key : keys) {
        lines.erase(std::remove_if(lines.begin(), lines.end(),
                                   [&](const QString& line) { return line.startsWith(key + QLatin1Char(':')); }),
                    lines.end());
        lines << key + QLatin1Char(':') + field(password);
    }
    QSaveFile file(path);
    // libpq reads nothing from a file others may read.
    bool ok = file.open(QIODevice::WriteOnly)
        && file.setPermissions(QFileDevice::ReadOwner | QFileDevice::WriteOwner)
        && file.write((lines.join(QLatin1Char('\n')) + QLatin1Char('\n')).toUtf8()) >= 0 && file.commit();
    ok = ok && QFile::setPermissions(path, QFileDevice::ReadOwner | QFileDevice::WriteOwner);
    if (!ok) {
        qCWarning(lcStore) << "password file" << path << "not written:" << file.errorString();
        if (error)
            *error = file.errorString();
    }
    return ok;
}

} // namespace store
