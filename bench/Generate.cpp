#include "bench/Generate.h"

#include "formats/PrescriptionText.h"
#include "pinyin/Pinyin.h"
#include "store/PrescriptionTemplates.h"
#include "store/Records.h"
#include "store/Store.h"
#include "store/Templates.h"

#include <QDir>
#include <QFileInfo>
#include <QSet>
#include <QStringList>
#include <QTime>
#include <cmath>
#include <vector>

namespace bench {

namespace {

// splitmix64: tiny, and unlike the standard distributions it draws the same numbers with every
// compiler and library, so a seed names one data set everywhere.
class Random
{
public:
    explicit Random(quint64 seed) : m_state(seed) {}

    quint64 next()
    {
        quint64 z = (m_state += 0x9E3779B97F4A7C15ull);
        z = (z ^ (z >> 30)) * 0xBF58476D1CE4E5B9ull;
        z = (z ^ (z >> 27)) * 0x94D049BB133111EBull;
        return z ^ (z >> 31);
    }
    // 0 .. n - 1
    int below(int n) { return int((unsigned __int128)next() * quint64(n) >> 64); }
    int between(int low, int high) { return low + below(high - low + 1); }
    double unit() { return double(next() >> 11) * 0x1.0p-53; }
    bool chance(double p) { return unit() < p; }
    // Index into a list whose first entries are the common ones: a handful of diagnoses,
    // drugs and villages make up most visits, as they do in a real clinic.
    int skewed(int n, double power) { return std::min(n - 1, int(n * std::pow(unit(), power))); }

