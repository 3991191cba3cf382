#include "settings/SettingsWindow.h"

#include "common/Log.h"
#include "common/MessageBox.h"
#include "common/Window.h"
#include "settings/PrinterPanel.h"
#include "settings/RestoreDialog.h"
#include "settings/SharingPanel.h"
#include "store/Records.h"
#include "store/Statements.h"
#include "store/Store.h"

#include <QCloseEvent>
#include <QGridLayout>
#include <QGroupBox>
#include <QGuiApplication>
#include <QHBoxLayout>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QScreen>
#include <QVBoxLayout>

namespace {

// The window caption, also the title of its message.
const QString formCaption = QStringLiteral("基本设置");

// What each box holds, in box order Text1..Text8. The caption is also how a refusal names the
// box, so the user reads the same words as beside the box.
struct Binding {
    const store::Table* table;
    const char16_t* field;
    const char16_t* caption;
    const char16_t* initialText; // kept where the store has no value
    bool millimetres = false;    // a print offset: a whole number of millimetres
};

const std::array<Binding, 8> bindings{{
    {&store::SettingsTable, u"名称", u"名称：", u""},
    {&store::SettingsTable, u"医生", u"医生：", u""},
    {&store::SettingsTable, u"配药", u"配药：", u""},
    {&store::SettingsTable, u"左边距", u"处方左边距：", u"120", true},
    {&store::SettingsTable, u"上边距", u"处方上边距：", u"200", true},
    {&store::SettingsTable, u"左边距1", u"注射卡左边距：", u"120", true},
    {&store::SettingsTable, u"上边距1", u"注射卡上边距：", u"200", true},
    {&store::PasswordTable, u"密码", u"密码：", u""},
}};

QString caption(const Binding& binding) { return QString::fromUtf16(binding.caption); }

int fieldOf(const Binding& binding)
{
    return store::fieldIndex(*binding.table, QString::fromUtf16(binding.field));
}

QString refusalText(const Binding& binding, const store::Refusal& refusal)
{
    switch (refusal.kind) {
    case store::Refusal::TooLong:
        return QStringLiteral("%1超过 %2 个字符，未保存。")
            .arg(caption(binding))
            .arg(binding.table->fields[size_t(refusal.field)].width);
    case store::Refusal::Empty:
        return QStringLiteral("%1不能为空，未保存。").arg(caption(binding));
    default:
        return QStringLiteral("%1未保存。").arg(caption(binding));
    }
}

// Only a table read to its end without a row is empty; a read that fails says nothing.
bool isEmpty(store::Connection* db, const store::Table& table)
{
    store::Query query = store::Store::select(db, store::statements::everyRow(table), 1);
    return !query.next() && !query.failed();
}

} // namespace

