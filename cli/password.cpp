#include "cli/password.h"

#include <termios.h>
#include <unistd.h>

#include <cerrno>
#include <string_view>

namespace tabellix::cli {

namespace {

void WriteAll(int fd, std::string_view text) {
    while (!text.empty()) {
        const ssize_t n = ::write(fd, text.data(), text.size());
        if (n < 0 && errno == EINTR)
            continue;
        if (n <= 0)
            return; // a prompt that cannot be shown does not stop the read
        text.remove_prefix(static_cast<size_t>(n));
    }
}

// Echo off for the life of the object; the terminal's settings come back
// on every path out of the read.
class TEchoOff {
public:
    explicit TEchoOff(int fd) : FFd(fd), FSaved(), FChanged(::tcgetattr(fd, &FSaved) == 0) {
        if (!FChanged)
            return;
        termios quiet = FSaved;
        quiet.c_lflag &= ~static_cast<tcflag_t>(ECHO);
        FChanged = ::tcsetattr(fd, TCSAFLUSH, &quiet) == 0;
    }
    ~TEchoOff() {
        if (FChanged)
            ::tcsetattr(FFd, TCSAFLUSH, &FSaved);
    }
    TEchoOff(const TEchoOff&) = delete;
    TEchoOff& operator=(const TEchoOff&) = delete;

private:
    int FFd;
    termios FSaved;
    bool FChanged;
};

// The terminal hands over whole lines, so reading up to the line break
// takes exactly what was typed.
std::string ReadTerminalLine(int fd) {
    std::string line;
    char c;
    for (;;) {
        const ssize_t n = ::read(fd, &c, 1);
        if (n < 0 && errno == EINTR)
            continue;
        if (n <= 0 || c == '\n')
            return line;
        line += c;
    }
}

std::string WithoutCR(std::string line) {
    if (!line.empty() && line.back() == '\r')
        line.pop_back();
    return line;
}

} // namespace

std::string ReadPassword(std::istream& in, int fd, int promptFd) {
    if (!::isatty(fd)) {
        std::string line;
        std::getline(in, line);
        return WithoutCR(std::move(line));
    }
    std::string line;
    {
        // Echo goes off before the prompt shows, so nothing typed after it
        // is echoed.
        TEchoOff quiet(fd);
        WriteAll(promptFd, "Password: ");
        line = ReadTerminalLine(fd);
    }
    // The Enter key was not echoed either.
    WriteAll(promptFd, "\n");
    return WithoutCR(std::move(line));
}

} // namespace tabellix::cli
