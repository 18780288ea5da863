#pragma once

#include <QString>
#include <QStringList>

#include <optional>

// How the program ends; the README and --help list the same.
namespace ExitStatus {
constexpr int endedBySignal = 0;
constexpr int startupFailed = 1; // the program folder cannot be written, and the like
constexpr int badUsage = 2; // an unknown option or a bad value
constexpr int noPort = 3; // no port can be listened on: busy, invalid, or none given
constexpr int alreadyRunning = 4; // another Parvel runs in this program folder
} // namespace ExitStatus

// What one run was asked for. Every value given overrides the settings file for this run only;
// the file is never written for it.
struct RunOptions
{
    bool headless = false;
    bool quiet = false;
    bool capture = false;
    std::optional<quint16> port;
    // As [Maintenance] ResSetting keeps it: 0 no response, 1 echo, 2 the custom reply.
    std::optional<qint16> response;
    // Empty for every address, else one numeric IPv4 or IPv6 address.
    std::optional<QString> bindAddress;
    // The rules file to answer by instead of the one in Config, as an absolute path.
    std::optional<QString> rulesFile;
};

struct CommandLine
{
    enum class Action { Run, ShowHelp, ShowVersion, BadUsage };

    Action action = Action::Run;
    RunOptions options;
    // The help or version text for standard output, or the one line for standard error.
    QString text;
};

// Reads the program's arguments (the first is the program itself). Options only the terminal
// mode can use are refused without --headless; so is every argument the program does not know.
CommandLine ParseCommandLine(const QStringList &arguments);

// True when the arguments ask for something that needs no window (--headless, --help,
// --version), so that no display connection is opened before they are read.
bool RunsWithoutWindow(const QStringList &arguments);
