#include "workstation/MainWindow.h"

#include "common/Clock.h"
#include "common/Log.h"
#include "common/MessageBox.h"
#include "common/Text.h"
#include "common/TextList.h"
#include "common/Window.h"
#include "dictionaries/DrugCatalogWindow.h"
#include "dictionaries/TemplateWindow.h"
#include "dictionaries/WordListWindow.h"
#include "printing/Twips.h"
#include "settings/CurrentSettings.h"
#include "store/Records.h"
#include "store/Store.h"
#include "store/postgres/PgWait.h"
#include "workstation/DrugPanel.h"
#include "workstation/HelpPage.h"
#include "workstation/Keypad.h"
#include "workstation/LookupLists.h"
#include "workstation/PrescriptionSheet.h"
#include "workstation/RecordNode.h"
#include "workstation/SearchPanel.h"
#include "workstation/SheetPrints.h"

#include <QAbstractButton>
#include <QAction>
#include <QApplication>
#include <QCloseEvent>
#include <QDesktopServices>
#include <QDir>
#include <QHBoxLayout>
#include <QKeyEvent>
#include <QLineEdit>
#include <QMenu>
#include <QMenuBar>
#include <QScreen>
#include <QScrollArea>
#include <QStandardPaths>
#include <QStatusBar>
#include <QStyle>
#include <QStatusBar>
#include <QToolBar>
#include <QUuid>
#include <QUrl>

namespace {

QString withoutMnemonic(QString caption) { return caption.remove(QLatin1Char('&')); }

} // namespace

MainWindow::MainWindow(store::Store& store, QWidget* parent)
    : QMainWindow(parent)
    , m_store(store)
    , m_settings(new CurrentSettings(store, this))
{
    setObjectName(QStringLiteral("MainWindow"));
    setWindowTitle(QStringLiteral("Qarvel V2.0"));

    buildMenus();
    buildToolbar();

    auto* content = new QWidget;
    content->setObjectName(QStringLiteral("Content"));
    auto* row = new QHBoxLayout(content);
    row->setContentsMargins(6, 4, 6, 2);
    m_search = new SearchPanel(store, content);
    m_sheet = new SheetGroup(content);
    m_drugs = new DrugPanel(store, content);
    // Room the screen gives beyond the panels goes to the record tree; the sheet and the drug
    // entry keep their size and place.
    row->addWidget(m_search, 1);
    row->addWidget(m_sheet, 0, Qt::AlignTop);
    row->addWidget(m_drugs, 0);
    m_scroll = new QScrollArea(this);
    m_scroll->setObjectName(QStringLiteral("ContentScroll"));
    m_scroll->setFrameShape(QFrame::NoFrame);
    m_scroll->setWidgetResizable(true);
    // A click on something that takes no focus (a keypad key, a phrase) hands the focus to the
    // nearest parent that does: the scroll area must not be one, or the keypad's Enter and
    // Backspace would go to it instead of the box being typed in.
    m_scroll->setFocusPolicy(Qt::NoFocus);
    // Never squeezed below its size: on a small screen the panels scroll instead.
    content->setMinimumSize(content->sizeHint());
    m_scroll->setWidget(content);
    setCentralWidget(m_scroll);
    m_prints = new SheetPrints(store, m_sheet, statusBar(), this);
    // A wait for the clinic's server that lasts more than a moment is shown, never hidden behind
    // a window that seems to have stopped.
    store::ServerWait::setNotice([bar = QPointer<QStatusBar>(statusBar())](bool waiting) {
        if (waiting) {
            QGuiApplication::setOverrideCursor(Qt::BusyCursor);
            if (bar)
                bar->showMessage(QStringLiteral("正在连接服务器…"));
        } else {
            QGuiApplication::restoreOverrideCursor();
            if (bar)
                bar->clearMessage();
        }
    });

    // The pick lists pop up over the sheet, below their boxes.
    m_lookups = new LookupLists(store, this, m_sheet->box(4), m_sheet->box(5));
    connectPanels();

    // Enter walks the visit: name, sex, age, diagnosis, address, drug initials, prescription,
    // fee, then doctor, dispenser and date.
    setTabChain({m_sheet->box(0), m_sheet->box(1), m_sheet->box(2), m_sheet->box(4), m_sheet->box(5),
                 m_drugs->drugBox(), m_sheet->prescriptionBox(), m_sheet->box(8), m_sheet->box(6),
                 m_sheet->box(7), m_sheet->box(3), m_sheet->cardBox()});

    // The menu's keys win over the boxes' own bindings (Ctrl+E, Ctrl+Z, ...) wherever the focus is.
    for (QWidget* child : findChildren<QWidget*>())
        if (child->focusPolicy() != Qt::NoFocus)
            child->installEventFilter(this);
    connect(qApp, &QApplication::focusChanged, this, [this](QWidget*, QWidget* now) { focusChanged(now); });

    m_sheet->hide();
    setSaveEnabled(false);

    placeOnScreen();
    m_drugs->fillDrugList(QString());
    fillTree(TreeRows);
}

