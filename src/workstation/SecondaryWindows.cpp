#include "workstation/SecondaryWindows.h"

#include "common/Log.h"
#include "common/Window.h"
#include "dictionaries/DrugCatalogWindow.h"
#include "dictionaries/TemplateWindow.h"
#include "dictionaries/WordListWindow.h"
#include "store/Store.h"
#include "workstation/HelpPage.h"

#include <QAbstractButton>
#include <QCoreApplication>
#include <QDesktopServices>
#include <QDir>
#include <QMessageBox>
#include <QStandardPaths>
#include <QUrl>

SecondaryWindows::SecondaryWindows(store::Store& store, CurrentSettings& settings, QWidget* window)
    : QObject(window)
    , m_store(store)
    , m_settings(settings)
    , m_window(window)
{
}

void SecondaryWindows::showStatistics()
{
    showWindow(m_statisticsWindow, [this] { return m_reports.statistics ? m_reports.statistics(m_store) : nullptr; });
}

void SecondaryWindows::showOutpatientLog()
{
    showWindow(m_logWindow, [this] { return m_reports.outpatientLog ? m_reports.outpatientLog(m_store, m_settings) : nullptr; });
}

void SecondaryWindows::showDrugCatalog()
{
    showWindow(m_drugWindow, [this] { return new DrugCatalogWindow(m_store); });
}

void SecondaryWindows::showTemplates()
{
    showWindow(m_templateWindow, [this] { return new TemplateWindow(m_store); });
}

void SecondaryWindows::showDiagnoses()
{
    showWindow(m_diagnosisWindow, [this] { return new WordListWindow(WordListWindow::Kind::Diagnosis, m_store); });
}

void SecondaryWindows::showAddresses()
{
    showWindow(m_addressWindow, [this] { return new WordListWindow(WordListWindow::Kind::Address, m_store); });
}

void SecondaryWindows::showWindow(QPointer<QWidget>& slot, const std::function<QWidget*()>& make)
{
    if (!slot) {
        slot = make();
        if (!slot) {
            qCWarning(lcWorkstation) << "no window to open: nothing makes it";
            return;
        }
        slot->setAttribute(Qt::WA_DeleteOnClose);
    }
    slot->show();
    slot->raise();
    slot->activateWindow();
}

void SecondaryWindows::openHelp()
{
    // The help page ships inside the program and is written out where a browser can read it.
    const QString path = QDir(QStandardPaths::writableLocation(QStandardPaths::AppLocalDataLocation))
                             .filePath(QStringLiteral("qarvel-help.html"));
    if (writeHelpPage(path, m_store.dataFolder()) && !QDesktopServices::openUrl(QUrl::fromLocalFile(path)))
        qCWarning(lcWorkstation) << "no browser opened" << path;
}

void SecondaryWindows::showAbout()
{
    if (!m_about) {
        auto* box = new QMessageBox(QMessageBox::Information, QStringLiteral("关于"),
                                    QStringLiteral("<b>Qarvel V2.0</b><br>版本 %1<br><br>"
                                                   "门诊处方工作站：开处方、存病历、打印处方和注射卡、"
                                                   "统计工作量、打印门诊日志。<br><br>数据文件夹：%2")
                                        .arg(QCoreApplication::applicationVersion(),
                                             QDir::toNativeSeparators(m_store.dataFolder()).toHtmlEscaped()),
                                    QMessageBox::Ok, m_window);
        box->setObjectName(QStringLiteral("AboutBox"));
        withoutMaximise(box);
        box->button(QMessageBox::Ok)->setText(QStringLiteral("确定"));
        box->setAttribute(Qt::WA_DeleteOnClose);
        box->setModal(false);
        m_about = box;
        // A message box takes its size when shown: centre it after that.
        box->show();
        centreOnScreen(box);
    }
    m_about->show();
    m_about->raise();
    m_about->activateWindow();
}
