#include "workstation/MainMenus.h"

#include <QAction>
#include <QMainWindow>
#include <QMenu>
#include <QMenuBar>
#include <QToolBar>

namespace {

QString withoutMnemonic(QString caption) { return caption.remove(QLatin1Char('&')); }

} // namespace

MainMenus::MainMenus(QMainWindow* window)
    : QObject(window)
{
    buildMenus(window);
    buildToolbar(window);
}

void MainMenus::buildMenus(QMainWindow* window)
{
    // A null caption is a separator.
    struct Item {
        const char* caption;
        const char* shortcut;
    };
    auto addMenu = [this, window](const QString& title, std::initializer_list<Item> items) {
        QMenu* menu = window->menuBar()->addMenu(title);
        for (const Item& item : items) {
            if (!item.caption) {
                menu->addSeparator();
                continue;
            }
            QAction* action = menu->addAction(QString::fromUtf8(item.caption));
            action->setShortcut(QKeySequence(QString::fromLatin1(item.shortcut)));
            m_menuActions << action;
        }
    };
    const Item separator{nullptr, nullptr};
    // "(&F)" shows as "(F)" and makes Alt+F open the menu instead of typing an "f".
    addMenu(QStringLiteral("文件(&F)"), {
        {"新建", "Ctrl+N"},
        {"保存", "Ctrl+S"},
        {"存为协定方", ""},
        separator,
        {"统计", "Ctrl+D"},
        {"门诊日志", "Ctrl+G"},
        separator,
        {"打印", "Ctrl+P"},
        {"打印预览", ""},
        separator,
        {"退出", "Ctrl+E"},
    });
    addMenu(QStringLiteral("设置(&S)"), {
        {"药品维护", "Ctrl+J"},
        {"诊断名称", "Ctrl+I"},
        {"地址库", "Ctrl+M"},
        {"协定处方", ""},
        separator,
        {"综合设置", "Ctrl+W"},
    });
    addMenu(QStringLiteral("帮助(&H)"), {
        {"在线帮助", "Ctrl+H"},
        {"关于", "Ctrl+Z"},
    });
}

void MainMenus::buildToolbar(QMainWindow* window)
{
    // Down the left side: the sheet is as tall as its paper, and a row of its own for the
    // toolbar would push the keypad's last row off a 1280x720 screen.
    Toolbar1 = new QToolBar(QStringLiteral("工具栏"), window);
    window->addToolBar(Qt::LeftToolBarArea, Toolbar1);
    Toolbar1->setObjectName(QStringLiteral("Toolbar1"));
    Toolbar1->setMovable(false);
    Toolbar1->setToolButtonStyle(Qt::ToolButtonTextOnly);
    const std::pair<const char*, const char*> buttons[] = {
        {"新建", "新建处方"}, {"保存", "保存处方"}, {"打印", "打印处方"}, {"复制", "复制处方"},
        {"粘贴", "粘贴处方"}, {"存为协定方", "把当前处方存为协定处方"}, {"统计", "工作量统计"}, {"退出", "退出"},
    };
    for (const auto& [text, tip] : buttons) {
        QAction* button = Toolbar1->addAction(QString::fromUtf8(text));
        button->setToolTip(QString::fromUtf8(tip));
    }
    // The toolbar is as wide as its widest caption: the one long caption takes two lines, so the
    // window keeps its room on a 1280x720 screen.
    toolButton(QStringLiteral("存为协定方"))->setIconText(QStringLiteral("存为\n协定方"));
    connect(Toolbar1, &QToolBar::actionTriggered, this, &MainMenus::toolbarClicked);
}

QAction* MainMenus::action(const QString& caption) const
{
    for (QAction* a : m_menuActions)
        if (withoutMnemonic(a->text()) == caption)
            return a;
    return nullptr;
}

QAction* MainMenus::toolButton(const QString& caption) const
{
    for (QAction* a : Toolbar1->actions())
        if (a->text() == caption)
            return a;
    return nullptr;
}

bool MainMenus::isShortcut(const QKeySequence& keys) const
{
    for (const QAction* item : m_menuActions)
        if (!item->shortcut().isEmpty() && item->shortcut() == keys)
            return true;
    return false;
}

void MainMenus::toolbarClicked(QAction* button)
{
    const QString caption = button->text();
    if (caption == QStringLiteral("复制"))
        emit copyClicked();
    else if (caption == QStringLiteral("粘贴"))
        emit pasteClicked();
    else if (QAction* item = action(caption); item && item->isEnabled())
        item->trigger(); // 新建, 保存, 打印, 统计, 退出: the same as the menu item
}