MainWindow::~MainWindow()
{
    // Closing the window on its way out moves the focus, and the application reports that when
    // only the QWidget part of this window is left: stop listening before that.
    disconnect(qApp, &QApplication::focusChanged, this, nullptr);
    store::ServerWait::setNotice({});
}

// --- Building ------------------------------------------------------------------------------

void MainWindow::buildMenus()
{
    struct Item {
        const char* caption;
        const char* shortcut;
        void (MainWindow::*handler)();
    };
    auto addMenu = [this](const QString& title, std::initializer_list<Item> items) {
        QMenu* menu = menuBar()->addMenu(title);
        for (const Item& item : items) {
            if (!item.caption) {
                menu->addSeparator();
                continue;
            }
            QAction* action = menu->addAction(QString::fromUtf8(item.caption));
            action->setShortcut(QKeySequence(QString::fromLatin1(item.shortcut)));
            if (item.handler)
                connect(action, &QAction::triggered, this, item.handler);
            m_menuActions << action;
        }
    };
    const Item separator{nullptr, nullptr, nullptr};
    // "(&F)" shows as "(F)" and makes Alt+F open the menu instead of typing an "f".
    addMenu(QStringLiteral("文件(&F)"), {
        {"新建", "Ctrl+N", &MainWindow::newPrescription},
        {"保存", "Ctrl+S", &MainWindow::savePrescription},
        {"存为协定方", "", &MainWindow::saveAsTemplate},
        separator,
        {"统计", "Ctrl+D", nullptr},
        {"门诊日志", "Ctrl+G", nullptr},
        separator,
        {"打印", "Ctrl+P", &MainWindow::printPrescription},
        {"打印预览", "", &MainWindow::previewPrescription},
        separator,
        {"退出", "Ctrl+E", nullptr},
    });
    addMenu(QStringLiteral("设置(&S)"), {
        {"药品维护", "Ctrl+J", nullptr},
        {"诊断名称", "Ctrl+I", nullptr},
        {"地址库", "Ctrl+M", nullptr},
        {"协定处方", "", nullptr},
        separator,
        {"综合设置", "Ctrl+W", nullptr},
    });
    addMenu(QStringLiteral("帮助(&H)"), {
        {"在线帮助", "Ctrl+H", &MainWindow::openHelp},
        {"关于", "Ctrl+Z", &MainWindow::showAbout},
    });
    connect(action(QStringLiteral("退出")), &QAction::triggered, this, &MainWindow::close);
    connect(action(QStringLiteral("综合设置")), &QAction::triggered, this, [this] { m_settings->show(); });
    connect(action(QStringLiteral("统计")), &QAction::triggered, this, [this] {
        showWindow(m_statisticsWindow, [this] { return m_reports.statistics ? m_reports.statistics(m_store) : nullptr; });
    });
    connect(action(QStringLiteral("门诊日志")), &QAction::triggered, this, [this] {
        showWindow(m_logWindow, [this] { return m_reports.outpatientLog ? m_reports.outpatientLog(m_store, *m_settings) : nullptr; });
    });
    connect(action(QStringLiteral("药品维护")), &QAction::triggered, this, [this] {
        showWindow(m_drugWindow, [this] { return new DrugCatalogWindow(m_store); });
    });
    connect(action(QStringLiteral("协定处方")), &QAction::triggered, this, [this] {
        showWindow(m_templateWindow, [this] { return new TemplateWindow(m_store); });
    });
    connect(action(QStringLiteral("诊断名称")), &QAction::triggered, this, [this] {
        showWindow(m_diagnosisWindow, [this] { return new WordListWindow(WordListWindow::Kind::Diagnosis, m_store); });
    });
    connect(action(QStringLiteral("地址库")), &QAction::triggered, this, [this] {
        showWindow(m_addressWindow, [this] { return new WordListWindow(WordListWindow::Kind::Address, m_store); });
    });
}

