#include "workstation/MainWindow.h"

#include "common/Clock.h"
#include "common/Log.h"
#include "common/MessageBox.h"
#include "dictionaries/DrugCatalogWindow.h"
#include "dictionaries/WordListWindow.h"
#include "reports/OutpatientLogWindow.h"
#include "reports/StatisticsWindow.h"
#include "common/Text.h"
#include "common/TextList.h"
#include "common/Window.h"
#include "settings/CurrentSettings.h"
#include "store/Records.h"
#include "store/Store.h"
#include "workstation/CardPrint.h"
#include "workstation/Keypad.h"
#include "workstation/PrescriptionPrint.h"
#include "printing/PrintJob.h"
#include "workstation/PrescriptionSheet.h"
#include "formats/PrescriptionText.h"
#include "workstation/SheetLayout.h"
#include "printing/Twips.h"

#include <QAction>
#include <QApplication>
#include <QCloseEvent>
#include <QCoreApplication>
#include <QDesktopServices>
#include <QDir>
#include <QFile>
#include <QGridLayout>
#include <QHBoxLayout>
#include <QKeyEvent>
#include <QLabel>
#include <QLineEdit>
#include <QMenu>
#include <QMenuBar>
#include <QMouseEvent>
#include <QPushButton>
#include <QScreen>
#include <QStandardPaths>
#include <QStatusBar>
#include <QToolBar>
#include <QStringBuilder>
#include <QUrl>
#include <QVBoxLayout>

static void initHelpResource()
{
    // The help page lives in the static library; make sure the linker keeps it.
    Q_INIT_RESOURCE(help);
}

namespace {

QLabel* caption(const QString& text, QWidget* parent)
{
    return new QLabel(text, parent);
}

// The record key is the 19 characters in front of the node text's final "]".
QString keyOfNode(const QString& text)
{
    return text.size() >= 20 ? text.mid(text.size() - 20, 19) : QString();
}

} // namespace

MainWindow::MainWindow(store::Store& store, QWidget* parent)
    : QMainWindow(parent)
    , m_store(store)
    , m_settings(new CurrentSettings(store, this))
{
    initHelpResource();
    setObjectName(QStringLiteral("MainWindow"));
    setWindowTitle(QStringLiteral("Qarvel V2.0"));

    buildMenus();
    buildToolbar();

    auto* central = new QWidget(this);
    auto* row = new QHBoxLayout(central);
    row->addWidget(buildSearchPanel());
    row->addWidget(buildSheetGroup(), 0, Qt::AlignTop);
    row->addWidget(buildDrugPanel());
    setCentralWidget(central);
    statusBar();

    // The pick lists pop up over the sheet, below their boxes.
    list2 = new TextList(QStringLiteral("list2"), this);
    list5 = new TextList(QStringLiteral("list5"), this);
    for (TextList* list : {list2, list5}) {
        list->hide();
        list->setFocusPolicy(Qt::ClickFocus);
        list->resize(twips::toPixels(2600), twips::toPixels(2400));
        list->installEventFilter(this);
    }
    connect(list2, &TextList::clicked, this, &MainWindow::pickDiagnosis);
    connect(list5, &TextList::clicked, this, &MainWindow::pickAddress);

    for (int i = 0; i < int(Text4.size()); ++i) {
        connect(Text4[size_t(i)], &QLineEdit::textChanged, this, [this, i] { fieldChanged(i); });
        Text4[size_t(i)]->installEventFilter(this);
    }
    Text2->installEventFilter(this);
    R1->installEventFilter(this);
    R2->installEventFilter(this);
    Picture1->installEventFilter(this);
    Picture2->installEventFilter(this);
    Label7->installEventFilter(this);
    cardPreviewLink->installEventFilter(this);

    // Enter walks the visit: name, sex, age, diagnosis, address, drug initials, prescription,
    // fee, then doctor, dispenser and date.
    setTabChain({Text4[0], Text4[1], Text4[2], Text4[4], Text4[5], Text1, R1, Text4[8], Text4[6], Text4[7],
                 Text4[3], R2});

    m_sheetGroup->hide();
    setSaveEnabled(false);

    placeOnScreen();
    fillDrugList(QString());
    fillTree(TreeRows);
}

