#include "startup/Startup.h"

#include "common/Log.h"
#include "common/Text.h"
#include "startup/PrivateFiles.h"
#include "store/Backup.h"
#include "store/Records.h"
#include "store/ServerChoice.h"
#include "store/Store.h"
#include "store/Templates.h"
#include "store/postgres/Snapshot.h"

#include <QDir>
#include <QFileInfo>
#include <atomic>
#include <system_error>
#include <thread>
#include <vector>
#include <sqlite3.h>

namespace startup {

namespace {

// What one backup copies, taken from the store beforehand so the copying thread never touches
// the store the windows use.
struct BackupJob {
    QString folder;
    QString settings;
    QString records;
    QString server; // the shared server's connection string, when the clinic keeps one
};

BackupJob jobFor(const store::Store& store, const QDate& day)
{
    return {backupFolder(store, day), store.settingsPath(), store.recordsPath(),
            store.onServer() ? store.serverInfo() : QString()};
}

// Each file on its own: a damaged settings file does not keep the records from being copied.
BackupOutcome runBackup(const BackupJob& job, const BackupHooks& hooks)
{
    BackupOutcome outcome;
    if (!store::makePrivateFolder(job.folder)) {
        outcome.failures << QStringLiteral("无法建立文件夹 %1").arg(job.folder);
        qCWarning(lcStartup) << "backup: cannot create" << job.folder;
        return outcome;
    }
    if (!job.server.isEmpty()) {
        // A shared clinic's backup is this desk's snapshot of the server, in files of the usual kind.
        QString why;
        if (!store::snapshotServer(job.server, job.settings, job.folder, &why))
            outcome.failures << why;
        return outcome;
    }
    for (const auto& [source, password] : {std::pair{job.settings, store::Store::settingsPassword()},
                                           std::pair{job.records, store::Store::recordsPassword()}}) {
        const QString name = QFileInfo(source).fileName();
        QString why;
        if (!store::copyDatabase(source, password, QDir(job.folder).filePath(name), hooks, &why))
            outcome.failures << name + QStringLiteral("：") + why;
    }
    if (!outcome.ok())
        qCWarning(lcStartup) << "backup into" << job.folder << "incomplete; earlier copies there are kept";
    return outcome;
}

} // namespace

// --- BackgroundBackup ---------------------------------------------------------------------

struct BackgroundBackup::Run {
    std::thread thread;
    std::atomic<bool> done = false;
    BackupOutcome outcome; // written before done is set, read only after that
};

BackgroundBackup::BackgroundBackup() = default;
BackgroundBackup::BackgroundBackup(BackgroundBackup&& other) noexcept = default;

BackgroundBackup& BackgroundBackup::operator=(BackgroundBackup&& other) noexcept
{
    if (this != &other) {
        wait();
        m_run = std::move(other.m_run);
    }
    return *this;
}

BackgroundBackup::~BackgroundBackup()
{
    wait();
}

BackgroundBackup BackgroundBackup::start(const store::Store& store, const QDate& day, BackupHooks hooks)
{
    BackgroundBackup backup;
    backup.m_run = std::make_unique<Run>();
    Run* run = backup.m_run.get();
    BackupJob job = jobFor(store, day);

    // Each thread uses its own connections, which the library allows unless it was built
    // without any locking of its own.
    if (sqlite3_threadsafe() != 0) {
        try {
            run->thread = std::thread([run, job = std::move(job), hooks = std::move(hooks)] {
                run->outcome = runBackup(job, hooks);
                run->done.store(true, std::memory_order_release);
            });
            return backup;
        } catch (const std::system_error& error) {
            qCWarning(lcStartup) << "backup: no thread to copy on (" << error.what() << "); copying now";
        }
    } else {
        qCWarning(lcStartup) << "backup: the database library is built without thread support; copying now";
    }
    run->outcome = runBackup(job, hooks);
    run->done.store(true, std::memory_order_release);
    return backup;
}

bool BackgroundBackup::finished() const
{
    return m_run && m_run->done.load(std::memory_order_acquire);
}

bool BackgroundBackup::wait()
{
    if (!m_run)
        return false;
    if (m_run->thread.joinable())
        m_run->thread.join();
    return m_run->outcome.ok();
}

QStringList BackgroundBackup::failures() const
{
    return finished() ? m_run->outcome.failures : QStringList();
}

// --- Start-up -----------------------------------------------------------------------------

QString backupFolder(const store::Store& store, const QDate& day)
{
    return store::backupFolder(store.programFolder(), day);
}

bool backup(const store::Store& store, const QDate& day, const BackupHooks& hooks)
{
    return runBackup(jobFor(store, day), hooks).ok();
}

QString fileProblemLine(const QString& path, const QString& problem)
{
    return QStringLiteral("“%1”：%2。").arg(QDir::toNativeSeparators(path), problem);
}

void readLogin(store::Store& store, StartupResult& result)
{
    result.loginPassword = store::readPassword(store).value_or(QString());
    result.showLogin = !trimBlanks(result.loginPassword).isEmpty();
}

StartupResult prepare(store::Store& store, const QDate& today, const std::optional<QString>& server)
{
    StartupResult result;

    // The toolkit brings its own controls, so there are no component libraries to install.

    if (!store::makePrivateFolder(store.dataFolder()))
        qCWarning(lcStartup) << "cannot create" << store.dataFolder();
    makeDataPrivate(store);

    // Each file on its own: a missing settings file must not touch the patient records.
    if (!QFileInfo::exists(store.recordsPath()))
        store::createRecordsFile(store.recordsPath());
    if (!QFileInfo::exists(store.settingsPath()))
        store::createSettingsFile(store.settingsPath());

    // A copy killed halfway is of no use, and may be hundreds of megabytes.
    store::removeUnfinishedCopies(store.programFolder());

    // The clinic's server, if this desk uses one.
    if (!server)
        store::movePasswordOut(store);
    store.useServer(server ? *server : store::readServerChoice(store).value_or(QString()));

    // Both files are opened and checked now, so the user hears of a damaged one before using it.
    // On a server the desk's own 档案.dat is not used.
    std::vector<std::pair<QString, store::FileProblem>> checked;
    if (!store.onServer())
        checked.emplace_back(store.recordsPath(), store.recordsProblem());
    checked.emplace_back(store.settingsPath(), store.settingsProblem());
    for (const auto& [path, problem] : checked) {
        if (problem)
            result.problems << fileProblemLine(path, problem.text());
    }

    result.serverProblem = store.serverProblem();
    if (result.serverProblem.isEmpty())
        readLogin(store, result);

    // Copying a large file takes seconds; the login dialog or the window must not wait for it.
    // A server that cannot be used has nothing to copy, and the user hears of it once already.
    if (!today.toString(QStringLiteral("yyyy-MM-dd")).endsWith(QLatin1Char('0')))
        return result;
    if (result.serverProblem.isEmpty())
        result.backup = BackgroundBackup::start(store, today);
    else
        qCWarning(lcStartup) << "no backup today: the server cannot be used";
    return result;
}

} // namespace startup