void MainWindow::buildToolbar()
{
    // Down the left side: the sheet is as tall as its paper, and a row of its own for the
    // toolbar would push the keypad's last row off a 1280x720 screen.
    Toolbar1 = new QToolBar(QStringLiteral("工具栏"), this);
    addToolBar(Qt::LeftToolBarArea, Toolbar1);
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
    connect(Toolbar1, &QToolBar::actionTriggered, this, &MainWindow::toolbarClicked);
}

void MainWindow::connectPanels()
{
    connect(m_search, &SearchPanel::openRequested, this, &MainWindow::openSelectedRecord);
    connect(m_search, &SearchPanel::deleteRequested, this, &MainWindow::deleteSelectedRecord);
    connect(m_sheet, &SheetGroup::sheetClicked, m_lookups, &LookupLists::hide);
    connect(m_sheet, &SheetGroup::printCardRequested, this, &MainWindow::printCard);
    connect(m_sheet, &SheetGroup::previewCardRequested, this, &MainWindow::previewCard);
    connect(m_drugs, &DrugPanel::drugPicked, this, &MainWindow::appendDrug);
    connect(m_drugs, &DrugPanel::phraseClicked, this, &MainWindow::insertPhrase);
    Keypad* keypad = m_drugs->keypad();
    connect(keypad, &Keypad::keyTyped, this, &MainWindow::typeKey);
    connect(keypad, &Keypad::enterPressed, this, [this] { sendKey(Qt::Key_Return); });
    connect(keypad, &Keypad::backspacePressed, this, [this] { sendKey(Qt::Key_Backspace); });
}

void MainWindow::showWindow(QPointer<QWidget>& slot, const std::function<QWidget*()>& make)
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

// --- Placement -----------------------------------------------------------------------------

QSize MainWindow::naturalSize() const
{
    // A scroll area asks for little room of its own; the window wants its panels' whole size.
    return sizeHint() - m_scroll->sizeHint() + m_scroll->widget()->sizeHint();
}

bool MainWindow::fitsScreen() const
{
    const QScreen* screen = this->screen() ? this->screen() : QGuiApplication::primaryScreen();
    if (!screen)
        return true;
    // The frame is not known before the window is shown; the title bar is the most of it.
    const int titleBar = style()->pixelMetric(QStyle::PM_TitleBarHeight);
    const QSize needed = naturalSize() + QSize(0, titleBar);
    const QSize room = screen->availableGeometry().size();
    return needed.width() <= room.width() && needed.height() <= room.height();
}

void MainWindow::placeOnScreen()
{
    const QScreen* screen = this->screen() ? this->screen() : QGuiApplication::primaryScreen();
    if (!screen)
        return;
    const QRect area = screen->availableGeometry();
    if (!fitsScreen()) {
        // Too small a screen: the whole screen, and the panels scroll within it.
        setGeometry(area);
        return;
    }
    // One size whether the sheet shows or not.
    if (!isVisible())
        resize(naturalSize());
    // A band of 400 twips at the bottom of the screen is left out of the centring.
    move(area.x() + (area.width() - width()) / 2,
         area.y() + std::max(0, (area.height() - twips::toPixels(400) - height()) / 2));
}

