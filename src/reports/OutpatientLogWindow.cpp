#include "reports/OutpatientLogWindow.h"

#include "common/Log.h"
#include "common/MessageBox.h"
#include "common/Window.h"
#include "printing/PrinterPage.h"
#include "printing/Twips.h"
#include "reports/LogBookPrint.h"
#include "reports/LogCsv.h"
#include "reports/LogModel.h"
#include "settings/CurrentSettings.h"
#include "settings/DeskPrinter.h"
#include "store/Schema.h"
#include "store/Statements.h"
#include "store/Store.h"

#include <QApplication>
#include <QDir>
#include <QFileDialog>
#include <QFileInfo>
#include <QGroupBox>
#include <QHeaderView>
#include <QPushButton>
#include <QRegularExpression>
#include <QStandardPaths>
#include <QTableView>

namespace {

// Twips, in the order of reports::LogModel's columns.
constexpr int ColumnWidths[reports::LogModel::Columns] = {1000, 500, 500, 3500, 5000, 1550, 2100};

// The wait pointer for as long as a query runs, whichever way the handler leaves.
class WaitCursor
{
public:
    WaitCursor() { QApplication::setOverrideCursor(Qt::WaitCursor); }
    ~WaitCursor() { QApplication::restoreOverrideCursor(); }
    WaitCursor(const WaitCursor&) = delete;
    WaitCursor& operator=(const WaitCursor&) = delete;
};

int column(const char16_t* field) { return store::fieldIndex(store::RecordsTable, QString::fromUtf16(field)) + 1; }

// The six filled texts of each record a log statement selects, line after line in its order
// (reports::LogModel's form); nothing when it could not be run (logged).
QList<QString> readLog(store::Connection* db, const store::Select& select)
{
    if (!db) {
        qCWarning(lcReports) << "log not read: the patient-record file is not open";
        return {};
    }
    static const int name = column(u"姓名"), sex = column(u"性别"), age = column(u"年龄"),
                     diagnosis = column(u"诊断"), address = column(u"地址"), key = column(u"名称");
    static_assert(reports::LogModel::FilledColumns == 6);
    QList<QString> cells;
    store::Query query = store::Store::select(db, select);
    while (query.next()) {
        cells.append(query.string(name));
        cells.append(query.string(sex));
        cells.append(query.string(age));
        cells.append(query.string(diagnosis));
        cells.append(query.string(address));
        // The key begins with the moment the prescription was started; the log shows it to the
        // minute. Cut in place: left() would copy every key once more.
        QString time = query.string(key);
        time.truncate(16);
        cells.append(std::move(time));
    }
    if (!query.isValid() || query.failed()) {
        qCWarning(lcReports) << "log not read:" << query.error();
        return {};
    }
    return cells;
}

QPushButton* button(const QString& caption, const char* name, const QRect& geometry, QWidget* parent)
{
    auto* b = new QPushButton(caption, parent);
    b->setObjectName(QLatin1String(name));
    b->setGeometry(geometry);
    return b;
}

QGroupBox* frame(const QString& caption, const char* name, const QRect& geometry, QWidget* parent)
{
    auto* box = new QGroupBox(caption, parent);
    box->setObjectName(QLatin1String(name));
    box->setGeometry(geometry);
    return box;
}

} // namespace

OutpatientLogWindow::OutpatientLogWindow(store::Store& store, CurrentSettings& settings, QWidget* parent)
    : QWidget(parent, Qt::Dialog | Qt::MSWindowsFixedSizeDialogHint)
    , m_store(store)
    , m_settings(settings)
{
    setObjectName(QStringLiteral("form12"));
    setWindowTitle(QStringLiteral("门诊日志"));
    setAttribute(Qt::WA_DeleteOnClose);
    // The twip positions were laid out for this face and size, and the grid uses it too.
    setFont(QFont(QStringLiteral("宋体"), 9));
    setFixedSize(twips::toPixels(14250), twips::toPixels(9180));

    MSFlexGrid1 = new QTableView(this);
    MSFlexGrid1->setObjectName(QStringLiteral("MSFlexGrid1"));
    MSFlexGrid1->setGeometry(twips::rect(60, 60, 14115, 7635));

    Frame1 = frame(QStringLiteral("按日查询"), "Frame1", twips::rect(240, 7980, 4515, 975), this);
    reports::addDateParts(Combo1, 0, 3, Frame1, 420);
    Command1 = button(QStringLiteral("查  询"), "Command1", twips::rect(3120, 360, 1155, 375), Frame1);

    Frame2 = frame(QStringLiteral("按月查询"), "Frame2", twips::rect(4920, 7980, 3675, 975), this);
    reports::addDateParts(Combo1, 3, 2, Frame2, 420);
    Command2 = button(QStringLiteral("查  询"), "Command2", twips::rect(2280, 360, 1155, 375), Frame2);

    // Export and preview fill the room between the month query and the print button.
    Command6 = button(QStringLiteral("导出"), "Command6", twips::rect(8760, 8280, 915, 435), this);
    Command5 = button(QStringLiteral("打印预览"), "Command5", twips::rect(9795, 8280, 1005, 435), this);
    Command3 = button(QStringLiteral("打  印"), "Command3", twips::rect(10920, 8280, 1515, 435), this);
    Command4 = button(QStringLiteral("退  出"), "Command4", twips::rect(12600, 8280, 1515, 435), this);

    connect(Command1, &QPushButton::clicked, this, &OutpatientLogWindow::queryDay);
    connect(Command2, &QPushButton::clicked, this, &OutpatientLogWindow::queryMonth);
    connect(Command3, &QPushButton::clicked, this, &OutpatientLogWindow::printLogBook);
    connect(Command4, &QPushButton::clicked, this, &QWidget::close);
    connect(Command5, &QPushButton::clicked, this, &OutpatientLogWindow::previewLogBook);
    connect(Command6, &QPushButton::clicked, this, &OutpatientLogWindow::exportLog);

    setUpGrid();
    centreOnScreen(this);
    reports::setDatePartsToToday(Combo1);
}

