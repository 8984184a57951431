// The password read for --password-stdin: a line from a pipe, or from a
// terminal behind a prompt with echo off.
#include "cli/password.h"

#include <gtest/gtest.h>

#include <poll.h>
#include <pty.h>
#include <termios.h>
#include <unistd.h>

#include <future>
#include <sstream>

namespace tabellix::cli {
namespace {

TEST(Password, APipedLineLosesItsLineEnd) {
    int pipe[2];
    ASSERT_EQ(::pipe(pipe), 0);
    for (const char* text : {"s3cret\nnext line\n", "s3cret\r\n", "s3cret"}) {
        SCOPED_TRACE(text);
        std::istringstream in(text);
        EXPECT_EQ(ReadPassword(in, pipe[0], pipe[1]), "s3cret");
    }
    ::close(pipe[0]);
    ::close(pipe[1]);
}

// What the terminal shows within a bounded wait, until want has appeared.
std::string Shown(int master, const std::string& want) {
    std::string shown;
    char buffer[256];
    pollfd ready{master, POLLIN, 0};
    while (shown.find(want) == std::string::npos && ::poll(&ready, 1, 2000) == 1) {
        const ssize_t n = ::read(master, buffer, sizeof buffer);
        if (n <= 0)
            break;
        shown.append(buffer, static_cast<size_t>(n));
    }
    return shown;
}

TEST(Password, ATerminalGetsAPromptAndNoEcho) {
    int master = -1, terminal = -1;
    ASSERT_EQ(::openpty(&master, &terminal, nullptr, nullptr, nullptr), 0);
    std::istringstream unused;
    auto read =
        std::async(std::launch::async, [&] { return ReadPassword(unused, terminal, terminal); });
    EXPECT_EQ(Shown(master, "Password: "), "Password: ");
    ASSERT_EQ(::write(master, "s3cret\n", 7), 7);
    ASSERT_EQ(read.wait_for(std::chrono::seconds(5)), std::future_status::ready);
    EXPECT_EQ(read.get(), "s3cret");
    // Only the line break written after the read; the typed text never shows.
    EXPECT_EQ(Shown(master, "\n").find("s3cret"), std::string::npos);
    termios after{};
    ASSERT_EQ(::tcgetattr(terminal, &after), 0);
    EXPECT_TRUE(after.c_lflag & ECHO);
    ::close(terminal);
    ::close(master);
}

} // namespace
} // namespace tabellix::cli