void MainWindow::showOnScreen()
{
    if (!fitsScreen()) {
        showMaximized();
        return;
    }
    // A window system that rounds the window to its pixels at a fractional scale (150 %) may
    // take a pixel or two off the size asked for, which must not bring up scroll bars.
    m_scroll->widget()->setMinimumSize(m_scroll->widget()->sizeHint() - QSize(2, 2));
    show();
    // A window system may take its frame out of the size asked for: give the panels back
    // their room, so nothing needs scrolling where the screen has space.
    const QSize missing = m_scroll->widget()->minimumSize() - m_scroll->maximumViewportSize();
    if (missing.width() > 0 || missing.height() > 0) {
        resize(size() + missing.expandedTo(QSize(0, 0)));
        placeOnScreen();
    }
}

// --- Dispatch ------------------------------------------------------------------------------

QAction* MainWindow::action(const QString& caption) const
{
    for (QAction* a : m_menuActions)
        if (withoutMnemonic(a->text()) == caption)
            return a;
    return nullptr;
}

QAction* MainWindow::toolButton(const QString& caption) const
{
    for (QAction* a : Toolbar1->actions())
        if (a->text() == caption)
            return a;
    return nullptr;
}

void MainWindow::toolbarClicked(QAction* button)
{
    const QString caption = button->text();
    if (caption == QStringLiteral("复制"))
        copySheet();
    else if (caption == QStringLiteral("粘贴"))
        pasteSheet();
    else if (QAction* item = action(caption); item && item->isEnabled())
        item->trigger(); // 新建, 保存, 打印, 统计, 退出: the same as the menu item
}

void MainWindow::setSaveEnabled(bool enabled)
{
    action(QStringLiteral("保存"))->setEnabled(enabled);
    toolButton(QStringLiteral("保存"))->setEnabled(enabled);
}

void MainWindow::closeEvent(QCloseEvent* event)
{
    // A prescription being written is the one thing closing could lose: ask once.
    const bool unsaved = m_sheet->isVisible() && action(QStringLiteral("保存"))->isEnabled() && m_sheet->changedSinceMark();
    if (unsaved && !MessageBox::yesNo(this, QStringLiteral("提示"), QStringLiteral("处方尚未保存，确定退出吗？"))) {
        event->ignore();
        return;
    }
    event->accept();
    emit quitRequested();
}

bool MainWindow::eventFilter(QObject* watched, QEvent* event)
{
    if (event->type() == QEvent::ShortcutOverride) {
        const QKeySequence pressed(static_cast<QKeyEvent*>(event)->keyCombination());
        for (const QAction* item : std::as_const(m_menuActions)) {
            if (!item->shortcut().isEmpty() && item->shortcut() == pressed) {
                event->ignore(); // not the box's: the menu takes it
                return true;
            }
        }
    }
    return QMainWindow::eventFilter(watched, event);
}

void MainWindow::focusChanged(QWidget* now)
{
    if (!now || now->window() != this)
        return;
    if (auto* rich = qobject_cast<RichBox*>(now)) {
        activeRichBox = rich;
        richBoxActive = true;
        return;
    }
    const bool sheetBox = qobject_cast<FieldBox*>(now) && m_sheet->isAncestorOf(now);
    if (sheetBox || now == m_drugs->drugBox() || now == m_search->nameBox()) {
        activeTextBox = now;
        richBoxActive = false;
    }
    if ((sheetBox && now != m_sheet->box(4) && now != m_sheet->box(5)) || now == m_drugs->drugBox())
        m_lookups->hide();
}

// --- Record tree ---------------------------------------------------------------------------

void MainWindow::fillTree(int limit) { m_search->showNewest(limit); }

void MainWindow::search() { m_search->search(); }

// --- Prescription life cycle ---------------------------------------------------------------

void MainWindow::updateTitle() { m_sheet->setTitle(trimBlanks(m_settings->clinicName())); }

void MainWindow::newPrescription()
{
    m_sheet->setCovered(true);
    m_sheet->startNew(Clock::now().toString(QStringLiteral("yyyy-MM-dd HH:mm:ss")),
                      Clock::today().toString(QStringLiteral("yyyy-MM-dd")), m_settings->doctor(),
                      m_settings->dispenser());
    m_lookups->hide();
    m_sheet->show();
    m_saveId.clear();
    setSaveEnabled(true);
    m_sheet->box(0)->setFocus();
    m_sheet->setCovered(false);
    updateTitle();
    m_sheet->markUnchanged();
}

