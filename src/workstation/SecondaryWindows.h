#pragma once

#include "workstation/ReportWindows.h"

#include <QObject>
#include <QPointer>
#include <functional>

class CurrentSettings;
class QWidget;

namespace store {
class Store;
}

// The windows the menu opens beside the workstation: the dictionaries, the reports, 关于, and
// the help page in the browser. Each is made when it is first asked for and then brought
// forward while it stays open.
class SecondaryWindows : public QObject
{
    Q_OBJECT
public:
    // `window` is the main window, the parent of 关于.
    SecondaryWindows(store::Store& store, CurrentSettings& settings, QWidget* window);

    // How 统计 and 门诊日志 make their windows; start-up sets it. Without it they open nothing.
    void setReportWindows(ReportWindows makers) { m_reports = std::move(makers); }

    void showStatistics();
    void showOutpatientLog();
    void showDrugCatalog();
    void showTemplates();
    void showDiagnoses();
    void showAddresses();
    void showAbout();
    void openHelp();

private:
    // Shows a secondary window, making it first when it is not open, and brings it forward.
    // A maker that makes nothing opens nothing.
    void showWindow(QPointer<QWidget>& slot, const std::function<QWidget*()>& make);

    store::Store& m_store;
    CurrentSettings& m_settings;
    QWidget* m_window;
    ReportWindows m_reports;
    QPointer<QWidget> m_about;
    QPointer<QWidget> m_drugWindow;
    QPointer<QWidget> m_diagnosisWindow;
    QPointer<QWidget> m_addressWindow;
    QPointer<QWidget> m_templateWindow;
    QPointer<QWidget> m_statisticsWindow;
    QPointer<QWidget> m_logWindow;
};