SettingsWindow::SettingsWindow(store::Store& store, QWidget* parent)
    : QWidget(parent, Qt::Dialog | Qt::MSWindowsFixedSizeDialogHint)
    , m_store(store)
{
    setObjectName(QStringLiteral("Form5"));
    setWindowTitle(formCaption);
    // Confirm and the close box both end the window; the next reader loads a fresh one.
    setAttribute(Qt::WA_DeleteOnClose);

    Frame1 = new QGroupBox(QStringLiteral("基本设置"), this);
    Frame1->setObjectName(QStringLiteral("Frame1"));
    Frame2 = new QGroupBox(QStringLiteral("打印设置(单位：毫米)"), this);
    Frame2->setObjectName(QStringLiteral("Frame2"));
    Frame3 = new SharingPanel(m_store, this);
    printerPanel = new PrinterPanel(m_store, this);

    Command1 = new QPushButton(QStringLiteral("确 定"), this);
    Command1->setObjectName(QStringLiteral("Command1"));
    // A plain widget gives no button Enter by default; this one takes it while it has the focus,
    // which it has when the window opens, so Enter confirms the window unchanged.
    Command1->setAutoDefault(true);

    std::array<QLabel*, 8> labels{};
    for (size_t i = 0; i < m_boxes.size(); ++i) {
        QWidget* frame = i < 3 || i == 7 ? Frame1 : Frame2;
        auto* box = new QLineEdit(QString::fromUtf16(bindings[i].initialText), frame);
        box->setObjectName(QStringLiteral("Text%1").arg(i + 1));
        auto* label = new QLabel(caption(bindings[i]), frame);
        label->setObjectName(QStringLiteral("Label%1").arg(i + 1));
        label->setAlignment(Qt::AlignRight | Qt::AlignVCenter);
        label->setBuddy(box);
        m_boxes[i] = box;
        labels[i] = label;
    }
    Text1 = m_boxes[0];
    Text2 = m_boxes[1];
    Text3 = m_boxes[2];
    Text4 = m_boxes[3];
    Text5 = m_boxes[4];
    Text6 = m_boxes[5];
    Text7 = m_boxes[6];
    Text8 = m_boxes[7];
    Text8->setEchoMode(QLineEdit::Normal); // the password is shown in clear on purpose
    Text8->setMaxLength(15);

    // A caption and its box share a grid row, two values to a row.
    auto place = [&](QGridLayout* grid, size_t index, int row, int column) {
        grid->addWidget(labels[index], row, column * 2);
        grid->addWidget(m_boxes[index], row, column * 2 + 1);
    };
    auto* grid1 = new QGridLayout(Frame1);
    place(grid1, 0, 0, 0); // clinic name | password
    place(grid1, 7, 0, 1);
    place(grid1, 1, 1, 0); // doctor | dispenser
    place(grid1, 2, 1, 1);
    auto* grid2 = new QGridLayout(Frame2);
    place(grid2, 3, 0, 0); // prescription left | top
    place(grid2, 4, 0, 1);
    place(grid2, 5, 1, 0); // card left | top
    place(grid2, 6, 1, 1);
    for (QGridLayout* grid : {grid1, grid2}) {
        grid->setColumnStretch(1, 1);
        grid->setColumnStretch(3, 1);
        grid->setHorizontalSpacing(8);
    }

    // Out of the Tab chain, which is the same as ever; Alt+R reaches it from the keyboard.
    Command2 = new QPushButton(QStringLiteral("从备份恢复(&R)…"), this);
    Command2->setObjectName(QStringLiteral("Command2"));
    Command2->setAutoDefault(false);
    Command2->setFocusPolicy(Qt::ClickFocus);

    auto* buttons = new QHBoxLayout;
    buttons->addWidget(Command2);
    buttons->addStretch();
    buttons->addWidget(Command1);

    auto* layout = new QVBoxLayout(this);
    layout->setContentsMargins(16, 12, 16, 12);
    layout->addWidget(Frame1);
    layout->addWidget(Frame2);
    layout->addWidget(printerPanel);
    layout->addWidget(Frame3);
    layout->addLayout(buttons);

    setTabOrder(Command1, Text1);
    for (size_t i = 0; i + 1 < m_boxes.size(); ++i)
        setTabOrder(m_boxes[i], m_boxes[i + 1]);
    Command1->setFocus();

    connect(Command1, &QPushButton::clicked, this, &SettingsWindow::confirm);
    connect(Command2, &QPushButton::clicked, this, &SettingsWindow::openRestore);

    // Polished now, so the size the window is centred with is the size it shows with.
    ensurePolished();
    setFixedSize(sizeHint().expandedTo(QSize(460, 0)));
    load();
}

void SettingsWindow::load()
{
    centreOnScreen(this);

    // Field by field: a value the store lacks leaves the box as it is.
    auto fill = [this](store::Connection* db, const store::Select& select) {
        const QString table = store::tableName(select.table());
        store::Query query = store::Store::select(db, select, 1);
        if (!query.next()) {
            if (!db)
                qCWarning(lcSettings) << table << "not read: file not open; the boxes keep their texts";
            else if (query.failed())
                qCWarning(lcSettings) << table << "not read:" << query.error() << "; the boxes keep their texts";
            else
                qCWarning(lcSettings) << table << "has no row; the boxes keep their texts";
            return;
        }
        for (size_t i = 0; i < bindings.size(); ++i) {
            if (bindings[i].table != &select.table())
                continue;
            const int field = fieldOf(bindings[i]);
            if (const auto value = query.text(field + 1))
                m_boxes[i]->setText(*value);
            else
                qCWarning(lcSettings) << table << "field" << QString::fromUtf16(bindings[i].field)
                                      << "has no value; kept" << m_boxes[i]->objectName();
        }
    };
    fill(m_store.settings(), store::statements::settingsRow());
    fill(m_store.records(), store::statements::password());
    // While the clinic's server cannot be reached there is no password to show or to change;
    // the window still serves to name another server.
    Text8->setEnabled(!m_store.onServer() || m_store.records());
    Frame3->load();
    printerPanel->load();
}