void OutpatientLogWindow::setUpGrid()
{
    QTableView* grid = MSFlexGrid1;
    m_lines = new reports::LogModel(grid);
    grid->setModel(m_lines);
    grid->setEditTriggers(QAbstractItemView::NoEditTriggers);
    grid->setWordWrap(false);
    grid->setHorizontalScrollMode(QAbstractItemView::ScrollPerPixel);
    grid->verticalHeader()->hide();
    // Fixed row heights: a month of lines is laid out without measuring a single one.
    grid->verticalHeader()->setSectionResizeMode(QHeaderView::Fixed);
    grid->verticalHeader()->setDefaultSectionSize(std::max(twips::toPixels(240), grid->fontMetrics().height() + 4));

    QHeaderView* header = grid->horizontalHeader();
    header->setDefaultAlignment(Qt::AlignLeft | Qt::AlignVCenter);
    header->setSectionsClickable(false);
    header->setHighlightSections(false);
    // The style's minimum is wider than the narrow sex and age columns.
    header->setMinimumSectionSize(twips::toPixels(240));
    for (int c = 0; c < reports::LogModel::Columns; ++c)
        grid->setColumnWidth(c, twips::toPixels(ColumnWidths[c]));
}

void OutpatientLogWindow::queryDay()
{
    const QString day = reports::dayText(Combo1);
    query(store::statements::logOfDay(day), day);
}

void OutpatientLogWindow::queryMonth()
{
    const QString month = reports::monthText(Combo1);
    query(store::statements::logOfMonth(month), month);
}

void OutpatientLogWindow::query(const store::Select& select, const QString& period)
{
    const WaitCursor wait;
    showLines(readLog(m_store.records(), select));
    m_period = period;
}

void OutpatientLogWindow::showLines(QList<QString> cells)
{
    // One reset: the view drops its selection and asks only for the cells it paints. The
    // column count does not change, so the header keeps the widths the doctor dragged.
    m_lines->setLines(std::move(cells));
    MSFlexGrid1->scrollToTop();
}

printing::DrawJob OutpatientLogWindow::logBookJob() const
{
    return [rows = reports::logBookRows(m_lines), doctor = m_settings.doctor()](printing::PrinterPage& page) {
        reports::drawLogBook(page, rows, [&doctor] { return doctor; });
    };
}

void OutpatientLogWindow::printLogBook()
{
    // A month is some tens of pages: they are written behind the window, which goes on
    // answering. The button waits for the book, so a second press does not print it twice.
    if (m_printing)
        return;
    printing::PrintWriter write = m_printWriter;
    if (!write) {
        // Asked here, on the window's thread, before the book goes behind the window.
        const DeskPrinter printer = printerForJob(m_store, this);
        if (printer.declined)
            return;
        if (printer.name.isEmpty()) {
            logBookWritten(false);
            return;
        }
        write = printing::printerWriter(printer.name, jobName());
    }
    m_printing = printing::BackgroundPrint::start(std::move(write), logBookJob());
    connect(m_printing, &printing::BackgroundPrint::finished, this, &OutpatientLogWindow::logBookWritten);
    Command3->setEnabled(false);
    setCursor(Qt::BusyCursor);
}

void OutpatientLogWindow::logBookWritten(bool ok)
{
    m_printing = nullptr; // free for the next press, though not yet deleted
    unsetCursor();
    Command3->setEnabled(true);
    // This window has no status bar to say it in, as the main window does.
    if (!ok) {
        qCWarning(lcReports) << "the log book was not printed";
        MessageBox::information(this, QStringLiteral("提示"), QStringLiteral("未找到打印机"), MessageBox::Exclamation);
    }
    emit logBookPrinted(ok);
}

void OutpatientLogWindow::previewLogBook() { printing::previewPrint(this, logBookJob(), printerForPreview(m_store)); }

QString OutpatientLogWindow::jobName() const
{
    return m_period.isEmpty() ? QStringLiteral("门诊日志") : QStringLiteral("门诊日志 ") + m_period;
}

void OutpatientLogWindow::exportLog()
{
    static const QRegularExpression period(QStringLiteral("^\\d{4}-\\d{2}(-\\d{2})?$"));
    const QString name = period.match(m_period).hasMatch() ? QStringLiteral("门诊日志 %1.csv").arg(m_period)
                                                           : QStringLiteral("门诊日志.csv");
    QDir folder(QStandardPaths::writableLocation(QStandardPaths::DocumentsLocation));
    if (!folder.exists())
        folder = QDir::home();
    QString path = QFileDialog::getSaveFileName(this, QStringLiteral("导出门诊日志"), folder.filePath(name),
                                                QStringLiteral("CSV 文件 (*.csv)"));
    if (path.isEmpty())
        return;
    if (QFileInfo(path).suffix().isEmpty())
        path += QLatin1String(".csv");
    if (!reports::writeLogCsv(path, m_lines))
        qCWarning(lcReports) << "the log was not exported to" << path;
}
