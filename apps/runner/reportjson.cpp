#include "reportjson.h"

#include "kavatmenums.h"
#include "kavatmtestactionresult.h"

#include <QtCore/QFileInfo>
#include <QtCore/QJsonArray>

namespace ReportJson {

Verdict ActionVerdict(const QJsonObject &action)
{
    if (action.value(QLatin1String("status")).toInt() != KAVAtmEnums::Completed)
        return Verdict::NotRun;
    switch (action.value(QLatin1String("result")).toInt()) {
    case KAVAtmEnums::Pass:
        return Verdict::Pass;
    case KAVAtmEnums::Warning:
        return Verdict::Warning;
    case KAVAtmEnums::Fail:
        return Verdict::Fail;
    default:
        return Verdict::NotRun;
    }
}

bool ProcedurePassed(const QJsonObject &procedure)
{
    const QJsonArray actions = procedure.value(QLatin1String("actionResults")).toArray();
    return std::all_of(actions.begin(), actions.end(), [](const QJsonValue &action) {
        const Verdict verdict = ActionVerdict(action.toObject());
        return verdict == Verdict::Pass || verdict == Verdict::Warning;
    });
}

QString ProcedureName(const QJsonObject &procedure)
{
    const QString name = procedure.value(QLatin1String("name")).toString();
    const QString label = procedure.value(QLatin1String("label")).toString();
    if (!name.isEmpty())
        return name;
    return label.isEmpty() ? QStringLiteral("(no procedure)") : label;
}

QString ActionTitle(const QJsonObject &action)
{
    const QString name = action.value(QLatin1String("name")).toString();
    const QString type = action.value(QLatin1String("actionType")).toString();
    return name.isEmpty() ? type : QStringLiteral("%1 (%2)").arg(name, type);
}

QDateTime Time(const QJsonValue &text)
{
    QDateTime time = QDateTime::fromString(text.toString(), KAVAtmTestActionResult::TimeFormat);
    time.setTimeSpec(Qt::UTC);
    return time;
}

double Seconds(const QJsonObject &item)
{
    const QDateTime start = Time(item.value(QLatin1String("startTime")));
    const QDateTime end = Time(item.value(QLatin1String("endTime")));
    return start.isValid() && end.isValid() ? qMax<qint64>(0, start.msecsTo(end)) / 1000.0 : 0.0;
}

bool ShardOrder(const QString &fileA, const QString &fileB)
{
    const QFileInfo a(fileA), b(fileB);
    return a.fileName() != b.fileName() ? a.fileName() < b.fileName()
                                        : a.absoluteFilePath() < b.absoluteFilePath();
}

} // namespace ReportJson
