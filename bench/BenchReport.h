#pragma once

#include <QJsonObject>
#include <QList>
#include <QString>
#include <QStringList>
#include <array>
#include <vector>

struct Distribution
{
    int count = 0;
    double p50 = 0;
    double p99 = 0;
    double max = 0;
    double mean = 0;
};
// Nearest-rank percentiles.
Distribution Summarize(std::vector<double> values);

enum Server { ParvelServer, MinimalServer, SocatServer, serverCount };

struct BenchRow
{
    QString key; // the figure's name in the JSON
    QString figure;
    QString unit;
    int decimals = 1;
    // One value per server; NaN where the figure does not apply or was not measured.
    std::array<double, serverCount> values;
    QString target; // empty when the figure has no target
    int met = -1; // 1 met, 0 missed, -1 no target or not decidable
};

struct BenchCheck
{
    QString name;
    bool passed = false;
    QString detail;
};

struct BenchReport
{
    QList<BenchRow> rows;
    QList<BenchCheck> checks;
    QStringList observations; // what happened in this run that the figures alone do not say
    QStringList notes;
    QJsonObject run;
};

// The table with every figure's ratio to the minimal server and to socat, then the checks.
QString FormatReport(const BenchReport &report);
bool WriteReportJson(const BenchReport &report, const QString &path);
