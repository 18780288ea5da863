#include "BenchReport.h"

#include <QFile>
#include <QJsonArray>
#include <QJsonDocument>
#include <algorithm>
#include <cmath>
#include <numeric>

namespace {
const char *const serverKeys[serverCount] = {"parvel", "minimal", "socat"};

QString number(double value, int decimals)
{
    return std::isnan(value) ? QStringLiteral("n/a") : QString::number(value, 'f', decimals);
}

double ratio(const BenchRow &row, Server reference)
{
    const double base = row.values[reference];
    const double parvel = row.values[ParvelServer];
    if (std::isnan(base) || std::isnan(parvel) || base <= 0)
        return NAN;
    return parvel / base;
}

QString ratioText(double value)
{
    return std::isnan(value) ? QStringLiteral("n/a") : QString::number(value, 'f', 2) + u'x';
}

QString verdict(int met)
{
    return met < 0 ? QString() : met ? QStringLiteral("met") : QStringLiteral("MISSED");
}

QJsonValue jsonNumber(double value)
{
    return std::isnan(value) ? QJsonValue() : QJsonValue(value);
}
} // namespace

Distribution Summarize(std::vector<double> values)
{
    Distribution result;
    if (values.empty())
        return result;
    std::sort(values.begin(), values.end());
    const auto rank = [&values](double share) {
        const auto index = std::size_t(std::ceil(share * double(values.size()))) - 1;
        return values[std::min(index, values.size() - 1)];
    };
    result.count = int(values.size());
    result.p50 = rank(0.50);
    result.p99 = rank(0.99);
    result.max = values.back();
    result.mean = std::accumulate(values.begin(), values.end(), 0.0) / double(values.size());
    return result;
}

QString FormatReport(const BenchReport &report)
{
    QString text;
    const auto line
        = [&text](const QString &figure, const QString &unit, const std::array<QString, 5> &cells,
                  const QString &target, const QString &met) {
              text += figure.leftJustified(42) + unit.leftJustified(5);
              for (const QString &cell : cells)
                  text += cell.rightJustified(10);
              text += QStringLiteral("  ") + target.leftJustified(22) + met + u'\n';
          };
    line(QStringLiteral("figure"), QStringLiteral("unit"),
         {QStringLiteral("Parvel"), QStringLiteral("minimal"), QStringLiteral("socat"),
          QStringLiteral("P/min"), QStringLiteral("P/socat")},
         QStringLiteral("target"), QString());
    text += QString(42 + 5 + 50 + 2 + 28, u'-') + u'\n';
    for (const BenchRow &row : report.rows) {
        line(row.figure, row.unit,
             {number(row.values[ParvelServer], row.decimals),
              number(row.values[MinimalServer], row.decimals),
              number(row.values[SocatServer], row.decimals), ratioText(ratio(row, MinimalServer)),
              ratioText(ratio(row, SocatServer))},
             row.target, verdict(row.met));
    }
    text += QStringLiteral("\nchecks:\n");
    for (const BenchCheck &check : report.checks) {
        text
            += QStringLiteral("  [%1] %2")
                   .arg(check.passed ? QStringLiteral("ok") : QStringLiteral("FAILED"), check.name);
        if (!check.detail.isEmpty())
            text += QStringLiteral(" (") + check.detail + u')';
        text += u'\n';
    }
    for (const QString &observation : report.observations)
        text += QStringLiteral("  [note] ") + observation + u'\n';
    if (!report.notes.isEmpty()) {
        text += QStringLiteral("\nhow it was measured:\n");
        for (const QString &note : report.notes)
            text += QStringLiteral("  - ") + note + u'\n';
    }
    return text;
}

bool WriteReportJson(const BenchReport &report, const QString &path)
{
    QJsonArray rows;
    for (const BenchRow &row : report.rows) {
        QJsonObject values;
        for (int server = 0; server < serverCount; ++server)
            values.insert(QLatin1String(serverKeys[server]), jsonNumber(row.values[server]));
        QJsonObject entry {
            {QStringLiteral("key"), row.key},
            {QStringLiteral("figure"), row.figure},
            {QStringLiteral("unit"), row.unit},
            {QStringLiteral("values"), values},
            {QStringLiteral("ratio_to_minimal"), jsonNumber(ratio(row, MinimalServer))},
            {QStringLiteral("ratio_to_socat"), jsonNumber(ratio(row, SocatServer))},
        };
        if (!row.target.isEmpty()) {
            entry.insert(QStringLiteral("target"), row.target);
            entry.insert(QStringLiteral("met"),
                         row.met < 0 ? QJsonValue() : QJsonValue(row.met == 1));
        }
        rows.append(entry);
    }
    QJsonArray checks;
    for (const BenchCheck &check : report.checks) {
        checks.append(QJsonObject {{QStringLiteral("name"), check.name},
                                   {QStringLiteral("passed"), check.passed},
                                   {QStringLiteral("detail"), check.detail}});
    }
    const QJsonObject root {
        {QStringLiteral("run"), report.run},
        {QStringLiteral("figures"), rows},
        {QStringLiteral("checks"), checks},
        {QStringLiteral("observations"), QJsonArray::fromStringList(report.observations)},
        {QStringLiteral("notes"), QJsonArray::fromStringList(report.notes)},
    };
    QFile file(path);
    if (!file.open(QIODevice::WriteOnly | QIODevice::Truncate))
        return false;
    return file.write(QJsonDocument(root).toJson()) > 0;
}