void MainWindow::savePrescription()
{
    if (!action(QStringLiteral("保存"))->isEnabled())
        return;
    const store::PatientRecord record = m_sheet->record();

    // A save that would store nothing says why and keeps the sheet, so no prescription is lost.
    QString problem;
    if (!record.fee) {
        problem = QStringLiteral("收费金额过大，无法保存。");
    } else if (const store::Refusal refusal = store::checkRow(store::RecordsTable, record.toRow())) {
        // The fields are named as the sheet's captions, except the hidden record key.
        const QString name = refusal.fieldName == QStringLiteral("名称") ? QStringLiteral("处方编号") : refusal.fieldName;
        const int width = store::RecordsTable.fields[size_t(refusal.field)].width;
        problem = refusal.kind == store::Refusal::Empty
            ? QStringLiteral("请填写%1，处方未保存。").arg(name)
            : QStringLiteral("%1超过 %2 个字，处方未保存。").arg(name).arg(width);
    }
    bool earlier = false;
    const bool pressedBefore = !m_saveId.isEmpty();
    if (problem.isEmpty()) {
        if (!pressedBefore)
            m_saveId = QUuid::createUuid().toString(QUuid::WithoutBraces);
        if (!store::Store::insert(m_store.records(), store::RecordsTable, record.toRow(), m_saveId, &earlier))
            problem = m_store.notWritten(
                m_store.lastChangeUnanswered()
                    ? QStringLiteral("处方未能确认保存，仍留在屏幕上。连接恢复后再按“保存”：已经存入的不会重复保存。")
                    : QStringLiteral("处方未保存。"));
    }
    if (!problem.isEmpty()) {
        qCWarning(lcWorkstation) << "save refused:" << problem;
        MessageBox::information(this, QStringLiteral("提示"), problem, MessageBox::Exclamation);
        return;
    }
    m_saveId.clear();
    if (earlier && pressedBefore) {
        // The press that failed had reached the server after all: its row now holds the sheet.
        qCInfo(lcWorkstation) << "the save was already stored by an earlier press";
        MessageBox::information(this, QStringLiteral("提示"),
                                QStringLiteral("上一次按“保存”时，处方其实已经存入服务器（只是没有收到服务器的回答）。"
                                               "这次没有重复保存，档案里只有这一张处方。"));
    }

    m_search->showNewest(TreeRows, true);
    m_sheet->hide();
    setSaveEnabled(false);
}

void MainWindow::openSelectedRecord()
{
    const std::optional<qint64> row = m_search->currentRecord();
    if (!row)
        return;
    m_sheet->setCovered(true);
    store::Query q = store::Store::select(m_store.records(), store::statements::rowWithId(store::RecordsTable, *row), 1);
    if (q.next()) {
        // The record's texts are not the doctor's typing: they look nothing up.
        m_lookups->setQuiet(true);
        m_sheet->showRecord(store::PatientRecord::fromQuery(q));
        m_lookups->setQuiet(false);
    } else {
        // The key and row, never the name.
        qCWarning(lcWorkstation) << "no record" << *row << "for the key" << recordnode::key(m_search->currentNode());
    }
    m_lookups->hide();
    m_sheet->show();
    setSaveEnabled(false);
    m_sheet->setCovered(false);
    updateTitle();
    m_sheet->markUnchanged();
}

