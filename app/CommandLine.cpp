#include "app/CommandLine.h"

#include "platform/NumericAddress.h"

#include <QCommandLineParser>
#include <QFileInfo>
#include <QRegularExpression>

#include <algorithm>

namespace {
struct OptionEntry
{
    QStringList names;
    QString valueName; // empty for a switch
    QString description;
};

const QString help = QStringLiteral("help");
const QString version = QStringLiteral("version");
const QString headless = QStringLiteral("headless");
const QString port = QStringLiteral("port");
const QString response = QStringLiteral("response");
const QString capture = QStringLiteral("capture");
const QString bind = QStringLiteral("bind");
const QString quiet = QStringLiteral("quiet");
const QString rules = QStringLiteral("rules");

const std::vector<OptionEntry> &optionEntries()
{
    static const std::vector<OptionEntry> entries {
        {{QStringLiteral("h"), help}, {}, QStringLiteral("この説明を表示して終了します。")},
        {{QStringLiteral("v"), version}, {}, QStringLiteral("版を表示して終了します。")},
        {{headless},
         {},
         QStringLiteral("ウィンドウを開かずに受信し、出来事を1行ずつ標準出力に書きます。")},
        {{port},
         QStringLiteral("N"),
         QStringLiteral("受信ポート (0〜65535。0はシステムが選んだ空きポート)。")},
        {{response},
         QStringLiteral("MODE"),
         QStringLiteral("応答: echo (受信データを送り返す)、custom (設定済みの応答データ)、"
                        "none (応答しない)。")},
        {{capture}, {}, QStringLiteral("受信データを記録ファイルに残します。")},
        {{bind},
         QStringLiteral("ADDR"),
         QStringLiteral("このアドレスだけで待ち受けます (数値のIPv4またはIPv6アドレス。"
                        "空なら全アドレス)。")},
        {{quiet}, {}, QStringLiteral("エラーのほかは何も表示しません。")},
        {{rules},
         QStringLiteral("FILE"),
         QStringLiteral(
             "応答ルールを Config/Kiv_TcpRecvRules.txt の代わりにこのファイルから読みます。")},
    };
    return entries;
}

// Options that only the terminal mode can carry out.
const QStringList headlessOnly {port, response, capture, quiet, rules};

QString dashed(const QString &name)
{
    return (name.size() == 1 ? QStringLiteral("-") : QStringLiteral("--")) + name;
}

const OptionEntry *findOption(const QString &name)
{
    const auto &entries = optionEntries();
    const auto found = std::find_if(entries.begin(), entries.end(), [&](const OptionEntry &entry) {
        return entry.names.contains(name);
    });
    return found == entries.end() ? nullptr : &*found;
}

// The name an argument gives when it is an option: "--port=5000" and "-port" give "port".
QString optionName(const QString &argument)
{
    if (!argument.startsWith(QLatin1Char('-')) || argument == QStringLiteral("-"))
        return {};
    const QString name = argument.mid(argument.startsWith(QStringLiteral("--")) ? 2 : 1);
    return name.left(name.indexOf(QLatin1Char('=')));
}

CommandLine badUsage(const QString &reason)
{
    return {CommandLine::Action::BadUsage, {}, QStringLiteral("parvel: ") + reason};
}

// The parser's own texts are English; the user reads ours.
CommandLine refusal(const QCommandLineParser &parser, const QStringList &arguments)
{
    if (!parser.unknownOptionNames().isEmpty())
        return badUsage(QStringLiteral("不明なオプションです: ")
                        + dashed(parser.unknownOptionNames().first()));
    for (qsizetype at = 1; at < arguments.size(); ++at) {
        const QString &argument = arguments[at];
        if (argument == QStringLiteral("--"))
            break;
        const OptionEntry *entry = findOption(optionName(argument));
        if (!entry)
            continue;
        const QString name = dashed(entry->names.last());
        if (entry->valueName.isEmpty() && argument.contains(QLatin1Char('=')))
            return badUsage(name + QStringLiteral(" は値をとりません。"));
        if (!entry->valueName.isEmpty() && !argument.contains(QLatin1Char('='))
            && at + 1 == arguments.size())
            return badUsage(name + QStringLiteral(" の値がありません。"));
    }
    return badUsage(parser.errorText());
}

QString helpText()
{
    QString text = QStringLiteral(
        "使い方: parvel [--headless] [オプション]\n"
        "\n"
        "TCPで受信したデータを16進数で表示し、そのまま送り返す試験ツールです。\n"
        "--headless ではウィンドウを開かず、ログと同じ形の行を標準出力に書きます。\n"
        "\n"
        "オプション:\n");
    for (const OptionEntry &entry : optionEntries()) {
        QStringList names;
        for (const QString &name : entry.names)
            names << dashed(name);
        QString left = names.join(QStringLiteral(", "));
        if (!entry.valueName.isEmpty())
            left += QLatin1Char(' ') + entry.valueName;
        text += QStringLiteral("  %1  %2\n").arg(left, -18).arg(entry.description);
    }
    text += QStringLiteral(
        "\n"
        "--port、--response、--capture、--quiet、--rules は --headless と共に指定します。\n"
        "どの指定もこの実行の間だけ設定ファイルに優先し、設定ファイルは書き換えません。\n"
        "\n"
        "終了ステータス:\n"
        "  0  シグナル (SIGINT、SIGTERM、SIGHUP) で終了した\n"
        "  1  その他の理由で起動できなかった (プログラムフォルダに書き込めない など)\n"
        "  2  使い方の誤り (不明なオプション、不正な値)\n"
        "  3  待ち受けできるポートがない (使用中、不正、設定も指定もない)\n"
        "  4  このプログラムフォルダで別のParvelが動作中\n");
    return text;
}

std::optional<quint16> portNumber(const QString &text)
{
    static const QRegularExpression digits(QStringLiteral("^[0-9]{1,5}$"));
    if (!digits.match(text).hasMatch() || text.toUInt() > 65535)
        return std::nullopt;
    return quint16(text.toUInt());
}

std::optional<qint16> responseSetting(const QString &text)
{
    if (text == QStringLiteral("none"))
        return 0;
    if (text == QStringLiteral("echo"))
        return 1;
    if (text == QStringLiteral("custom"))
        return 2;
    return std::nullopt;
}
} // namespace

