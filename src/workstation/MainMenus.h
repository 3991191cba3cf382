#pragma once

#include <QList>
#include <QObject>

class QAction;
class QKeySequence;
class QMainWindow;
class QString;
class QToolBar;

// The main window's menu bar and its toolbar down the left side. They own their items; the
// window connects each menu item to its command by caption. A toolbar button does what the
// menu item of its caption does, except 复制 and 粘贴, which have no menu item.
class MainMenus : public QObject
{
    Q_OBJECT
public:
    // Builds both onto the window.
    explicit MainMenus(QMainWindow* window);

    QAction* action(const QString& caption) const; // menu item by its caption, without its "&"
    QAction* toolButton(const QString& caption) const;
    // Whether the keys are a menu item's: the menu takes them from whatever box has the focus.
    bool isShortcut(const QKeySequence& keys) const;

    QToolBar* Toolbar1 = nullptr;

signals:
    void copyClicked();
    void pasteClicked();

private:
    void buildMenus(QMainWindow* window);
    void buildToolbar(QMainWindow* window);
    void toolbarClicked(QAction* button);

    QList<QAction*> m_menuActions;
};
