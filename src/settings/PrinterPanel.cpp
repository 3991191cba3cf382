#include "settings/PrinterPanel.h"

#include "common/Log.h"
#include "printing/PrintJob.h"
#include "store/PrinterChoice.h"

#include <QComboBox>
#include <QHBoxLayout>
#include <QLabel>

PrinterPanel::PrinterPanel(store::Store& store, QWidget* parent)
    : QGroupBox(QStringLiteral("打印机"), parent)
    , m_store(store)
{
    setObjectName(QStringLiteral("PrinterFrame"));
    printerList = new QComboBox(this);
    printerList->setObjectName(QStringLiteral("PrinterList"));
    // Out of the window's Tab chain, which stays as it always was; Alt+P reaches it.
    printerList->setFocusPolicy(Qt::ClickFocus);
    auto* label = new QLabel(QStringLiteral("本机打印到(&P)："), this);
    label->setBuddy(printerList);
    auto* row = new QHBoxLayout(this);
    row->addWidget(label);
    row->addWidget(printerList, 1);
}

void PrinterPanel::load()
{
    const std::optional<QString> kept = store::readPrinterChoice(m_store);
    if (!kept)
        qCWarning(lcSettings) << "the kept printer could not be read";
    m_shown = kept.value_or(QString());
    const printing::Printers printers = printing::installedPrinters();
    printerList->clear();
    printerList->addItem(printers.systemDefault.isEmpty()
                             ? QStringLiteral("由系统决定")
                             : QStringLiteral("系统默认打印机（%1）").arg(printers.systemDefault),
                         QString());
    for (const QString& name : printers.names)
        printerList->addItem(name, name);
    if (!m_shown.isEmpty() && !printers.names.contains(m_shown))
        printerList->addItem(QStringLiteral("%1（未安装）").arg(m_shown), m_shown);
    printerList->setCurrentIndex(std::max(0, printerList->findData(m_shown)));
}

QString PrinterPanel::chosen() const { return printerList->currentData().toString(); }

bool PrinterPanel::save()
{
    if (chosen() == m_shown)
        return true;
    if (!store::writePrinterChoice(m_store, chosen()))
        return false;
    m_shown = chosen();
    return true;
}
