#include "settings/DeskPrinter.h"

#include "common/Log.h"
#include "printing/PrintJob.h"
#include "store/PrinterChoice.h"

DeskPrinter printerForJob(store::Store& store, QWidget* parent)
{
    const printing::Printers printers = printing::installedPrinters();
    const printing::PrinterPick pick = printing::pickPrinter(store::readPrinterChoice(store).value_or(QString()), printers);
    if (!pick.ask) {
        if (pick.name.isEmpty())
            qCWarning(lcSettings) << "no printer installed: nothing printed";
        return {pick.name};
    }
    const QString chosen = printing::askForPrinter(parent);
    if (chosen.isEmpty() || !printers.names.contains(chosen)) {
        qCInfo(lcSettings) << "no printer chosen: nothing printed";
        return {QString(), true};
    }
    if (!store::writePrinterChoice(store, chosen))
        qCWarning(lcSettings) << "the chosen printer is used but not kept: 设置.dat cannot be written";
    return {chosen};
}

QString printerForPreview(store::Store& store)
{
    return printing::pickPrinter(store::readPrinterChoice(store).value_or(QString()), printing::installedPrinters()).name;
}
