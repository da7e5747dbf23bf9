// The command line of a start that hands a command to the running copy.
#include "core/logic/remote_command.h"

#include <gtest/gtest.h>

TEST(RemoteCommand, TheCommandLineNamesOneCommandOrNone) {
    using C = RemoteCommand;
    struct Row {
        QStringList arguments;
        std::optional<RemoteCommand> command;
        bool valid;
    } const rows[] = {
        {{}, std::nullopt, true},
        {{"--command", "start"}, C::Start, true},
        {{"--command=pause"}, C::Pause, true},
        {{"--command", "resume"}, C::Resume, true},
        {{"--command", "stop"}, C::Stop, true},
        {{"--command", "front"}, C::Front, true},
        {{"--command", "Stop"}, std::nullopt, false},  // the names are the exact words
        {{"--command"}, std::nullopt, false},
        {{"--command="}, std::nullopt, false},
        {{"--command", "stop", "extra"}, std::nullopt, false},
        {{"stop"}, std::nullopt, false},
        {{"--commands=stop"}, std::nullopt, false},
    };
    for (const Row& r : rows) {
        const CommandLine line = parseCommandLine(r.arguments);
        EXPECT_EQ(std::pair(line.command, line.valid), std::pair(r.command, r.valid))
            << r.arguments.join(' ').toStdString();
    }
    for (C c : {C::Start, C::Pause, C::Resume, C::Stop, C::Front})
        EXPECT_EQ(remoteCommandNamed(remoteCommandName(c)), c);
    EXPECT_TRUE(startsProgram(C::Start) && startsProgram(C::Front));
    EXPECT_FALSE(startsProgram(C::Pause) || startsProgram(C::Resume) || startsProgram(C::Stop));
}
