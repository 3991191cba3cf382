// qarvel_generate <program folder> <records> [seed]
// Writes a clinic's worth of made-up data into <program folder>/数据库 (see Generate.h).

#include "bench/Generate.h"
#include "store/Store.h"

#include <QCoreApplication>
#include <QElapsedTimer>
#include <QFileInfo>
#include <cstdio>

int main(int argc, char* argv[])
{
    QCoreApplication app(argc, argv);
    const QStringList args = QCoreApplication::arguments();
    bool sizeOk = false;
    bool seedOk = true;
    const int records = args.size() >= 3 ? args.at(2).toInt(&sizeOk) : 0;
    const quint32 seed = args.size() >= 4 ? args.at(3).toUInt(&seedOk) : 20251231u;
    if (args.size() < 3 || args.size() > 4 || !sizeOk || records < 1 || !seedOk) {
        std::fprintf(stderr, "usage: qarvel_generate <program folder> <records> [seed]\n");
        return 2;
    }

    QElapsedTimer timer;
    timer.start();
    bench::ClinicSummary summary;
    QString error;
    if (!bench::generateClinic(args.at(1), records, seed, &summary, &error)) {
        std::fprintf(stderr, "qarvel_generate: %s\n", qPrintable(error));
        return 1;
    }
    const store::Store store(args.at(1));
    std::printf("records %lld (%s .. %s), drugs %d, diagnoses %d, addresses %d, templates %d\n", summary.records,
                qPrintable(summary.firstDay.toString(Qt::ISODate)), qPrintable(summary.lastDay.toString(Qt::ISODate)),
                summary.drugs, summary.diagnoses, summary.addresses, summary.templates);
    std::printf("档案.dat %lld bytes, 设置.dat %lld bytes, made in %.1f s\n", QFileInfo(store.recordsPath()).size(),
                QFileInfo(store.settingsPath()).size(), timer.elapsed() / 1000.0);
    return 0;
}
