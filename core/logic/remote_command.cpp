#include "core/logic/remote_command.h"

#include <array>

namespace {

constexpr std::array<QLatin1StringView, 5> kNames = {QLatin1StringView("start"), QLatin1StringView("pause"),
                                                     QLatin1StringView("resume"), QLatin1StringView("stop"),
                                                     QLatin1StringView("front")};

const QString kOption = QStringLiteral("--command");

}  // namespace

QLatin1StringView remoteCommandName(RemoteCommand command) { return kNames[std::size_t(command)]; }

std::optional<RemoteCommand> remoteCommandNamed(const QString& name) {
    for (std::size_t i = 0; i < kNames.size(); ++i)
        if (name == kNames[i]) return RemoteCommand(i);
    return std::nullopt;
}

bool startsProgram(RemoteCommand command) {
    return command == RemoteCommand::Start || command == RemoteCommand::Front;
}

CommandLine parseCommandLine(const QStringList& arguments) {
    if (arguments.isEmpty()) return {};
    QString name;
    if (arguments.size() == 2 && arguments[0] == kOption)
        name = arguments[1];
    else if (arguments.size() == 1 && arguments[0].startsWith(kOption + QLatin1Char('=')))
        name = arguments[0].mid(kOption.size() + 1);
    const std::optional<RemoteCommand> command = remoteCommandNamed(name);
    return {command, command.has_value()};
}

QString commandLineUsage() {
    return QStringLiteral(
        "usage: kadrel [--command start|pause|resume|stop|front]\n"
        "  --command hands the command to the Kadrel running on this desktop;\n"
        "  with none running, start and front start one.\n");
}
