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
        } else if (argument == QLatin1String("--help") || argument == QLatin1String("-h")) {
            line.help = true;
        } else if (argument == QLatin1String("--version")) {
            line.version = true;
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
    if (line.help || line.version)
        return line; // asked about the program: nothing else counts
    if (line.initServer && line.server.value_or(QString()).trimmed().isEmpty())
        line.error = QStringLiteral("--init-server 需要 --server \"<连接字符串>\" 指明服务器");
    return line;
}

QString usageText()
{
    return QStringLiteral(
        "用法：qarvel [选项]\n"
        "Qarvel 门诊处方工作站。不带选项时打开工作站窗口。\n"
        "\n"
        "选项：\n"
        "  --server \"<连接字符串>\"   本次运行使用这个 PostgreSQL 共享服务器（libpq 连接字符串），\n"
        "                           不论本机设置.dat 里记的是哪个；--server \"\" 使用本机文件\n"
        "  --init-server            与 --server 一起用：在服务器上建立共享数据表和索引，\n"
        "                           显示做了什么后结束，不打开窗口\n"
        "  -h, --help               显示本说明后结束\n"
        "  --version                显示版本后结束\n"
        "  Qt 程序的通用选项（如 -platform）也可使用。\n"
        "\n"
        "数据：安装在系统文件夹（如 /usr/bin）里的程序把数据放在 ~/.local/share/Qarvel/数据库/；\n"
        "复制到自己文件夹里的程序或自己编译的程序，在那个文件夹可以写入时放在程序旁边的 数据库/ 里。\n"
        "\n"
        "退出状态：0 正常结束；1 参数有误、无处保存数据，或 --init-server 失败（原因写在标准错误上）。\n");
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
