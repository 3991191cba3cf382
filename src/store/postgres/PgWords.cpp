// What the desk says about a link to the server: why it failed, and how safe it is.

#include "store/postgres/PgConnection.h"

#include <libpq-fe.h>

namespace store {

namespace {

bool isLoopback(const QString& address)
{
    return address.startsWith(QLatin1String("127.")) || address == QLatin1String("::1")
        || address.startsWith(QLatin1String("::ffff:127."));
}

bool isSocket(const QString& host)
{
    return host.isEmpty() || host.startsWith(QLatin1Char('/')) || host.startsWith(QLatin1Char('@'));
}

} // namespace

QString PgConnection::plainLinkRefusal(const QString& host, const QString& hostAddress, bool encrypted,
                                       const QString& statedSslmode)
{
    if (encrypted || statedSslmode == QLatin1String("disable") || isSocket(host))
        return {};
    if (hostAddress.isEmpty() ? host == QLatin1String("localhost") : isLoopback(hostAddress))
        return {};
    return QStringLiteral("到服务器 %1 的连接没有加密，病人档案会以明文在网络上传送，因此没有连接。"
                          "请在服务器上开启 TLS（ssl = on），并在连接字符串中写 sslmode=verify-full；"
                          "确实要在不加密的网络上使用，须在连接字符串中写明 sslmode=disable。")
        .arg(hostAddress.isEmpty() ? host : hostAddress);
}

QString PgConnection::explainFailure(const QString& libpqMessage)
{
    struct Words {
        const char* found; // in libpq's message, lower case
        const char16_t* said;
    };
    static const Words words[] = {
        {"connection refused", u"服务器拒绝连接（服务器没有运行，或地址、端口不对）"},
        {"timeout expired", u"服务器没有应答"},
        {"no answer in", u"服务器没有应答"},
        {"timed out", u"服务器没有应答"},
        {"password authentication failed", u"用户名或密码不对"},
        {"no password supplied", u"服务器要求密码，但没有提供"},
        {"does not match host name", u"服务器证书上的名称与所连的主机不符"},
        {"certificate verify failed", u"服务器的证书不受信任"},
        {"root certificate file", u"没有用来核对服务器证书的证书颁发机构文件"},
        {"server does not support ssl", u"服务器没有开启加密（TLS）"},
        {"no pg_hba.conf entry", u"服务器不允许这台电脑以这个用户连接"},
        {"could not translate host name", u"找不到服务器（主机名不对）"},
        {"no route to host", u"网络不通，到不了服务器"},
        {"network is unreachable", u"网络不通，到不了服务器"},
        {"lock timeout", u"要改的数据正被别的电脑占用，等待超时"},
        {"statement timeout", u"服务器没有在规定的时间内做完"},
        {"terminating connection", u"与服务器的连接中断了"},
        {"server closed the connection", u"与服务器的连接中断了"},
        {"connection to server was lost", u"与服务器的连接中断了"},
        {"no connection to the server", u"与服务器的连接中断了"},
        {"connection reset", u"与服务器的连接中断了"},
        {"broken pipe", u"与服务器的连接中断了"},
        {"permission denied", u"这台电脑的数据库用户没有相应的权限"},
    };
    const QString lower = libpqMessage.toLower();
    for (const Words& w : words) {
        if (lower.contains(QLatin1String(w.found))) {
            // Said once: a message explained before keeps its words.
            const QString said = QString::fromUtf16(w.said);
            if (libpqMessage.startsWith(said))
                return libpqMessage;
            return libpqMessage.isEmpty() ? said : QStringLiteral("%1（%2）").arg(said, libpqMessage);
        }
    }
    return libpqMessage;
}

QString PgConnection::linkSecurity() const
{
    if (!linkUp())
        return {};
    const QString mode = option("sslmode");
    if (PQsslInUse(m_conn)) {
        const QString protocol = QString::fromUtf8(PQsslAttribute(m_conn, "protocol"));
        if (mode == QLatin1String("verify-full"))
            return QStringLiteral("连接已加密（%1），服务器的证书已核对（verify-full）。").arg(protocol);
        if (mode == QLatin1String("verify-ca"))
            return QStringLiteral("连接已加密（%1），服务器的证书出自所给的证书颁发机构，但没有核对主机名（verify-ca）。")
                .arg(protocol);
        return QStringLiteral("连接已加密（%1），但没有核对服务器的证书（sslmode=%2），不能确知连上的是哪台服务器。")
            .arg(protocol, mode);
    }
    if (plainLinkRefusal(QString::fromUtf8(PQhost(m_conn)), QString::fromUtf8(PQhostaddr(m_conn)), false, {}).isEmpty())
        return QStringLiteral("连接没有加密（连到本机，不经过网络）。");
    return QStringLiteral("连接没有加密（连接字符串写明了 sslmode=disable），病人档案以明文在网络上传送。");
}

} // namespace store
