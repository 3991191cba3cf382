#include "startup/CommandLine.h"

#include "store/postgres/PgConnection.h"
#include "store/postgres/Server.h"

namespace startup {

namespace {

void print(std::FILE* to, const QString& text)
{
    std::fputs((text + QLatin1Char('\n')).toUtf8().constData(), to);
    std::fflush(to);
}

} // namespace

CommandLine parseCommandLine(const QStringList& arguments)
{
    CommandLine line;
    const QString serverOption = QStringLiteral("--server");
    for (qsizetype i = 1; i < arguments.size(); ++i) {
        const QString& argument = arguments[i];
        if (argument == QLatin1String("--init-server")) {
            line.initServer = true;
        } else if (argument == serverOption) {
            if (i + 1 == arguments.size()) {
                line.error = QStringLiteral("--server 后面缺少连接字符串（本机文件用 --server \"\"）");
                return line;
            }
            line.server = arguments[++i];
        } else if (argument.startsWith(serverOption + QLatin1Char('='))) {
            line.server = argument.mid(serverOption.size() + 1);
        }
    }
    if (line.initServer && line.server.value_or(QString()).trimmed().isEmpty())
        line.error = QStringLiteral("--init-server 需要 --server \"<连接字符串>\" 指明服务器");
    return line;
}

int initServerCommand(const QString& conninfo, std::FILE* out, std::FILE* err)
{
    const QString server = store::PgConnection::describe(conninfo);
    QString error;
    auto db = store::PgConnection::connect(conninfo, &error);
    if (!db) {
        print(err, QStringLiteral("无法连接共享数据库：%1\n%2").arg(server, error));
        return 1;
    }
    QStringList done;
    if (!store::initializeServer(*db, &done, &error)) {
        print(err, QStringLiteral("初始化服务器 %1 失败：%2").arg(server, error));
        return 1;
    }
    print(out, QStringLiteral("初始化服务器 %1：\n%2").arg(server, done.join(QLatin1Char('\n'))));
    return 0;
}

} // namespace startup
