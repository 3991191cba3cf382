#include "store/Templates.h"

#include "common/Log.h"
#include "store/Records.h"
#include "store/Schema.h"
#include "store/Store.h"

#include <QFile>
#include <QFileInfo>
#include <cstdio>
#include <fcntl.h>
#include <unistd.h>

namespace store {

namespace {

struct Pair {
    const char16_t* name;
    const char16_t* initials;
};

// Shipped exactly as listed, trailing blanks and odd keys included: they are what the first
// lookups of a new clinic find.
constexpr Pair drugs[] = {
    {u"阿莫西林片 0.25×24/0.5 bid", u"amxlp"},
    {u"维生素C针 2.0", u"wssz"},
    {u"10%氯化钾针 10ml", u"lhjz"},
    {u"奥美拉唑片1 10mg×7/10mg qd", u"amlzp  "},
    {u"5%葡萄糖注射液 500ml", u"pttzsy"},
    {u"阿斯匹林片 25mg×100/100mg qd", u"asplp"},
    {u"阿奇霉素片 6#/2# qd", u"aqmsp"},
    {u"维生素B6针 0.2", u"wssb"},
    {u"0.9%生理盐水针 500ml", u"slysz"},
    {u"0.9%生理盐水针 100ml", u"slysz"},
    {u"阿奇霉素针 0.5", u"aqmsz"},
    {u"头孢呋辛钠针 2.25", u"tbfxnz "},
    {u"爱喘乐气雾剂 1瓶/2喷 吸入 tid", u"aclqwj"},
    {u"消炎痛栓 3#/1# 塞肛 prn", u"xyts"},
    {u"硝苯地平缓释片 10mg×1合/10mg bid", u"xbdphsp"},
    {u"吗丁啉片 10mg×30/10mg tid", u"mdlp "},
    {u"20%甘露醇针 250ml", u"glcz "},
    {u"安乃近片 0.5×3/0.5 prn", u"anjp "},
    {u"青霉素钠盐 960万", u"qmsny "},
    {u"倍他乐克片 25mg×20/25mg bid", u"btlkp "},
    {u"罗红霉素片 0.15×6/0.15 bid", u"lhmsp "},
};

constexpr Pair diagnoses[] = {
    {u"高血压病", u"gd1aayb"},
    {u"急性支气管炎", u"jxzqgy"},
    {u"慢性胃炎", u"mxwy"},
    {u"糖尿病", u"tnb"},
    {u"上呼吸道感染", u"shxdgr"},
    {u"急性肠炎", u"jxcy"},
    {u"腹痛待查", u"ftdc"},
    {u"发热待查", u"frdc"},
    {u"心律失常", u"xlsc"},
    {u"高脂血症", u"gzd1aaz"},
    {u"心功能不全", u"xgnbq"},
    {u"头痛", u"tt"},
    {u"肝炎", u"gy"},
    {u"眩晕", u"d1a3y"},
    {u"外伤", u"ws"},
    {u"胸痛", u"xt"},
    {u"美尼尔氏综合征", u"mneszhz"},
    {u"待查", u"dc"},
    {u"高脂血症", u"gzxz"},
    {u"肺结核", u"fjh"},
    {u"肺炎", u"fy"},
};

QString s(const char16_t* text) { return QString::fromUtf16(text); }

// The rich-text form of a two-line sample prescription, as the prescription box stores it.
QString samplePrescription()
{
    return QStringLiteral(
        "{\\rtf1\\ansi\\deff0{\\fonttbl{\\f0\\fnil\\fcharset134 \\'cb\\'ce\\'cc\\'e5;}}\r\n"
        "\\viewkind4\\uc1\\pard\\lang2052\\f0\\fs18 "
        "\\'b0\\'a2\\'c4\\'aa\\'ce\\'f7\\'c1\\'d6\\'c6\\'ac 0.25\\'a1\\'c124\r\n"
        "\\par     \\'d3\\'c3\\'b7\\'a8\\'a3\\'ba0.5 bid\r\n"
        "\\par }");
}

bool fillRecords(CipherConnection& db)
{
    PatientRecord sample;
    sample.key = QStringLiteral("2026-01-01 08:00:00");
    sample.name = QStringLiteral("示例");
    sample.sex = QStringLiteral("男");
    sample.age = QStringLiteral("30");
    sample.date = QStringLiteral("2026-01-01");
    sample.diagnosis = QStringLiteral("上呼吸道感染");
    sample.address = QStringLiteral("城关镇");
    sample.prescription = samplePrescription();
    sample.doctor = QStringLiteral("医生");
    sample.dispenser = QStringLiteral("药师");
    sample.fee = Money::fromUnits(125000);
    return Store::insert(&db, RecordsTable, sample.toRow())
        && Store::insert(&db, PasswordTable, {factoryPassword()});
}

bool fillSettings(CipherConnection& db)
{
    for (const Pair& drug : drugs)
        if (!Store::insert(&db, DrugTable, {s(drug.initials), s(drug.name)}))
            return false;
    for (const Pair& diagnosis : diagnoses)
        if (!Store::insert(&db, DiagnosisTable, {s(diagnosis.name), s(diagnosis.initials)}))
            return false;
    if (!Store::insert(&db, AddressTable, {QStringLiteral("城关镇"), QStringLiteral("cgz")}))
        return false;
    SettingsRow row;
    row.doctor = QStringLiteral("医生");
    row.topOffset = row.leftOffset = row.cardTop = row.cardLeft = QStringLiteral("0");
    row.dispenser = QStringLiteral("药师");
    row.clinicName = QStringLiteral("Qarvel诊所");
    return bool(Store::insert(&db, SettingsTable, row.toRow()));
}

bool syncFile(const QString& path)
{
    const int fd = ::open(QFile::encodeName(path).constData(), O_RDONLY);
    if (fd < 0)
        return false;
    const bool ok = ::fsync(fd) == 0;
    ::close(fd);
    return ok;
}

bool create(const QString& path, const QByteArray& password, std::span<const Table* const> tables,
            bool (*fill)(CipherConnection&))
{
    if (QFileInfo::exists(path))
        return false;
    const QString temporary = path + QStringLiteral(".new");
    bool ok = writeDatabaseFile(temporary, password, tables, fill);
    // link() refuses to replace an existing file, so a file that appeared meanwhile is kept.
    ok = ok && syncFile(temporary)
        && ::link(QFile::encodeName(temporary).constData(), QFile::encodeName(path).constData()) == 0;
    QFile::remove(temporary);
    QFile::remove(temporary + QStringLiteral("-journal")); // left by a write that failed
    if (!ok)
        qCWarning(lcStore) << "cannot create" << path;
    return ok;
}

} // namespace

bool writeDatabaseFile(const QString& temporary, const QByteArray& password, std::span<const Table* const> tables,
                       const std::function<bool(CipherConnection&)>& fill, QString* why)
{
    QFile::remove(temporary); // left over from a run that was interrupted
    QFile::remove(temporary + QStringLiteral("-journal"));
    QString error;
    auto db = CipherConnection::create(temporary, password, &error);
    bool ok = db && db->execute(QStringLiteral("BEGIN"));
    for (const Table* table : tables) {
        ok = ok && db->execute(createTableSql(*table));
        for (const QString& index : createIndexSql(*table))
            ok = ok && db->execute(index);
    }
    ok = ok && fill(*db) && db->execute(QStringLiteral("COMMIT"));
    if (!ok && why)
        *why = db ? db->lastError() : error;
    return ok;
}

QString factoryPassword() { return QStringLiteral("qarvel"); }

bool createRecordsFile(const QString& path)
{
    return create(path, Store::recordsPassword(), recordsFileTables(), fillRecords);
}

bool createSettingsFile(const QString& path)
{
    return create(path, Store::settingsPassword(), settingsFileTables(), fillSettings);
}

} // namespace store