MainWindow::~MainWindow() = default;

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
    addMenu(QStringLiteral("文件(F)"), {
        {"新建", "Ctrl+N", &MainWindow::newPrescription},
        {"保存", "Ctrl+S", &MainWindow::savePrescription},
        separator,
        {"统计", "Ctrl+D", nullptr},
        {"门诊日志", "Ctrl+G", nullptr},
        separator,
        {"打印", "Ctrl+P", &MainWindow::printPrescription},
        {"打印预览", "", &MainWindow::previewPrescription},
        separator,
        {"退出", "Ctrl+E", nullptr},
    });
    addMenu(QStringLiteral("设置(S)"), {
        {"药品维护", "Ctrl+J", nullptr},
        {"诊断名称", "Ctrl+I", nullptr},
        {"地址库", "Ctrl+M", nullptr},
        separator,
        {"综合设置", "Ctrl+W", nullptr},
    });
    addMenu(QStringLiteral("帮助(H)"), {
        {"在线帮助", "Ctrl+H", &MainWindow::openHelp},
        {"关于", "Ctrl+Z", &MainWindow::showAbout},
    });
    connect(action(QStringLiteral("退出")), &QAction::triggered, this, &MainWindow::close);
    connect(action(QStringLiteral("综合设置")), &QAction::triggered, this, [this] { m_settings->show(); });
    connect(action(QStringLiteral("统计")), &QAction::triggered, this, [this] {
        showWindow(m_statisticsWindow, [this] { return new StatisticsWindow(m_store); });
    });
    connect(action(QStringLiteral("门诊日志")), &QAction::triggered, this, [this] {
        showWindow(m_logWindow, [this] { return new OutpatientLogWindow(m_store, *m_settings); });
    });
    connect(action(QStringLiteral("药品维护")), &QAction::triggered, this, [this] {
        showWindow(m_drugWindow, [this] { return new DrugCatalogWindow(m_store); });
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
    Toolbar1 = addToolBar(QStringLiteral("工具栏"));
    Toolbar1->setObjectName(QStringLiteral("Toolbar1"));
    Toolbar1->setMovable(false);
    Toolbar1->setToolButtonStyle(Qt::ToolButtonTextOnly);
    const std::pair<const char*, const char*> buttons[] = {
        {"新建", "新建处方"}, {"保存", "保存处方"}, {"打印", "打印处方"}, {"复制", "复制处方"},
        {"粘贴", "粘贴处方"}, {"统计", "工作量统计"}, {"退出", "退出"},
    };
    for (const auto& [text, tip] : buttons) {
        QAction* button = Toolbar1->addAction(QString::fromUtf8(text));
        button->setToolTip(QString::fromUtf8(tip));
    }
    connect(Toolbar1, &QToolBar::actionTriggered, this, &MainWindow::toolbarClicked);
}

QWidget* MainWindow::buildSearchPanel()
{
    auto* panel = new QWidget(this);
    panel->setObjectName(QStringLiteral("SearchPanel"));
    auto* grid = new QGridLayout(panel);
    grid->setContentsMargins(0, 0, 0, 0);
    Text2 = new QLineEdit(panel);
    Text2->setObjectName(QStringLiteral("Text2"));
    Text3 = new QLineEdit(panel);
    Text3->setObjectName(QStringLiteral("Text3"));
    Text3->installEventFilter(this);
    Command2 = new QPushButton(QStringLiteral("查询"), panel);
    Command2->setObjectName(QStringLiteral("Command2"));
    T1 = new TextList(QStringLiteral("T1"), panel);
    T1->setMinimumWidth(twips::toPixels(3000));
    T1->viewport()->installEventFilter(this);

    grid->addWidget(caption(QStringLiteral("患者姓名"), panel), 0, 0);
    grid->addWidget(Text2, 0, 1);
    grid->addWidget(caption(QStringLiteral("就诊日期"), panel), 1, 0);
    grid->addWidget(Text3, 1, 1);
    grid->addWidget(Command2, 2, 1, Qt::AlignRight);
    grid->addWidget(T1, 3, 0, 1, 2);

    connect(Command2, &QPushButton::clicked, this, &MainWindow::search);
    connect(Text2, &QLineEdit::returnPressed, this, &MainWindow::search);
    connect(Text3, &QLineEdit::returnPressed, this, &MainWindow::search);
    connect(T1, &TextList::clicked, this, &MainWindow::openSelectedRecord);
    T1->installEventFilter(this);

    m_treeMenu = new QMenu(this);
    m_treeMenu->setObjectName(QStringLiteral("TreeMenu"));
    connect(m_treeMenu->addAction(QStringLiteral("删除")), &QAction::triggered, this,
            &MainWindow::deleteSelectedRecord);
    m_treeMenu->addAction(QStringLiteral("取消"));
    return panel;
}

QWidget* MainWindow::buildSheetGroup()
{
    m_sheetGroup = new QWidget(this);
    m_sheetGroup->setObjectName(QStringLiteral("SheetGroup"));
    auto* row = new QHBoxLayout(m_sheetGroup);
    row->setContentsMargins(0, 0, 0, 0);

    Picture2 = new PrescriptionPane(m_sheetGroup);
    Text4 = Picture2->Text4;
    R1 = Picture2->R1;
    Label10 = Picture2->Label10;
    row->addWidget(Picture2, 0, Qt::AlignTop);

    auto* cardColumn = new QVBoxLayout;
    Picture1 = new CardPane(m_sheetGroup);
    R2 = Picture1->R2;
    cardColumn->addWidget(Picture1);
    Label7 = new QLabel(QStringLiteral("打印注射卡"), m_sheetGroup);
    Label7->setObjectName(QStringLiteral("Label7"));
    Label7->setCursor(Qt::PointingHandCursor);
    Label7->setStyleSheet(QStringLiteral("color: blue; text-decoration: underline;"));
    cardPreviewLink = new QLabel(QStringLiteral("打印预览"), m_sheetGroup);
    cardPreviewLink->setObjectName(QStringLiteral("CardPreview"));
    cardPreviewLink->setCursor(Qt::PointingHandCursor);
    cardPreviewLink->setStyleSheet(QStringLiteral("color: blue; text-decoration: underline; font-size: small;"));
    auto* links = new QHBoxLayout;
    links->addStretch();
    links->addWidget(Label7);
    links->addSpacing(12);
    links->addWidget(cardPreviewLink);
    links->addStretch();
    cardColumn->addLayout(links);
    cardColumn->addStretch();
    row->addLayout(cardColumn);

    // Covers the sheet while New or Open fills it, so half-filled boxes are never seen.
    m_cover = new QFrame(Picture2);
    m_cover->setObjectName(QStringLiteral("Cover"));
    m_cover->setAutoFillBackground(true);
    m_cover->setGeometry(Picture2->rect());
    m_cover->hide();

    connect(R1, &RichBox::clicked, this, &MainWindow::hideLookupLists);
    return m_sheetGroup;
}

QWidget* MainWindow::buildDrugPanel()
{
    auto* panel = new QWidget(this);
    panel->setObjectName(QStringLiteral("DrugPanel"));
    auto* column = new QVBoxLayout(panel);
    column->setContentsMargins(0, 0, 0, 0);
    column->addWidget(caption(QStringLiteral("拼音码查询："), panel));
    Text1 = new QLineEdit(panel);
    Text1->setObjectName(QStringLiteral("Text1"));
    column->addWidget(Text1);
    List1 = new TextList(QStringLiteral("List1"), panel);
    List1->setMinimumWidth(twips::toPixels(3200));
    // Reached with the Down arrow from the drug box, not as a stop of its own in the Tab walk.
    List1->setFocusPolicy(Qt::ClickFocus);
    column->addWidget(List1, 1);

    static const char* const phrases[17] = {
        "    用法：iv/gtt qd", "ml", "qid", "tid", "bid", "iv", "qod", "st", "#",
        "mg", "q8h", "qn", "prn", "    用法：iv/gtt bid", "HS", "qd", "×",
    };
    auto* phraseGrid = new QGridLayout;
    phraseGrid->setSpacing(4);
    int cell = 0;
    for (int i = 0; i < 17; ++i) {
        Label5[size_t(i)] = new ClickLabel(QString::fromUtf8(phrases[i]), panel);
        Label5[size_t(i)]->setObjectName(QStringLiteral("Label5_%1").arg(i));
        Label5[size_t(i)]->setStyleSheet(QStringLiteral("color: #1a4f8b;"));
        connect(Label5[size_t(i)], &ClickLabel::clicked, this, [this, i] { insertPhrase(i); });
        // The two usage lines take a whole row; the short words share rows of four.
        if (i == 0 || i == 13) {
            if (cell % 4)
                cell += 4 - cell % 4;
            phraseGrid->addWidget(Label5[size_t(i)], cell / 4, 0, 1, 4);
            cell += 4;
        } else {
            phraseGrid->addWidget(Label5[size_t(i)], cell / 4, cell % 4);
            ++cell;
        }
    }
    column->addLayout(phraseGrid);

    keypad = new Keypad(panel);
    column->addWidget(keypad);
    connect(keypad, &Keypad::keyTyped, this, &MainWindow::typeKey);
    connect(keypad, &Keypad::enterPressed, this, [this] { sendKey(Qt::Key_Return); });
    connect(keypad, &Keypad::backspacePressed, this, [this] { sendKey(Qt::Key_Backspace); });

    connect(Text1, &QLineEdit::textChanged, this, &MainWindow::fillDrugList);
    Text1->installEventFilter(this);
    List1->installEventFilter(this);
    connect(List1, &TextList::clicked, this, &MainWindow::pickDrug);
    return panel;
}

void MainWindow::showWindow(QPointer<QWidget>& slot, const std::function<QWidget*()>& make)
{
    if (!slot) {
        slot = make();
        slot->setAttribute(Qt::WA_DeleteOnClose);
    }
    slot->show();
    slot->raise();
    slot->activateWindow();
}

void MainWindow::placeOnScreen()
{
    const QScreen* screen = QGuiApplication::primaryScreen();
    if (!screen)
        return;
    const QRect area = screen->availableGeometry();
    resize(sizeHint().boundedTo(area.size()));
    // A band of 400 twips at the bottom of the screen is left out of the centring.
    move(area.x() + (area.width() - width()) / 2,
         area.y() + std::max(0, (area.height() - twips::toPixels(400) - height()) / 2));
}

// --- Dispatch ------------------------------------------------------------------------------

QAction* MainWindow::action(const QString& caption) const
{
    for (QAction* a : m_menuActions)
        if (a->text() == caption)
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
    event->accept();
    emit quitRequested();
}

bool MainWindow::eventFilter(QObject* watched, QEvent* event)
{
    const QEvent::Type type = event->type();
    if (type == QEvent::FocusIn) {
        if (watched == Text1) {
            hideLookupLists();
            activeTextBox = Text1;
            richBoxActive = false;
        } else if (watched == Text2) {
            activeTextBox = Text2;
            richBoxActive = false;
        } else if (watched == R1 || watched == R2) {
            activeRichBox = static_cast<RichBox*>(watched);
            richBoxActive = true;
        } else if (watched == List1 && !List1->hasSelection() && List1->count() > 0) {
            List1->setCurrentRow(0);
        } else {
            for (size_t i = 0; i < Text4.size(); ++i)
                if (watched == Text4[i])
                    fieldFocused(int(i));
        }
    } else if (type == QEvent::KeyPress) {
        auto* key = static_cast<QKeyEvent*>(event);
        const bool enter = key->key() == Qt::Key_Return || key->key() == Qt::Key_Enter;
        if (watched == Text1 && key->key() == Qt::Key_Down) {
            List1->setFocus();
            return true;
        }
        if (watched == T1 && enter) {
            openSelectedRecord(); // the keyboard's way to open a record
            return true;
        }
        if (watched == List1 && enter) {
            pickDrug();
            return true;
        }
        if ((watched == list2 || watched == list5) && enter) {
            watched == list2 ? pickDiagnosis() : pickAddress();
            return true;
        }
        for (size_t i = 0; i < Text4.size(); ++i) {
            if (watched != Text4[i])
                continue;
            if (key->key() == Qt::Key_Down) {
                if (i == 4 || i == 5) {
                    TextList* list = i == 4 ? list2 : list5;
                    list->setFocus();
                    if (!list->hasSelection() && list->count() > 0)
                        list->setCurrentRow(0);
                }
                return true;
            }
            if (enter) {
                focusNextChild();
                return true;
            }
        }
    } else if (type == QEvent::MouseButtonPress) {
        if (watched == Picture1 || watched == Picture2)
            hideLookupLists();
        else if (watched == Label7)
            printCard();
        else if (watched == cardPreviewLink)
            previewCard();
    }

    if (watched == Text4[1] && type == QEvent::MouseButtonRelease) {
        // A click toggles the sex between 男 and 女.
        Text4[1]->setText(Text4[1]->text() != QStringLiteral("男") ? QStringLiteral("男") : QStringLiteral("女"));
        Text4[1]->end(false);
    } else if (watched == Text3 && type == QEvent::MouseButtonRelease) {
        // A click puts today's date into the date box, ready to be shortened to a month.
        Text3->setText(Clock::today().toString(QStringLiteral("yyyy-MM-dd")));
        Text3->end(false);
    } else if (watched == T1->viewport() && type == QEvent::MouseButtonRelease) {
        auto* mouse = static_cast<QMouseEvent*>(event);
        if (mouse->button() == Qt::RightButton && T1->count() > 0) {
            m_treeMenu->popup(mouse->globalPosition().toPoint());
            return true;
        }
    }
    return QMainWindow::eventFilter(watched, event);
}

// --- Record tree ---------------------------------------------------------------------------

void MainWindow::showRecords(const store::Select& select, int limit)
{
    QStringList nodes;
    // Node text: name[key]; the key is read back from it on Open and Delete.
    for (store::Query q = store::Store::select(m_store.records(), select, limit); q.next();)
        nodes << q.string(2) % QLatin1Char('[') % q.string(1) % QLatin1Char(']');
    T1->setTexts(std::move(nodes));
}

void MainWindow::fillTree(int limit) { showRecords(store::statements::recordNodes(), limit); }

void MainWindow::search()
{
    showRecords(store::statements::recordNodesByNameAndDate(Text2->text(), Text3->text()), -1);
}

QString MainWindow::selectedKey() const
{
    const int row = T1->selectedRow();
    return row >= 0 ? keyOfNode(T1->text(row)) : QString();
}

// --- Drug list -----------------------------------------------------------------------------

void MainWindow::fillDrugList(const QString& initials)
{
    List1->setTexts(store::readNames(m_store.settings(), store::statements::drugNamesByInitials(initials), DrugListRows));
}

void MainWindow::hideLookupLists()
{
    list2->hide();
    list5->hide();
}

// --- Prescription life cycle ---------------------------------------------------------------

void MainWindow::updateTitle()
{
    Picture2->setTitle(trimBlanks(m_settings->clinicName()) + QStringLiteral("处方笺"));
}

void MainWindow::newPrescription()
{
    m_cover->show();
    for (FieldBox* box : Text4)
        box->clear();
    Text4[3]->setText(Clock::today().toString(QStringLiteral("yyyy-MM-dd")));
    Label10->setText(Clock::now().toString(QStringLiteral("yyyy-MM-dd HH:mm:ss")));
    Text4[6]->setText(m_settings->doctor());
    Text4[7]->setText(m_settings->dispenser());
    Picture1->Label6[1]->clear();
    R2->clear();
    R1->clear();
    hideLookupLists();
    m_sheetGroup->show();
    setSaveEnabled(true);
    Text4[0]->setFocus();
    m_cover->hide();
    updateTitle();
}

void MainWindow::savePrescription()
{
    if (!action(QStringLiteral("保存"))->isEnabled())
        return;
    Text4[8]->setText(Text4[8]->text().replace(QStringLiteral("。"), QStringLiteral(".")));

    store::PatientRecord record;
    record.key = Label10->text();
    record.name = Text4[0]->text();
    record.sex = Text4[1]->text();
    record.age = Text4[2]->text();
    record.date = Text4[3]->text();
    record.diagnosis = Text4[4]->text();
    record.address = Text4[5]->text();
    record.doctor = Text4[6]->text();
    record.dispenser = Text4[7]->text();
    record.prescription = prescription::toStoredRtf(R1->text());
    record.fee = store::Money::parse(Text4[8]->text());

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
    if (problem.isEmpty() && !store::Store::insert(m_store.records(), store::RecordsTable, record.toRow()))
        problem = QStringLiteral("无法写入数据库，处方未保存。");
    if (!problem.isEmpty()) {
        qCWarning(lcWorkstation) << "save refused:" << problem;
        MessageBox::information(this, QStringLiteral("提示"), problem, MessageBox::Exclamation);
        return;
    }

    fillTree(TreeRows);
    m_sheetGroup->hide();
    setSaveEnabled(false);
}

void MainWindow::openSelectedRecord()
{
    const int row = T1->currentRow();
    if (row < 0)
        return;
    const QString node = T1->text(row);
    m_cover->show();
    store::Query q = store::Store::select(m_store.records(), store::statements::recordByKey(keyOfNode(node)), 1);
    if (q.next()) {
        const store::PatientRecord r = store::PatientRecord::fromQuery(q);
        // A field without a value shows empty, never the previous patient's text.
        Label10->setText(r.key.value_or(QString()));
        const std::optional<QString>* fields[] = {&r.name, &r.sex, &r.age, &r.date, &r.diagnosis,
                                                  &r.address, &r.doctor, &r.dispenser};
        m_fillingFromRecord = true;
        for (size_t i = 0; i < 8; ++i)
            Text4[i]->setText(fields[i]->value_or(QString()));
        m_fillingFromRecord = false;
        Text4[8]->setText(r.fee ? r.fee->toString() : QString());
        R1->setText(prescription::storedRtfToPlainText(r.prescription.value_or(QString())));
    } else {
        qCWarning(lcWorkstation) << "no record for node" << node;
    }
    hideLookupLists();
    m_sheetGroup->show();
    setSaveEnabled(false);
    m_cover->hide();
    updateTitle();
}

void MainWindow::deleteSelectedRecord()
{
    const int row = T1->currentRow();
    if (row < 0)
        return;
    const QString node = T1->text(row);
    if (!MessageBox::okCancel(this, QStringLiteral("提示"), QStringLiteral("确实要永久删除该病人档案吗？"),
                              MessageBox::Exclamation))
        return;
    if (!store::Store::deleteFirst(m_store.records(), store::statements::recordByKey(keyOfNode(node))))
        qCWarning(lcWorkstation) << "nothing deleted for node" << node;
    T1->removeRow(row);
}

void MainWindow::copySheet()
{
    for (size_t i = 0; i < Text4.size(); ++i)
        m_copyBuffer[i] = Text4[i]->text();
    m_copyBuffer[9] = R1->text();
}

void MainWindow::pasteSheet()
{
    for (size_t i = 0; i < Text4.size(); ++i)
        if (i != 3) // the date stays today's
            Text4[i]->setText(m_copyBuffer[i]);
    R1->setText(m_copyBuffer[9]);
    R1->moveCaretToEnd();
    R1->setFocus();
}

// --- Help ----------------------------------------------------------------------------------

void MainWindow::openHelp()
{
    // The help page ships inside the program and is written out where a browser can read it.
    const QString folder = QStandardPaths::writableLocation(QStandardPaths::AppLocalDataLocation);
    QDir().mkpath(folder);
    const QString path = QDir(folder).filePath(QStringLiteral("qarvel-help.html"));
    QFile::remove(path);
    if (!QFile::copy(QStringLiteral(":/help/index.html"), path)) {
        qCWarning(lcWorkstation) << "cannot write the help page to" << path;
        return;
    }
    QFile::setPermissions(path, QFile::ReadOwner | QFile::WriteOwner | QFile::ReadOther | QFile::ReadGroup);
    if (!QDesktopServices::openUrl(QUrl::fromLocalFile(path)))
        qCWarning(lcWorkstation) << "no browser opened" << path;
}

void MainWindow::showAbout()
{
    if (!m_about) {
        auto* box = new QMessageBox(QMessageBox::Information, QStringLiteral("关于"),
                                    QStringLiteral("<b>Qarvel V2.0</b><br>版本 %1<br><br>"
                                                   "门诊处方工作站：开处方、存病历、打印处方和注射卡、"
                                                   "统计工作量、打印门诊日志。")
                                        .arg(QCoreApplication::applicationVersion()),
                                    QMessageBox::Ok, this);
        box->setObjectName(QStringLiteral("AboutBox"));
        box->setAttribute(Qt::WA_DeleteOnClose);
        box->setModal(false);
        m_about = box;
    }
    m_about->show();
    m_about->raise();
    m_about->activateWindow();
}

// --- Drug entry ----------------------------------------------------------------------------

void MainWindow::pickDrug()
{
    // Each step on its own: with nothing selected the text stays, the rest still happens.
    if (const int row = List1->selectedRow(); row >= 0) {
        QString drug = List1->text(row);
        drug.replace(QLatin1Char('/'), QStringLiteral("\r\n    用法："));
        R1->setText(R1->text() + drug + QStringLiteral("\r\n"));
    }
    R1->moveCaretToEnd();
    Text1->clear();
    Text1->setFocus();
}

void MainWindow::insertPhrase(int index)
{
    const QString caption = Label5[size_t(index)]->text();
    R1->setFocus();
    R1->insertAtCaret(caption.contains(QStringLiteral("用法：")) ? caption + QStringLiteral("\r\n") : caption);
    Text1->setFocus();
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

// --- Diagnosis and address entry -----------------------------------------------------------

void MainWindow::fieldChanged(int index)
{
    FieldBox* box = Text4[size_t(index)];
    if (index == 1) {
        if (box->text() == QStringLiteral("1"))
            box->setText(QStringLiteral("男"));
        else if (box->text() == QStringLiteral("2"))
            box->setText(QStringLiteral("女"));
        box->end(false);
    }
    if (index <= 2) {
        Picture1->Label6[1]->setText(Text4[0]->text() + QStringLiteral("，") + Text4[1]->text()
                                     + QStringLiteral("，") + Text4[2]->text());
    } else if (index == 3) {
        Picture1->Label6[2]->setText(box->text());
    } else if (m_fillingFromRecord) {
        return;
    } else if (index == 4) {
        fillLookupList(list2, store::statements::diagnosisNamesByInitials(box->text()));
    } else if (index == 5) {
        fillLookupList(list5, store::statements::addressNamesContainingInitials(box->text()));
    }
}

void MainWindow::fieldFocused(int index)
{
    if (index == 4) {
        list5->hide();
        fillLookupList(list2, store::statements::diagnosisNamesByInitials(Text4[4]->text()));
    } else if (index == 5) {
        list2->hide();
        // On arrival the address matches from the start of its key; while typing, anywhere in it.
        fillLookupList(list5, store::statements::addressNamesByInitials(Text4[5]->text()));
    } else {
        hideLookupLists();
    }
    activeTextBox = Text4[size_t(index)];
    richBoxActive = false;
}

void MainWindow::fillLookupList(TextList* list, const store::Select& select)
{
    QStringList names = store::readNames(m_store.settings(), select);
    const bool empty = names.isEmpty();
    list->setTexts(std::move(names));
    if (empty) {
        list->hide();
        return;
    }
    // A list already showing is refilled where it is: hiding and showing it again on every
    // keystroke would cost more than the rows.
    placeLookupList(list, list == list2 ? Text4[4] : Text4[5]);
    list->show();
    list->raise();
}

void MainWindow::placeLookupList(TextList* list, QWidget* below)
{
    const QPoint corner = below->mapTo(this, QPoint(0, below->height()));
    list->move(std::min(corner.x(), std::max(0, width() - list->width())), corner.y());
}

void MainWindow::pickInto(TextList* list, int index)
{
    FieldBox* box = Text4[size_t(index)];
    if (const int row = list->selectedRow(); row >= 0)
        box->setText(list->text(row));
    box->end(false);
    box->setFocus();
    list->hide();
}

void MainWindow::pickDiagnosis() { pickInto(list2, 4); }
void MainWindow::pickAddress() { pickInto(list5, 5); }

// --- Printing ------------------------------------------------------------------------------

namespace {

printing::PrescriptionContent prescriptionOf(const PrescriptionPane* pane)
{
    printing::PrescriptionContent content;
    content.title = pane->Label3[0]->text();
    for (size_t i = 0; i < pane->Text4.size(); ++i)
        content.fields[i] = pane->Text4[i]->text();
    content.text = pane->R1->text();
    return content;
}

printing::CardContent cardOf(const CardPane* pane)
{
    return {pane->Label6[1]->text(), pane->Label6[2]->text(), pane->R2->text()};
}

} // namespace

void MainWindow::printPrescription()
{
    // The offsets are read at the moment of printing, so a changed setting applies at once.
    if (!printing::printPrescription(prescriptionOf(Picture2), printing::prescriptionOffsets(m_store)))
        statusBar()->showMessage(QStringLiteral("未找到打印机"));
}

void MainWindow::previewPrescription()
{
    printing::previewPrescription(this, prescriptionOf(Picture2), printing::prescriptionOffsets(m_store));
}

void MainWindow::printCard()
{
    if (!printing::printInjectionCard(cardOf(Picture1), printing::cardOffsets(m_store)))
        statusBar()->showMessage(QStringLiteral("未找到打印机"));
}

void MainWindow::previewCard()
{
    printing::previewInjectionCard(this, cardOf(Picture1), printing::cardOffsets(m_store));
}
