#pragma once

#include <sys/types.h>

#include <chrono>
#include <filesystem>
#include <string>
#include <string_view>
#include <vector>

// pager-cradle-sim running as a child process with its own XDG_RUNTIME_DIR.
class SimulatorProcess {
public:
    // Starts the simulator and waits for its "ready:" line; throws when it does not come.
    SimulatorProcess(const std::filesystem::path& runtimeDirectory,
                     const std::vector<std::string>& arguments);
    // Stops it with SIGTERM when still running.
    ~SimulatorProcess();
    SimulatorProcess(const SimulatorProcess&) = delete;
    SimulatorProcess& operator=(const SimulatorProcess&) = delete;

    const std::filesystem::path& socketPath() const { return socketPath_; }
    // Sends the signal and reaps the process; returns its wait status.
    int Signal(int signal);
    // Waits for the process to end by itself; returns its wait status, or -1 on timeout.
    int WaitForExit(std::chrono::milliseconds timeout);
    // Everything it printed on stdout after the ready line, up to now.
    std::string Output();
    // Waits until the output after the ready line holds the text; false on timeout.
    bool WaitForOutput(std::string_view text, std::chrono::milliseconds timeout);

    // Runs a simulator that is expected to end by itself (a refused start); returns its exit
    // status, or -1 when it did not end within the timeout, with stdout and stderr in output.
    static int Run(const std::filesystem::path& runtimeDirectory,
                   const std::vector<std::string>& arguments, std::string& output,
                   std::chrono::milliseconds timeout = std::chrono::seconds(10));

private:
    SimulatorProcess() = default;
    // Starts the process with stdout (and, when asked, stderr) into a pipe.
    void Launch(const std::filesystem::path& runtimeDirectory,
                const std::vector<std::string>& arguments, bool withErrors);

    pid_t pid_ = -1;
    int output_ = -1;
    std::string buffered_;
    std::filesystem::path socketPath_;
};

// A fresh directory under /tmp, removed with everything in it when the object goes.
class TemporaryDirectory {
public:
    TemporaryDirectory();
    ~TemporaryDirectory();
    const std::filesystem::path& path() const { return path_; }

private:
    std::filesystem::path path_;
};
