#include "lib/ResponseRulesFile.h"

#include "lib/modFileLib.h"
#include "lib/modLogging.h"
#include "lib/modUtility.h"

#include <QFile>
#include <QFileInfo>
#include <QSaveFile>

namespace {
// 64 rules of the longest texts take under 1 MiB; more is not a rules file.
constexpr qint64 maxFileBytes = 4 * 1024 * 1024;
const QString arrow = QStringLiteral("->");

// The first word of text from index on; index moves past it.
QString NextWord(const QString &text, qsizetype &index)
{
    while (index < text.size() && text.at(index).isSpace())
        ++index;
    const qsizetype start = index;
    while (index < text.size() && !text.at(index).isSpace())
        ++index;
    return text.mid(start, index - start);
}

// One line's rule; the reason it cannot be read otherwise.
QString ReadRuleLine(const QString &line, ResponseRule &rule)
{
    qsizetype index = 0;
    const QString onOff = NextWord(line, index).toLower();
    if (onOff != QLatin1String("on") && onOff != QLatin1String("off"))
        return QStringLiteral("行の始めが on でも off でもありません。");
    rule.on = onOff == QLatin1String("on");
    const QString kind = NextWord(line, index);
    if (!RuleKindFromWord(kind, rule.kind))
        return QStringLiteral("条件「%1」は equals, starts, ends, contains のどれでもありません。")
            .arg(kind);
    const qsizetype arrowAt = line.indexOf(arrow, index);
    if (arrowAt < 0)
        return QStringLiteral("受信パターンと応答データの間に「->」がありません。");
    rule.pattern = line.mid(index, arrowAt - index).trimmed();
    rule.reply = line.mid(arrowAt + arrow.size()).trimmed();
    CompiledRule compiled;
    const RuleFault fault = compiled.compile(rule);
    return fault.isFault() ? DescribeRuleFault({}, fault, rule) : QString();
}

// A text in its kept form when it reads, else as written on one line.
QString KeptText(const QString &text, HexExtras extras)
{
    const HexText parsed = ParseHexText(text, extras, maxRuleBytes);
    return parsed.isValid() ? FormatHexText(parsed) : text.simplified();
}
} // namespace

QString ResponseRulesFile()
{
    return AddPathSeparator(strConfigDir) + QStringLiteral("Kiv_TcpRecvRules.txt");
}

QStringList ResponseRulesRead::logLines() const
{
    QStringList lines;
    if (!error.isEmpty())
        lines.append(QStringLiteral("応答ルールファイルを読めませんでした。") + error);
    for (const SkippedRuleLine &skip : skipped)
        lines.append(QStringLiteral("応答ルールファイルの%1行目を読み飛ばしました。%2")
                         .arg(skip.line)
                         .arg(skip.reason));
    return lines;
}

ResponseRulesRead ReadResponseRules(const QString &file)
{
    ResponseRulesRead read;
    const QFileInfo info(file);
    if (!info.exists())
        return read;
    // A FIFO or a device would hold start-up; only a regular file is read.
    if (!info.isFile()) {
        read.error = QStringLiteral("通常のファイルではありません。");
        return read;
    }
    if (info.size() > maxFileBytes) {
        read.error = QStringLiteral("ファイルが大きすぎます。");
        return read;
    }
    QFile input(file);
    if (!input.open(QIODevice::ReadOnly)) {
        read.error = input.errorString();
        return read;
    }
    QByteArray content = input.read(maxFileBytes);
    if (content.startsWith("\xEF\xBB\xBF")) // a byte-order mark some editors write
        content.remove(0, 3);
    const QList<QByteArray> lines = content.split('\n');
    for (qsizetype number = 1; number <= lines.size(); ++number) {
        // Trimming takes the CR of a CR LF line too.
        const QString line = QString::fromUtf8(lines.at(number - 1)).trimmed();
        if (line.isEmpty() || line.startsWith(u'#'))
            continue;
        ResponseRule rule;
        QString reason = ReadRuleLine(line, rule);
        if (reason.isEmpty() && read.rules.size() == maxResponseRules)
            reason = QStringLiteral("ルールは%1件までです。").arg(maxResponseRules);
        if (reason.isEmpty())
            read.rules.append(rule);
        else
            read.skipped.append({int(number), reason});
    }
    return read;
}

QList<ResponseRule> LoadResponseRules(const QString &file)
{
    const ResponseRulesRead read = ReadResponseRules(file);
    for (const QString &line : read.logLines())
        WriteLog(intToolIndex, line);
    return read.rules;
}

QString FormatRuleLine(const ResponseRule &rule)
{
    return QStringLiteral("%1 %2 %3 -> %4")
        .arg(rule.on ? QStringLiteral("on") : QStringLiteral("off"), RuleKindWord(rule.kind),
             KeptText(rule.pattern, HexExtras::Wildcards), KeptText(rule.reply, HexExtras::Copies));
}

QString WriteResponseRules(const QString &file, const QList<ResponseRule> &rules)
{
    QByteArray content
        = QStringLiteral("# 応答ルール: 1行に1件、上から順に試します。\n"
                         "# on|off equals|starts|ends|contains 受信パターン -> 応答データ\n"
                         "# ?? は任意の1バイト、[i] と [i-j] は受信データの i〜j バイト目"
                         "（0から数えます）。\n")
              .toUtf8();
    for (const ResponseRule &rule : rules)
        content += FormatRuleLine(rule).toUtf8() + '\n';
    QSaveFile output(file);
    if (!output.open(QIODevice::WriteOnly) || output.write(content) != content.size()
        || !output.commit())
        return output.errorString();
    return {};
}
