#pragma once

#include <QMainWindow>
#include <QPointer>
#include <array>
#include <functional>

class QAction;
class QFrame;
class QLabel;
class QLineEdit;
class QMenu;
class QPushButton;
class QToolBar;
class CardPane;
class ClickLabel;
class Keypad;
class CurrentSettings;
class FieldBox;
class PrescriptionPane;
class RichBox;
class TextList;

namespace store {
class Store;
struct Select;
}

// The doctor's workstation: record search and tree, the prescription sheet with its injection
// card, the drug entry, and the menus and toolbar that open every other window.
class MainWindow : public QMainWindow
{
    Q_OBJECT
public:
    explicit MainWindow(store::Store& store, QWidget* parent = nullptr);
    ~MainWindow() override;

    // Controls, named as the program's documents name them.
    QLineEdit* Text2 = nullptr;     // patient name to search
    QLineEdit* Text3 = nullptr;     // visit date to search
    QPushButton* Command2 = nullptr; // 查询
    TextList* T1 = nullptr;         // record tree
    QToolBar* Toolbar1 = nullptr;
    PrescriptionPane* Picture2 = nullptr;
    CardPane* Picture1 = nullptr;
    QLabel* Label7 = nullptr; // 打印注射卡
    QLabel* cardPreviewLink = nullptr;
    QLineEdit* Text1 = nullptr; // drug initials
    TextList* List1 = nullptr; // drug pick list
    TextList* list2 = nullptr; // diagnosis pick list
    TextList* list5 = nullptr; // address pick list
    std::array<ClickLabel*, 17> Label5{}; // usage phrases
    Keypad* keypad = nullptr;

    // Where the on-screen keypad types: the plain box and the rich box that last had the
    // focus, and whether the rich one had it after the plain one.
    QPointer<QWidget> activeTextBox;
    QPointer<RichBox> activeRichBox;
    bool richBoxActive = false;

    // Shortcuts into the panes.
    std::array<FieldBox*, 9> Text4{};
    RichBox* R1 = nullptr;
    RichBox* R2 = nullptr;
    QLabel* Label10 = nullptr;

    QAction* action(const QString& caption) const; // menu item by its caption
    QAction* toolButton(const QString& caption) const;
    QWidget* sheetGroup() const { return m_sheetGroup; }
    CurrentSettings& settings() { return *m_settings; }

    // The most drugs the pick list shows.
    static constexpr int DrugListRows = 18;
    // The most records the tree shows at start-up and after a save.
    static constexpr int TreeRows = 100;

    // --- Handlers, public so the menu, toolbar and tests reach the same code ---
    void newPrescription();
    void savePrescription();
    void openSelectedRecord();
    void deleteSelectedRecord();
    void copySheet();
    void pasteSheet();
    void search();
    void fillTree(int limit);
    void pickDrug();
    void insertPhrase(int index);
    void typeKey(const QString& caption);
    void pickDiagnosis();
    void pickAddress();
    void printPrescription();
    void previewPrescription();
    void printCard();
    void previewCard();

signals:
    // Closing the main window ends the program.
    void quitRequested();

protected:
    void closeEvent(QCloseEvent* event) override;
    bool eventFilter(QObject* watched, QEvent* event) override;

private:
    void buildMenus();
    void buildToolbar();
    QWidget* buildSearchPanel();
    QWidget* buildSheetGroup();
    QWidget* buildDrugPanel();
    void toolbarClicked(QAction* action);
    void fillDrugList(const QString& initials);
    void showRecords(const store::Select& select, int limit);
    void fieldChanged(int index);
    void fieldFocused(int index);
    void fillLookupList(TextList* list, const store::Select& select);
    void pickInto(TextList* list, int box);
    void placeLookupList(TextList* list, QWidget* below);
    void sendKey(int key);
    void setSaveEnabled(bool enabled);
    void hideLookupLists();
    void updateTitle();
    void openHelp();
    void showAbout();
    void placeOnScreen();
    QString selectedKey() const;

    store::Store& m_store;
    CurrentSettings* m_settings = nullptr;
    QWidget* m_sheetGroup = nullptr;
    QFrame* m_cover = nullptr;
    QMenu* m_treeMenu = nullptr;
    QList<QAction*> m_menuActions;
    std::array<QString, 10> m_copyBuffer;
    // Set while Open fills the sheet: the record's texts are not the doctor's typing, and the
    // look-up lists they would fill are hidden again at once.
    bool m_fillingFromRecord = false;
    QPointer<QWidget> m_about;
    QPointer<QWidget> m_drugWindow;
    QPointer<QWidget> m_diagnosisWindow;
    QPointer<QWidget> m_addressWindow;
    QPointer<QWidget> m_statisticsWindow;
    QPointer<QWidget> m_logWindow;
    // Shows a secondary window, making it first when it is not open, and brings it forward.
    void showWindow(QPointer<QWidget>& slot, const std::function<QWidget*()>& make);
};
