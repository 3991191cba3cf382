#pragma once

#include "printing/PrintJob.h"
#include "reports/ReportForm.h"

#include <QList>
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
    printing::DrawJob logBookJob() const;

private:
    void setUpGrid();
    void queryDay();
    void queryMonth();
    void query(const store::Select& select, const QString& period);
    void showLines(QList<QString> cells);
    void printLogBook();
    void previewLogBook();
    void exportLog();

    store::Store& m_store;
    CurrentSettings& m_settings;
    reports::LogModel* m_lines = nullptr;
    QString m_period; // the day or month of the lines shown, for the export's file name
};