void SettingsWindow::confirm()
{
    QStringList refusals;
    QStringList unstored;
    QLineEdit* firstRefused = nullptr;

    // Each value is checked by itself, so a refused one is left out whole while the others of
    // the same confirm are still stored, in one change of the table's first row.
    auto storeInto = [&](store::Connection* db, const store::Table& table) {
        std::vector<std::pair<int, store::Value>> values;
        for (size_t i = 0; i < bindings.size(); ++i) {
            if (bindings[i].table != &table)
                continue;
            const int field = fieldOf(bindings[i]);
            store::Row probe(table.fields.size());
            probe[size_t(field)] = m_boxes[i]->text();
            if (const store::Refusal refusal = store::checkRow(table, probe)) {
                qCWarning(lcSettings) << "value of" << m_boxes[i]->objectName() << "refused, kind"
                                      << refusal.kind;
                refusals << refusalText(bindings[i], refusal);
                if (!firstRefused)
                    firstRefused = m_boxes[i];
                continue;
            }
            if (bindings[i].millimetres && !store::isWholeMillimetres(m_boxes[i]->text())) {
                // The print reads a whole number; anything else would move the paper by a guess.
                qCWarning(lcSettings) << "value of" << m_boxes[i]->objectName() << "refused: not whole millimetres";
                refusals << QStringLiteral("%1须为整数（毫米），未保存。").arg(caption(bindings[i]));
                if (!firstRefused)
                    firstRefused = m_boxes[i];
                continue;
            }
            values.emplace_back(field, m_boxes[i]->text());
        }
        if (values.empty())
            return;
        QString why;
        if (!db) {
            why = QStringLiteral("file not open");
        } else if (isEmpty(db, table)) {
            // A desk's own empty table is left empty, as ever: there is no row to change, and
            // the window never adds one. The clinic's server gets its one password row, so that
            // a login can be set there at all.
            if (&table != &store::PasswordTable || !m_store.onServer()) {
                qCWarning(lcSettings) << "nothing stored into" << store::tableName(table) << ": it has no row";
                return;
            }
            store::Row row(table.fields.size());
            for (const auto& [field, value] : values)
                row[size_t(field)] = value;
            if (!store::Store::insert(db, table, row))
                why = QStringLiteral("the row was not added");
        } else if (!store::Store::updateFirstFields(db, table, values)) {
            why = QStringLiteral("the change was not written");
        }
        if (why.isEmpty())
            return;
        qCWarning(lcSettings) << "nothing stored into" << store::tableName(table) << ":" << why;
        unstored << (&table == &store::PasswordTable ? QStringLiteral("登录密码") : QStringLiteral("设置"));
    };
    storeInto(m_store.settings(), store::SettingsTable);
    if (Text8->isEnabled())
        storeInto(m_store.records(), store::PasswordTable);
    if (!Frame3->save())
        unstored << QStringLiteral("共享数据库连接");
    if (!printerPanel->save())
        unstored << QStringLiteral("打印机");

    // The window stays open with the typed texts, so nothing is lost: the user can mend a refused
    // value, or confirm again once the file can be written.
    QStringList messages = refusals;
    if (!unstored.isEmpty())
        messages.prepend(m_store.notWritten(QStringLiteral("%1未保存。").arg(unstored.join(QStringLiteral("和")))));
    if (!messages.isEmpty()) {
        MessageBox::information(this, formCaption, messages.join(QLatin1Char('\n')),
                                unstored.isEmpty() ? MessageBox::Information : MessageBox::Exclamation);
        if (firstRefused)
            firstRefused->setFocus();
        return;
    }
    close();
}

void SettingsWindow::openRestore()
{
    auto* dialog = new RestoreDialog(m_store, this);
    // The boxes show the files in use; after a restore those are other files.
    connect(dialog, &RestoreDialog::restored, this, &SettingsWindow::load);
    dialog->open();
}

void SettingsWindow::closeEvent(QCloseEvent* event)
{
    event->accept();
    emit unloaded();
}
