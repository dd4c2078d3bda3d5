#pragma once

// Runs one of the command-line programs as a researcher would, from a shell, and keeps what it
// printed to either stream with its exit status.

#include <sys/wait.h>

#include <array>
#include <cstdio>
#include <string>

namespace halyx::test {

struct ToolRun {
    int status = -1; // -1: not started, or ended by a signal
    std::string out; // stdout and stderr together
};

// program: its path; args: the rest of the command line as a shell reads it.
inline ToolRun RunTool(const std::string& program, const std::string& args) {
    ToolRun run;
    FILE* pipe = ::popen((program + " " + args + " 2>&1").c_str(), "r");
    if (pipe == nullptr) {
        return run;
    }
    std::array<char, 4096> buffer{};
    size_t n = 0;
    while ((n = std::fread(buffer.data(), 1, buffer.size(), pipe)) > 0) {
        run.out.append(buffer.data(), n);
    }
    const int raw = ::pclose(pipe);
    run.status = WIFEXITED(raw) ? WEXITSTATUS(raw) : -1;
    return run;
}

} // namespace halyx::test
