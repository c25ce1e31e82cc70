#include "app/JobReport.h"

#include <QFileDevice>
#include <QIODevice>
#include <QJsonArray>
#include <QJsonDocument>
#include <QJsonObject>

namespace qp {

namespace {

QJsonValue time(const QDateTime& at) {
    return at.isValid() ? QJsonValue(at.toUTC().toString(Qt::ISODateWithMs)) : QJsonValue();
}

QJsonValue orNull(bool known, const QJsonValue& value) {
    return known ? value : QJsonValue();
}

} // namespace

QString JobReport::stateName(JobRecord::State state) {
    switch (state) {
    case JobRecord::State::Sent:
        return QStringLiteral("sent");
    case JobRecord::State::Completed:
        return QStringLiteral("completed");
    case JobRecord::State::Aborted:
        return QStringLiteral("aborted");
    case JobRecord::State::Canceled:
        return QStringLiteral("canceled");
    case JobRecord::State::NotPrinted:
        break;
    }
    return QStringLiteral("not-printed");
}

void JobReport::write(const JobRecord& record) {
    if (record.job > 0) {
        ++m_jobs;
        ++m_states[record.state];
    }
    const QJsonObject object{
        {QStringLiteral("file"), record.file},
        {QStringLiteral("worksheet"), orNull(record.worksheet > 0, record.worksheet)},
        {QStringLiteral("destination"), record.destination},
        {QStringLiteral("job"), orNull(record.job > 0, record.job)},
        {QStringLiteral("state"), stateName(record.state)},
        {QStringLiteral("reason"), orNull(!record.reason.isEmpty(), record.reason)},
        {QStringLiteral("pages"), orNull(record.pages >= 0, record.pages)},
        {QStringLiteral("options"), QJsonArray::fromStringList(record.options)},
        {QStringLiteral("started"), time(record.started)},
        {QStringLiteral("sent"), time(record.sent)},
        {QStringLiteral("ended"), time(record.ended)}};
    writeLine(QJsonDocument(object).toJson(QJsonDocument::Compact));
}

void JobReport::write(const RunSummary& summary) {
    QJsonObject object{{QStringLiteral("summary"), true},
                       {QStringLiteral("destination"), summary.destination},
                       {QStringLiteral("entries"), summary.entries},
                       {QStringLiteral("printed"), summary.printed},
                       {QStringLiteral("notPrinted"), summary.notPrinted},
                       {QStringLiteral("jobs"), m_jobs},
                       {QStringLiteral("waited"), summary.waited},
                       {QStringLiteral("exitStatus"), summary.exitStatus},
                       {QStringLiteral("started"), time(summary.started)},
                       {QStringLiteral("ended"), time(summary.ended)}};
    for (const JobRecord::State state : {JobRecord::State::Sent, JobRecord::State::Completed,
                                         JobRecord::State::Aborted, JobRecord::State::Canceled})
        object.insert(stateName(state), m_states.value(state));
    writeLine(QJsonDocument(object).toJson(QJsonDocument::Compact));
}

void JobReport::writeLine(const QByteArray& json) {
    m_out.write(json + '\n');
    // A reader following the file (tail -f, a pipe) sees each job as it is known.
    if (auto* file = qobject_cast<QFileDevice*>(&m_out))
        file->flush();
}

} // namespace qp
