// The colour decision of the custovia tool against a real pseudo-terminal.
#include <gtest/gtest.h>

#include <pty.h>
#include <stdlib.h>
#include <unistd.h>

#include "cli/Terminal.h"

using custovia::cli::ColorMode;
using custovia::cli::colorWanted;

TEST(CliTerminalTest, ColourOnlyOnATerminalAndNeverWithNoColor) {
    int pty = -1, tty = -1, fds[2];
    ASSERT_EQ(openpty(&pty, &tty, nullptr, nullptr, nullptr), 0);
    ASSERT_EQ(pipe(fds), 0);

    unsetenv("NO_COLOR");
    setenv("TERM", "xterm", 1);
    EXPECT_TRUE(colorWanted(ColorMode::Auto, tty));
    EXPECT_FALSE(colorWanted(ColorMode::Auto, fds[1]));
    EXPECT_FALSE(colorWanted(ColorMode::Never, tty));
    EXPECT_TRUE(colorWanted(ColorMode::Always, fds[1]));
    setenv("NO_COLOR", "1", 1);
    EXPECT_FALSE(colorWanted(ColorMode::Auto, tty));
    setenv("NO_COLOR", "", 1);
    EXPECT_TRUE(colorWanted(ColorMode::Auto, tty)) << "an empty NO_COLOR does not count";
    setenv("TERM", "dumb", 1);
    EXPECT_FALSE(colorWanted(ColorMode::Auto, tty));
    unsetenv("NO_COLOR");

    for (int fd : {fds[0], fds[1], tty, pty}) {
        close(fd);
    }
}
