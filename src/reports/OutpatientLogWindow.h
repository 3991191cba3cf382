#pragma once

#include "printing/BackgroundPrint.h"
#include "printing/PrintJob.h"
#include "reports/ReportForm.h"

#include <QList>
#include <QPointer>
#include <QStringList>
#include <QWidget>

class CurrentSettings;
class QGroupBox;
class QPushButton;
class QTableView;

namespace reports {
class LogModel;
}

namespace store {
class Store;
struct Select;
} // namespace store

// form12: the patient records of one day or one month in the grid, one line per visit in the
// order the prescriptions were started, and the log book printed, previewed or exported from
// what the grid shows. It only reads 档案. Constructing the window is loading it: the headers
// and one empty line, the date parts at today. It is not modal and deletes itself when closed.
class OutpatientLogWindow : public QWidget
{
    Q_OBJECT
public:
    OutpatientLogWindow(store::Store& store, CurrentSettings& settings, QWidget* parent = nullptr);

    // Over a reports::LogModel: one row per line, at least one, and the seven captions in the
    // horizontal header, which does not scroll away.
    QTableView* MSFlexGrid1 = nullptr;
    reports::DateParts Combo1{}; // 0-2: year, month, day; 3-4: year, month
    QGroupBox* Frame1 = nullptr; // 按日查询
    QGroupBox* Frame2 = nullptr; // 按月查询
    QPushButton* Command1 = nullptr; // day query
    QPushButton* Command2 = nullptr; // month query
    QPushButton* Command3 = nullptr; // 打  印
    QPushButton* Command4 = nullptr; // 退  出
    QPushButton* Command5 = nullptr; // 打印预览
    QPushButton* Command6 = nullptr; // 导出

    // The log book of the lines the grid shows now, as the print and preview buttons draw it.
    // It holds its lines and the doctor's name, read now, so it may be drawn on any thread.
    printing::DrawJob logBookJob() const;

    // Where 打  印 writes the book, on a thread of its own: the desk's printer (null), unless a
    // test or the benchmark writes a PDF file instead.
    void setPrintWriter(printing::PrintWriter write) { m_printWriter = std::move(write); }

    // The book's name in the printer's queue: "门诊日志 2026-12" for the month (or day) shown.
    QString jobName() const;

signals:
    // The book that 打  印 started is written (ok) or could not be, after the window said so.
    void logBookPrinted(bool ok);

private:
    void setUpGrid();
    void queryDay();
    void queryMonth();
    void query(const store::Select& select, const QString& period);
    void showLines(QList<QString> cells);
    void printLogBook();
    void logBookWritten(bool ok);
    void previewLogBook();
    void exportLog();

    store::Store& m_store;
    CurrentSettings& m_settings;
    reports::LogModel* m_lines = nullptr;
    QString m_period; // the day or month of the lines shown, for the export's file name
    printing::PrintWriter m_printWriter;
    QPointer<printing::BackgroundPrint> m_printing; // the book being written, one at a time
};
