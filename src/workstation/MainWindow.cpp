#include "workstation/MainWindow.h"

#include "common/Clock.h"
#include "common/Log.h"
#include "common/MessageBox.h"
#include "common/Text.h"
#include "common/TextList.h"
#include "common/Window.h"
#include "settings/CurrentSettings.h"
#include "store/Records.h"
#include "store/Store.h"
#include "store/postgres/PgWait.h"
#include "workstation/DrugPanel.h"
#include "workstation/Keypad.h"
#include "workstation/LookupLists.h"
#include "workstation/PrescriptionSheet.h"
#include "workstation/RecordNode.h"
#include "workstation/ScreenFit.h"
#include "workstation/SearchPanel.h"
#include "workstation/SheetPrints.h"

#include <QAction>
#include <QApplication>
#include <QCloseEvent>
#include <QHBoxLayout>
#include <QKeyEvent>
#include <QLineEdit>
#include <QScrollArea>
#include <QStatusBar>
#include <QUuid>
#include <functional>

MainWindow::MainWindow(store::Store& store, QWidget* parent)
    : QMainWindow(parent)
    , m_store(store)
    , m_settings(new CurrentSettings(store, this))
{
    setObjectName(QStringLiteral("MainWindow"));
    setWindowTitle(QStringLiteral("Qarvel V2.0"));

    m_windows = new SecondaryWindows(store, *m_settings, this);
    m_menus = new MainMenus(this);
    connectMenus();

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

    screenfit::place(*this, *m_scroll);
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

void MainWindow::connectMenus()
{
    SecondaryWindows* windows = m_windows;
    const std::pair<const char*, std::function<void()>> commands[] = {
        {"新建", [this] { newPrescription(); }},
        {"保存", [this] { savePrescription(); }},
        {"存为协定方", [this] { saveAsTemplate(); }},
        {"统计", [windows] { windows->showStatistics(); }},
        {"门诊日志", [windows] { windows->showOutpatientLog(); }},
        {"打印", [this] { printPrescription(); }},
        {"打印预览", [this] { previewPrescription(); }},
        {"退出", [this] { close(); }},
        {"药品维护", [windows] { windows->showDrugCatalog(); }},
        {"诊断名称", [windows] { windows->showDiagnoses(); }},
        {"地址库", [windows] { windows->showAddresses(); }},
        {"协定处方", [windows] { windows->showTemplates(); }},
        {"综合设置", [this] { m_settings->show(); }},
        {"在线帮助", [windows] { windows->openHelp(); }},
        {"关于", [windows] { windows->showAbout(); }},
    };
    for (const auto& [caption, command] : commands)
        connect(action(QString::fromUtf8(caption)), &QAction::triggered, this, command);
    connect(m_menus, &MainMenus::copyClicked, this, &MainWindow::copySheet);
    connect(m_menus, &MainMenus::pasteClicked, this, &MainWindow::pasteSheet);
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

void MainWindow::showOnScreen() { screenfit::show(*this, *m_scroll); }

// --- Dispatch ------------------------------------------------------------------------------

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
        if (m_menus->isShortcut(pressed)) {
            event->ignore(); // not the box's: the menu takes it
            return true;
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
