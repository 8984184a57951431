// The built tabellix-convert stopped by SIGINT or SIGTERM in the middle of a
// dump over an older one.
#include "tests/cli/BigBook.h"
#include "tests/support/TestEnv.h"

#include <gtest/gtest.h>

#include <csignal>
#include <fcntl.h>
#include <filesystem>
#include <fstream>
#include <spawn.h>
#include <sys/wait.h>
#include <unistd.h>

using namespace tabellix;

namespace {

// Enough rows that the dump is far from done when its temporary file
// appears.
constexpr int kRows = 300000;

class DumpInterrupted : public ::testing::Test {
protected:
    static void SetUpTestSuite() {
        Book = new test::TempDir;
        test::WriteBigBook((Book->Path() / "big.xlsx").string(), kRows);
    }
    static void TearDownTestSuite() {
        delete Book;
        Book = nullptr;
    }

    // Starts the dump of the big workbook into Out(), its standard error
    // going to ErrFile().
    pid_t StartDump() {
        const std::string book = (Book->Path() / "big.xlsx").string();
        const std::string out = Out().string(), err = ErrFile().string();
        posix_spawn_file_actions_t actions;
        posix_spawn_file_actions_init(&actions);
        posix_spawn_file_actions_addopen(&actions, STDOUT_FILENO, "/dev/null", O_WRONLY, 0);
        posix_spawn_file_actions_addopen(&actions, STDERR_FILENO, err.c_str(),
                                         O_WRONLY | O_CREAT | O_TRUNC, 0644);
        std::string program = TABELLIX_CONVERT;
        std::vector<std::string> args{program, "dump", book, "-o", out, "--force"};
        std::vector<char*> argv;
        for (std::string& arg : args)
            argv.push_back(arg.data());
        argv.push_back(nullptr);
        pid_t pid = 0;
        const int failed =
            posix_spawn(&pid, program.c_str(), &actions, nullptr, argv.data(), environ);
        posix_spawn_file_actions_destroy(&actions);
        return failed == 0 ? pid : -1;
    }

    // The files in the dump's folder but the dump and the error output.
    std::vector<std::string> Others() const {
        std::vector<std::string> others;
        for (const auto& entry : std::filesystem::directory_iterator(Dir.Path()))
            if (entry.path() != Out() && entry.path() != ErrFile())
                others.push_back(entry.path().filename().string());
        return others;
    }

    // Polls until a temporary file appears beside the dump; false when the
    // child ended first or nothing appeared within the bound.
    bool WaitForTemporary(pid_t pid) {
        for (int i = 0; i < 100000; ++i) {
            if (!Others().empty())
                return true;
            int status = 0;
            if (waitpid(pid, &status, WNOHANG) == pid)
                return false;
            usleep(1000);
        }
        return false;
    }

    std::filesystem::path Out() const { return Dir.Path() / "big.SQL"; }
    std::filesystem::path ErrFile() const { return Dir.Path() / "err.txt"; }

    static test::TempDir* Book;
    test::TempDir Dir;
};

test::TempDir* DumpInterrupted::Book = nullptr;

// The first signal stops the pass at its next row: 128 + N and a message.
// A second one ends the process at once, which may also be the default
// action once the pass is over; either way nothing is left behind.
TEST_F(DumpInterrupted, KeepsTheOldDumpAndLeavesNoTemporaryFile) {
    const struct {
        const char* name;
        int signal;
        int count;
    } cases[] = {{"SIGINT", SIGINT, 1}, {"SIGTERM", SIGTERM, 1}, {"SIGINT twice", SIGINT, 2}};
    for (const auto& c : cases) {
        SCOPED_TRACE(c.name);
        std::ofstream(Out()) << "the good dump";
        const pid_t pid = StartDump();
        ASSERT_GT(pid, 0);
        if (!WaitForTemporary(pid)) {
            kill(pid, SIGKILL);
            waitpid(pid, nullptr, 0);
            FAIL() << "no temporary file appeared while the dump ran: "
                   << test::ReadFileBytes(ErrFile());
        }
        for (int i = 0; i < c.count; ++i)
            kill(pid, c.signal);
        int status = 0;
        ASSERT_EQ(waitpid(pid, &status, 0), pid);
        const std::string err = test::ReadFileBytes(ErrFile());
        if (c.count == 1) {
            ASSERT_TRUE(WIFEXITED(status)) << err;
            EXPECT_EQ(WEXITSTATUS(status), 128 + c.signal);
            EXPECT_EQ(err, "tabellix-convert: interrupted; " + Out().string() + " is as it was\n");
        } else {
            EXPECT_TRUE((WIFEXITED(status) && WEXITSTATUS(status) == 128 + c.signal) ||
                        (WIFSIGNALED(status) && WTERMSIG(status) == c.signal))
                << status;
        }
        EXPECT_EQ(test::ReadFileBytes(Out()), "the good dump");
        EXPECT_EQ(Others(), std::vector<std::string>{});
    }
}

} // namespace