    template <typename T>
    const T& pick(const std::vector<T>& items) { return items[size_t(below(int(items.size())))]; }

private:
    quint64 m_state;
};

std::vector<QString> chars(const char* utf8)
{
    std::vector<QString> out;
    for (const QString& part : QString::fromUtf8(utf8).split(QLatin1Char(' '), Qt::SkipEmptyParts))
        out.push_back(part);
    return out;
}

// --- Pools -------------------------------------------------------------------------------

// Surnames in rough order of frequency.
const std::vector<QString> Surnames = chars(
    "王 李 张 刘 陈 杨 黄 赵 吴 周 徐 孙 马 朱 胡 郭 何 高 林 罗 郑 梁 谢 宋 唐 许 韩 冯 邓 曹 彭 曾 肖 田 董 "
    "袁 潘 于 蒋 蔡 余 杜 叶 程 苏 魏 吕 丁 任 沈 姚 卢 姜 崔 钟 谭 陆 汪 范 金 石 廖 贾 夏 韦 付 方 白 邹 孟 "
    "熊 秦 邱 江 尹 薛 段 雷 侯 龙 史 陶 黎 贺 顾 毛 郝 龚 邵 万 钱 严 武 戴 莫 孔 向 汤 欧阳 司马");

const std::vector<QString> GivenNameChars = chars(
    "伟 芳 娜 秀 英 敏 静 丽 强 磊 军 洋 勇 艳 杰 娟 涛 明 超 霞 平 刚 桂 兰 玉 华 红 建 国 文 辉 鹏 飞 燕 "
    "萍 海 波 宇 浩 亮 林 斌 婷 雪 梅 琳 晶 欣 慧 佳 丹 玲 志 春 凤 云 龙 德 成 新 永 金 宏 荣 庆 东 晓 小 俊 "
    "峰 毅 健 彬 嘉 子 梓 涵 思 雨 轩 博 一 诺 欢 乐 琴 珍 莉 桃 菊 翠 淑 素 宝 福 贵 生 祥 才 发 山 水 兵 "
    "民 良 义 仁 忠 孝 立 秋 冬 夏 月 星 阳 光 正 清 和 顺 安 康");

const std::vector<QString> DrugSyllables = chars(
    "阿 莫 西 林 头 孢 克 布 洛 芬 氨 罗 红 霉 素 左 氧 氟 沙 星 甲 硝 唑 替 奥 美 拉 雷 尼 丁 多 潘 立 "
    "酮 苯 地 平 卡 托 普 利 依 那 马 来 酸 舒 必 维 生 葡 萄 糖 氯 化 钾 钠 塞 米 松 泼 龙 异 丙 海 明 呋 "
    "格 列 二 双 辛 伐 他 汀 复 方 甘 草 板 蓝 根 感 冒 清 热 解 毒 连 花 银 翘 黄 芩 柴 胡 丹 参 当 归 "
    "益 母 贝 诺 德 特 非 奈 司 达 赛 泰 康 宁 安 乐 通 灵 速 迪 凯 欣");
const std::vector<QString> DrugPrefixes = chars("复方 盐酸 注射用 小儿 硫酸 醋酸 枸橼酸");
const std::vector<QString> DrugForms =
    chars("片 胶囊 颗粒 针 注射液 口服液 缓释片 肠溶片 分散片 软膏 滴眼液 糖浆 丸 气雾剂 栓");
const std::vector<QString> DrugStrengths = chars(
    "0.25×24 0.5×12 10mg×7 20mg×14 5mg×20 100mg×30 0.1×100 25mg×100 0.15×6 250ml 500ml 100ml 2ml×5 "
    "10ml 1.0 2.0 0.5 960万 6# 12# 1瓶 1支");
const std::vector<QString> DrugUsages = chars(
    "0.5_tid 0.25_bid 10mg_qd 20mg_bid 5mg_tid 1#_tid 2#_bid 2#_qd 1支_qd 10ml_tid 5ml_tid 1袋_tid "
    "外用_bid 1粒_qn 0.5_prn 2喷_tid 3#_st");

const std::vector<QString> DiagnosisQualifiers = chars(
    "急性 慢性 亚急性 复发性 原发性 继发性 轻度 中度 重度 左侧 右侧 双侧 单纯性 过敏性 感染性 病毒性 "
    "细菌性 反流性 萎缩性 浅表性 糜烂性 出血性 良性 功能性 老年性 小儿");
const std::vector<QString> DiagnosisOrgans = chars(
    "支气管 胃 十二指肠 结肠 肝 胆囊 胰腺 肾 膀胱 前列腺 咽 喉 扁桃体 鼻窦 中耳 结膜 角膜 皮肤 关节 腰椎 "
    "颈椎 肩周 膝关节 心肌 冠状动脉 脑血管 甲状腺 乳腺 子宫 输尿管 尿道 口腔 牙龈 舌 食管 腮腺 淋巴结 肺 "
    "胸膜 气管 面神经 坐骨神经 肋间神经 踝关节 腕关节 足跟 头皮 毛囊 甲沟 鼻");
const std::vector<QString> DiagnosisConditions = chars(
    "炎 痛 溃疡 结石 感染 损伤 综合征 功能紊乱 出血 增生 囊肿 息肉 水肿 痉挛 扭伤 劳损 病变 肿大 脓肿 狭窄");

const std::vector<QString> PlaceFirst = chars(
    "东 西 南 北 新 大 小 白 黄 青 石 马 李 王 张 高 杨 柳 桃 河 山 龙 凤 金 银 安 平 长 永 兴 太 和 "
    "福 双 三 五 八 沙 古 红 花 梨 枣 松 竹 梅 牛 羊 鸡 官 陈 刘");
const std::vector<QString> PlaceSecond = chars(
    "关 桥 庄 湾 坪 岭 塘 沟 口 集 营 店 铺 寨 港 堡 坝 埠 林 园 田 家 溪 阳 泉 水 河 山 头 岗");

const std::vector<QString> Doctors = chars("张医生 李建国 王秀英 刘明");
const std::vector<QString> Dispensers = chars("赵药师 陈芳 孙丽");

QString word(Random& random, const std::vector<QString>& pool, int low, int high)
{
    QString out;
    for (int n = random.between(low, high); n > 0; --n)
        out += random.pick(pool);
    return out;
}

// --- Dictionaries --------------------------------------------------------------------------

QString drugName(Random& random)
{
    QString name;
    if (random.chance(0.15))
        name += random.pick(DrugPrefixes);
    name += word(random, DrugSyllables, 2, 4) + random.pick(DrugForms) + QLatin1Char(' ')
        + random.pick(DrugStrengths);
    // Most entries carry their usage after a "/", which the prescription turns into a usage line.
    if (random.chance(0.7))
        name += QLatin1Char('/') + QString(random.pick(DrugUsages)).replace(QLatin1Char('_'), QLatin1Char(' '));
    return name;
}

QString diagnosisName(Random& random)
{
    QString name;
    if (random.chance(0.7))
        name += random.pick(DiagnosisQualifiers);
    return name + random.pick(DiagnosisOrgans) + random.pick(DiagnosisConditions);
}

QString addressName(Random& random)
{
    QString name = random.pick(PlaceFirst) + random.pick(PlaceSecond)
        + (random.chance(0.8) ? QStringLiteral("镇") : QStringLiteral("乡")) + random.pick(PlaceFirst)
        + random.pick(PlaceSecond) + QStringLiteral("村");
    if (random.chance(0.3))
        name += QString::number(random.between(1, 12)) + QStringLiteral("组");
    return name;
}

// Tops a dictionary up to `total` distinct names with their pinyin keys, as the dictionary
// windows store them.
bool fillDictionary(store::Connection* db, const store::Table& table, const store::Select& all, int total,
                    Random& random, QString (*make)(Random&), std::vector<QString>& names)
{
    const QStringList stored = store::readNames(db, all);
    names.assign(stored.begin(), stored.end());
    QSet<QString> seen(names.begin(), names.end());
    int attempts = 0;
    while (int(names.size()) < total) {
        if (++attempts > total * 50)
            return false; // the pools are too small for this many distinct names
        const QString name = make(random);
        if (seen.contains(name))
            continue;
        store::DictionaryEntry entry;
        entry.name = name;
        entry.initials = PinyinInitials(name);
        if (!store::Store::insert(db, table, entry.toRow(table)))
            return false;
        seen.insert(name);
        names.push_back(name);
    }
    return true;
}

// --- Records -------------------------------------------------------------------------------

struct Dictionaries {
    std::vector<QString> drugs, diagnoses, addresses;
};

QString patientName(Random& random)
{
    // Common surnames far more often than rare ones; given names of one or two characters.
    QString name = Surnames[size_t(random.skewed(int(Surnames.size()), 2.0))];
    name += random.pick(GivenNameChars);
    if (name.size() < 3 && random.chance(0.65))
        name += random.pick(GivenNameChars);
    return name;
}

QString age(Random& random)
{
    if (random.chance(0.03))
        return QString::number(random.between(1, 11)) + QStringLiteral("月");
    return QString::number(random.between(1, 90));
}

// The box text as the drug list builds it: each picked drug on its line, its usage after a "/"
// moved to a line of its own, and a line break after every drug.
QString prescriptionText(Random& random, const std::vector<QString>& drugs)
{
    QString text;
    for (int n = random.between(3, 8); n > 0; --n) {
        QString drug = drugs[size_t(random.skewed(int(drugs.size()), 2.5))];
        drug.replace(QLatin1Char('/'), QStringLiteral("\r\n    用法："));
        text += drug + QStringLiteral("\r\n");
    }
    return text;
}

// A doctor's own templates: a diagnosis's name and a number, with the drugs of a visit; they
// share their initials' start with the drugs, so a keystroke finds both.
bool fillTemplates(store::Connection* db, Random& random, const std::vector<QString>& drugs, int total)
{
    for (int i = 1; i <= total; ++i) {
        store::TemplateEntry entry;
        entry.name = diagnosisName(random) + QString::number(i) + QStringLiteral("方");
        entry.initials = PinyinInitials(entry.name);
        entry.text = prescriptionText(random, drugs);
        if (!store::Store::insert(db, store::TemplateTable, entry.toRow()))
            return false;
    }
    return true;
}

// Between 5 and 505 yuan, whole, to the jiao or to the fen in equal shares.
store::Money fee(Random& random)
{
    qint64 cents = random.between(500, 50500);
    switch (random.below(3)) {
    case 0: cents -= cents % 100; break;
    case 1: cents -= cents % 10; break;
    default: break;
    }
    return store::Money::fromUnits(cents * (store::Money::UnitsPerYuan / 100));
}

// Visits per day, latest day first, until `records` are reached; the earliest day takes what
// is left over.
std::vector<int> visitsPerDay(Random& random, int records)
{
    std::vector<int> days;
    int total = 0;
    while (total < records) {
        const int visits = std::min(random.between(20, 60), records - total);
        days.push_back(visits);
        total += visits;
    }
    return days;
}

bool fillRecords(store::Connection* db, int records, Random& random, const Dictionaries& dictionaries,
                 ClinicSummary& summary)
{
    // The template's sample visit would sit before the oldest generated one with a key from its
    // own year; a clinic deletes it, and so do we, so keys follow the row order throughout.
    if (store::Store::deleteFirst(db, store::statements::allRecords()) != store::Deleted::One)
        return false;

    const std::vector<int> days = visitsPerDay(random, records);
    QDate day = ClinicLastDay.addDays(1 - qint64(days.size()));
    summary.firstDay = day;
    for (auto visits = days.rbegin(); visits != days.rend(); ++visits, day = day.addDays(1)) {
        const QString date = day.toString(QStringLiteral("yyyy-MM-dd"));
        // Surgery hours are eight to six; each visit falls somewhere in its own slot of them, so
        // the keys of a day increase one visit after another.
        const int slot = 10 * 3600 / *visits;
        for (int v = 0; v < *visits; ++v) {
            const int second = 8 * 3600 + v * slot + random.below(slot);
            store::PatientRecord r;
            r.key = date + QLatin1Char(' ') + QTime(0, 0).addSecs(second).toString(QStringLiteral("HH:mm:ss"));
            r.name = patientName(random);
            r.sex = random.chance(0.5) ? QStringLiteral("男") : QStringLiteral("女");
            r.age = age(random);
            r.date = date;
            r.diagnosis = dictionaries.diagnoses[size_t(random.skewed(int(dictionaries.diagnoses.size()), 3.0))];
            r.address = dictionaries.addresses[size_t(random.skewed(int(dictionaries.addresses.size()), 2.0))];
            r.prescription = prescription::toStoredRtf(prescriptionText(random, dictionaries.drugs));
            r.doctor = random.pick(Doctors);
            r.dispenser = random.pick(Dispensers);
            r.fee = fee(random);
            if (!store::Store::insert(db, store::RecordsTable, r.toRow()))
                return false;
            ++summary.records;
        }
    }
    summary.lastDay = day.addDays(-1);
    return true;
}

bool fail(QString* error, const QString& why)
{
    if (error)
        *error = why;
    return false;
}

} // namespace

bool generateClinic(const QString& programFolder, int records, quint32 seed, ClinicSummary* summary,
                    QString* error)
{
    if (records < 1)
        return fail(error, QStringLiteral("at least one record is needed"));
    store::Store store(programFolder);
    if (QFileInfo::exists(store.recordsPath()) || QFileInfo::exists(store.settingsPath()))
        return fail(error, QStringLiteral("%1 already holds database files").arg(store.dataFolder()));
    if (!QDir().mkpath(store.dataFolder()) || !store::createRecordsFile(store.recordsPath())
        || !store::createSettingsFile(store.settingsPath()))
        return fail(error, QStringLiteral("cannot create the template files in %1").arg(store.dataFolder()));

    ClinicSummary made;
    Dictionaries dictionaries;
    // The dictionaries draw from a stream of their own, so every size shares the same ones.
    Random dictionaryRandom(quint64(seed) * 2 + 1);
    store::Connection* settings = store.settings();
    if (!settings || !settings->execute(QStringLiteral("BEGIN")))
        return fail(error, QStringLiteral("cannot open %1").arg(store.settingsPath()));
    if (!fillDictionary(settings, store::DrugTable, store::statements::allDrugs(), ClinicDrugs, dictionaryRandom,
                        drugName, dictionaries.drugs)
        || !fillDictionary(settings, store::DiagnosisTable, store::statements::allDiagnoses(), ClinicDiagnoses,
                           dictionaryRandom, diagnosisName, dictionaries.diagnoses)
        || !fillDictionary(settings, store::AddressTable, store::statements::allAddresses(), ClinicAddresses,
                           dictionaryRandom, addressName, dictionaries.addresses))
        return fail(error, QStringLiteral("cannot fill %1").arg(store.settingsPath()));
    // From a stream of their own, so the other dictionaries stay as they were before them.
    Random templateRandom(quint64(seed) * 2 + 3);
    if (!fillTemplates(settings, templateRandom, dictionaries.drugs, ClinicTemplates)
        || !settings->execute(QStringLiteral("COMMIT")))
        return fail(error, QStringLiteral("cannot fill %1").arg(store.settingsPath()));
    made.drugs = int(dictionaries.drugs.size());
    made.diagnoses = int(dictionaries.diagnoses.size());
    made.addresses = int(dictionaries.addresses.size());
    made.templates = ClinicTemplates;

    Random recordRandom(quint64(seed) * 2);
    store::Connection* recordsDb = store.records();
    if (!recordsDb || !recordsDb->execute(QStringLiteral("BEGIN")))
        return fail(error, QStringLiteral("cannot open %1").arg(store.recordsPath()));
    if (!fillRecords(recordsDb, records, recordRandom, dictionaries, made)
        || !recordsDb->execute(QStringLiteral("COMMIT")))
        return fail(error, QStringLiteral("cannot fill %1").arg(store.recordsPath()));

    if (summary)
        *summary = made;
    return true;
}

} // namespace bench