CommandLine ParseCommandLine(const QStringList &arguments)
{
    QCommandLineParser parser;
    // -headless reads as --headless, as Qt's own -platform does, not as the switches h, e, a, ...
    parser.setSingleDashWordOptionMode(QCommandLineParser::ParseAsLongOptions);
    for (const OptionEntry &entry : optionEntries())
        parser.addOption(QCommandLineOption(entry.names, entry.description, entry.valueName));
    if (!parser.parse(arguments))
        return refusal(parser, arguments);
    if (parser.isSet(help))
        return {CommandLine::Action::ShowHelp, {}, helpText()};
    if (parser.isSet(version))
        return {CommandLine::Action::ShowVersion,
                {},
                QStringLiteral("Parvel %1\n").arg(QStringLiteral(PARVEL_VERSION))};
    if (!parser.positionalArguments().isEmpty())
        return badUsage(QStringLiteral("不明な引数です: ") + parser.positionalArguments().first());

    RunOptions options;
    options.headless = parser.isSet(headless);
    if (!options.headless) {
        for (const QString &name : headlessOnly) {
            if (parser.isSet(name))
                return badUsage(dashed(name)
                                + QStringLiteral(" は --headless と共に指定してください。"));
        }
    }
    options.quiet = parser.isSet(quiet);
    options.capture = parser.isSet(capture);
    if (parser.isSet(port)) {
        options.port = portNumber(parser.value(port));
        if (!options.port)
            return badUsage(
                QStringLiteral("--port の値が不正です: %1 (0〜65535)").arg(parser.value(port)));
    }
    if (parser.isSet(response)) {
        options.response = responseSetting(parser.value(response));
        if (!options.response)
            return badUsage(QStringLiteral("--response の値が不正です: %1 (echo、custom、none)")
                                .arg(parser.value(response)));
    }
    if (parser.isSet(bind)) {
        const QString address = parser.value(bind);
        if (!address.isEmpty() && NumericAddress(address).isNull())
            return badUsage(
                QStringLiteral("--bind の値が不正です: %1 (数値のIPv4またはIPv6アドレス)")
                    .arg(address));
        options.bindAddress = address;
    }
    if (parser.isSet(rules)) {
        // Read where the user stands now; start-up works from the program folder.
        const QFileInfo file(parser.value(rules));
        if (!file.isFile())
            return badUsage(
                QStringLiteral("--rules のファイルがありません: %1").arg(file.filePath()));
        options.rulesFile = file.absoluteFilePath();
    }
    return {CommandLine::Action::Run, options, {}};
}

bool RunsWithoutWindow(const QStringList &arguments)
{
    static const QStringList windowless {headless, help, QStringLiteral("h"), version,
                                         QStringLiteral("v")};
    for (qsizetype at = 1; at < arguments.size() && arguments[at] != QStringLiteral("--"); ++at) {
        if (windowless.contains(optionName(arguments[at])))
            return true;
    }
    return false;
}