void MainWindow::deleteSelectedRecord()
{
    const std::optional<qint64> row = m_search->currentRecord();
    if (!row)
        return;
    const QString key = recordnode::key(m_search->currentNode()); // for the log: the key, never the name
    if (!MessageBox::okCancel(this, QStringLiteral("提示"), QStringLiteral("确实要永久删除该病人档案吗？"),
                              MessageBox::Exclamation))
        return;
    switch (store::Store::deleteFirst(m_store.records(), store::statements::rowWithId(store::RecordsTable, *row))) {
    case store::Deleted::One:
        break;
    case store::Deleted::None:
        // The record went from under the node; there is nothing to keep it for.
        qCWarning(lcWorkstation) << "no record" << *row << "to delete for the key" << key;
        break;
    case store::Deleted::Failed:
        // The record is still in the file: its node stays, and the doctor learns why.
        qCWarning(lcWorkstation) << "delete of record" << *row << "with the key" << key << "failed:"
                                 << (m_store.records() ? m_store.records()->lastError() : QString());
        MessageBox::information(this, QStringLiteral("提示"), m_store.notWritten(QStringLiteral("档案未删除。")),
                                MessageBox::Exclamation);
        return;
    }
    m_search->removeCurrentNode();
}

void MainWindow::copySheet() { m_copyBuffer = m_sheet->copy(); }

void MainWindow::pasteSheet() { m_sheet->paste(m_copyBuffer); }

// --- Help ----------------------------------------------------------------------------------

void MainWindow::openHelp()
{
    // The help page ships inside the program and is written out where a browser can read it.
    const QString path = QDir(QStandardPaths::writableLocation(QStandardPaths::AppLocalDataLocation))
                             .filePath(QStringLiteral("qarvel-help.html"));
    if (writeHelpPage(path, m_store.dataFolder()) && !QDesktopServices::openUrl(QUrl::fromLocalFile(path)))
        qCWarning(lcWorkstation) << "no browser opened" << path;
}

void MainWindow::showAbout()
{
    if (!m_about) {
        auto* box = new QMessageBox(QMessageBox::Information, QStringLiteral("关于"),
                                    QStringLiteral("<b>Qarvel V2.0</b><br>版本 %1<br><br>"
                                                   "门诊处方工作站：开处方、存病历、打印处方和注射卡、"
                                                   "统计工作量、打印门诊日志。<br><br>数据文件夹：%2")
                                        .arg(QCoreApplication::applicationVersion(),
                                             QDir::toNativeSeparators(m_store.dataFolder()).toHtmlEscaped()),
                                    QMessageBox::Ok, this);
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

// --- Entry aids ----------------------------------------------------------------------------

void MainWindow::appendDrug(const QString& lines)
{
    RichBox* R1 = m_sheet->prescriptionBox();
    if (!lines.isEmpty())
        R1->setText(R1->text() + lines);
    R1->moveCaretToEnd();
}

void MainWindow::insertPhrase(const QString& caption)
{
    RichBox* R1 = m_sheet->prescriptionBox();
    R1->setFocus();
    R1->insertAtCaret(caption.contains(QStringLiteral("用法：")) ? caption + QStringLiteral("\r\n") : caption);
    m_drugs->drugBox()->setFocus();
}

void MainWindow::typeKey(const QString& caption)
{
    if (richBoxActive && activeRichBox) {
        activeRichBox->insertAtCaret(caption);
        activeRichBox->setFocus();
    } else if (auto* box = qobject_cast<QLineEdit*>(activeTextBox.data())) {
        box->insert(caption);
        box->setFocus();
    }
    // Before any box had the focus the keypad has no target, and the key does nothing.
}

void MainWindow::sendKey(int key)
{
    // Ordinary keyboard input to whatever has the focus, delivered when the event loop gets to it.
    QWidget* target = QApplication::focusWidget();
    if (!target)
        return;
    const QString text = key == Qt::Key_Return ? QStringLiteral("\r") : QStringLiteral("\b");
    QCoreApplication::postEvent(target, new QKeyEvent(QEvent::KeyPress, key, Qt::NoModifier, text));
    QCoreApplication::postEvent(target, new QKeyEvent(QEvent::KeyRelease, key, Qt::NoModifier, text));
}

// --- Printing ------------------------------------------------------------------------------

void MainWindow::printPrescription() { m_prints->printPrescription(); }

void MainWindow::previewPrescription() { m_prints->previewPrescription(); }

void MainWindow::printCard() { m_prints->printCard(); }

void MainWindow::previewCard() { m_prints->previewCard(); }
