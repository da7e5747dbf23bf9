// Commands that a later start of the program hands to the copy already running, so that the desktop's
// own keyboard shortcuts can drive it where the program's hot keys do not reach (Wayland).
#pragma once

#include <QLatin1StringView>
#include <QString>
#include <QStringList>
#include <optional>

enum class RemoteCommand { Start, Pause, Resume, Stop, Front };

// "start", "pause", "resume", "stop", "front".
QLatin1StringView remoteCommandName(RemoteCommand command);
std::optional<RemoteCommand> remoteCommandNamed(const QString& name);

// Whether the command starts the program when no copy runs to take it (and is then run by that copy).
bool startsProgram(RemoteCommand command);

// What the command line asks for: nothing but a plain start, or one command.
struct CommandLine {
    std::optional<RemoteCommand> command;
    // False for anything else on the line; the program then says how it is used and ends.
    bool valid = true;
};
// The arguments after the program's name, as Qt left them: "--command NAME" or "--command=NAME".
CommandLine parseCommandLine(const QStringList& arguments);

// How the command line is used, for the standard error output.
QString commandLineUsage();
