#include "store/ServerChoice.h"

#include "common/Log.h"
#include "store/DeskRow.h"
#include "store/Store.h"
#include "store/postgres/PgPass.h"

#include <QDir>

namespace store {

namespace {

constexpr Field SharingFields[] = {{u"连接", FieldType::Memo, 0, true}};

} // namespace

const Table SharingTable{u"共享", SharingFields};

std::optional<QString> readServerChoice(Store& store)
{
    std::optional<QString> text = readDeskRow(store, SharingTable);
    if (text)
        *text = text->trimmed();
    return text;
}

bool writeServerChoice(Store& store, const QString& conninfo)
{
    // The password goes nowhere while the string cannot be kept with it.
    if (!store.settings() || store.settingsProblem())
        return false;
    QString text = conninfo.trimmed();
    const QString password = statedPassword(text);
    if (!password.isEmpty()) {
        if (password != passwordMask() && !writePasswordFile(text, password))
            return false;
        text = withoutPassword(text);
    }
    return writeDeskRow(store, SharingTable, text);
}

void movePasswordOut(Store& store)
{
    const std::optional<QString> stored = readServerChoice(store);
    if (stored && !statedPassword(*stored).isEmpty() && !writeServerChoice(store, *stored))
        qCWarning(lcStore) << "the server's password is still in" << store.settingsPath();
}

UploadResult uploadDeskFiles(Store& store, const QString& conninfo, bool merge)
{
    UploadResult result;
    auto refuse = [&result](const QString& path, const FileProblem& problem) {
        result.error = QStringLiteral("“%1”：%2").arg(QDir::toNativeSeparators(path), problem.text());
        return result;
    };
    // The records are read from the desk's own file even while the store uses a server.
    QString error;
    auto records = CipherConnection::open(store.recordsPath(), Store::recordsPassword(), &error, true);
    const FileProblem problem = records ? verifyFile(*records, recordsFileTables())
                                        : diagnoseUnopenable(store.recordsPath(), error);
    if (problem)
        return refuse(store.recordsPath(), problem);
    Connection* settings = store.settings();
    if (!settings)
        return refuse(store.settingsPath(), store.settingsProblem());
    auto server = PgConnection::connect(conninfo, &result.error);
    if (!server)
        return result;
    return uploadToServer(*records, *settings, *server, merge);
}

} // namespace store
