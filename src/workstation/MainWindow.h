#pragma once

#include "workstation/MainMenus.h"
#include "workstation/ReportWindows.h"
#include "workstation/SecondaryWindows.h"
#include "workstation/SheetGroup.h"

#include <QMainWindow>
#include <QPointer>

class CurrentSettings;
class DrugPanel;
class LookupLists;
class QAction;
class QScrollArea;
class QToolBar;
class RichBox;
class SearchPanel;
class SheetPrints;

namespace store {
class Store;
}

// The doctor's workstation: menus and toolbar, and the panels they act on — record search,
// the prescription sheet with its injection card, drug entry and the look-up lists. The
// panels own their controls; this window carries out the commands that involve more than one.
class MainWindow : public QMainWindow
{
    Q_OBJECT
public:
    explicit MainWindow(store::Store& store, QWidget* parent = nullptr);
    ~MainWindow() override;

    QAction* action(const QString& caption) const { return m_menus->action(caption); } // without its "&"
    QAction* toolButton(const QString& caption) const { return m_menus->toolButton(caption); }
    QToolBar* toolbar() const { return m_menus->Toolbar1; }
    SheetGroup* sheetGroup() const { return m_sheet; }
    SearchPanel* searchPanel() const { return m_search; }
    DrugPanel* drugPanel() const { return m_drugs; }
    LookupLists* lookupLists() const { return m_lookups; }
    CurrentSettings& settings() { return *m_settings; }
    // How 统计 and 门诊日志 make their windows; start-up sets it. Without it they open nothing.
    void setReportWindows(ReportWindows makers) { m_windows->setReportWindows(std::move(makers)); }

    // The most records the tree shows at start-up and after a save.
    static constexpr int TreeRows = 100;

    // Shows the window where it belongs on its screen: centred at its one size, or maximised
    // with its content scrolling where the screen is too small for it.
    void showOnScreen();

    // --- Handlers, public so the menu, toolbar and tests reach the same code ---
    void newPrescription();
    void savePrescription();
    void openSelectedRecord();
    void deleteSelectedRecord();
    void copySheet();
    void pasteSheet();
    void search();
    void fillTree(int limit);
    void printPrescription();
    void previewPrescription();
    void printCard();
    void previewCard();
    // 存为协定方: the prescription box's text kept as a template under a name the doctor gives
    // (TemplateSaving.cpp).
    void saveAsTemplate();

signals:
    // Closing the main window ends the program.
    void quitRequested();

protected:
    void closeEvent(QCloseEvent* event) override;
    bool eventFilter(QObject* watched, QEvent* event) override;

private:
    void connectMenus();
    void connectPanels();
    void setSaveEnabled(bool enabled);
    void focusChanged(QWidget* now);
    void typeKey(const QString& caption);
    void sendKey(int key);
    void insertPhrase(const QString& caption);
    void appendDrug(const QString& lines);
    void updateTitle();

    store::Store& m_store;
    CurrentSettings* m_settings = nullptr;
    SecondaryWindows* m_windows = nullptr;
    MainMenus* m_menus = nullptr;
    QScrollArea* m_scroll = nullptr;
    SearchPanel* m_search = nullptr;
    SheetGroup* m_sheet = nullptr;
    DrugPanel* m_drugs = nullptr;
    LookupLists* m_lookups = nullptr;
    SheetPrints* m_prints = nullptr;
    SheetGroup::Copy m_copyBuffer;
    // The identity of the sheet's save, made at its first press of 保存 and kept until it is
    // stored: pressed again after a failure, it finds the row the first press may have left.
    QString m_saveId;

    // Where the on-screen keypad types: the plain box and the rich box that last had the
    // focus, and whether the rich one had it after the plain one.
    QPointer<QWidget> activeTextBox;
    QPointer<RichBox> activeRichBox;
    bool richBoxActive = false;
};
