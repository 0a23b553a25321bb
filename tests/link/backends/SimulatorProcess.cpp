#include "SimulatorProcess.h"

#include <fcntl.h>
#include <poll.h>
#include <signal.h> // NOLINT(modernize-deprecated-headers): POSIX signal calls
#include <sys/wait.h>
#include <unistd.h>

#include <cerrno>
#include <cstdlib>
#include <stdexcept>
#include <thread>

extern char** environ;

namespace {

enum class ReadResult { Data, Quiet, Ended };

// Appends what arrives within the timeout.
ReadResult ReadSome(int fd, std::string& into, int timeoutMs) {
    pollfd entry{fd, POLLIN, 0};
    if (poll(&entry, 1, timeoutMs) <= 0)
        return ReadResult::Quiet;
    char chunk[512];
    const ssize_t size = read(fd, chunk, sizeof chunk);
    if (size <= 0)
        return ReadResult::Ended;
    into.append(chunk, static_cast<std::size_t>(size));
    return ReadResult::Data;
}

} // namespace

SimulatorProcess::SimulatorProcess(const std::filesystem::path& runtimeDirectory,
                                   const std::vector<std::string>& arguments) {
    Launch(runtimeDirectory, arguments, false);
    const auto deadline = std::chrono::steady_clock::now() + std::chrono::seconds(10);
    const std::string ready = "ready: ";
    while (std::chrono::steady_clock::now() < deadline) {
        const std::size_t line = buffered_.find('\n');
        if (line != std::string::npos) {
            if (buffered_.rfind(ready, 0) != 0)
                throw std::runtime_error("unexpected output: " + buffered_);
            socketPath_ = buffered_.substr(ready.size(), line - ready.size());
            buffered_.erase(0, line + 1);
            return;
        }
        if (ReadSome(output_, buffered_, 100) == ReadResult::Ended)
            break;
    }
    throw std::runtime_error("pager-cradle-sim did not get ready");
}

int SimulatorProcess::Run(const std::filesystem::path& runtimeDirectory,
                          const std::vector<std::string>& arguments, std::string& output,
                          std::chrono::milliseconds timeout) {
    SimulatorProcess process;
    process.Launch(runtimeDirectory, arguments, true);
    const auto deadline = std::chrono::steady_clock::now() + timeout;
    while (std::chrono::steady_clock::now() < deadline &&
           ReadSome(process.output_, process.buffered_, 100) != ReadResult::Ended) {
    }
    output = process.buffered_;
    const int status = process.WaitForExit(std::chrono::milliseconds(100));
    return status >= 0 && WIFEXITED(status) ? WEXITSTATUS(status) : -1;
}

void SimulatorProcess::Launch(const std::filesystem::path& runtimeDirectory,
                              const std::vector<std::string>& arguments, bool withErrors) {
    int pipeFds[2];
    if (pipe2(pipeFds, O_CLOEXEC) != 0)
        throw std::runtime_error("pipe failed");
    std::vector<std::string> environment;
    for (char** entry = environ; *entry != nullptr; ++entry) {
        if (std::string(*entry).rfind("XDG_RUNTIME_DIR=", 0) != 0)
            environment.emplace_back(*entry);
    }
    environment.push_back("XDG_RUNTIME_DIR=" + runtimeDirectory.string());
    std::vector<char*> envp;
    envp.reserve(environment.size() + 1);
    for (std::string& entry : environment)
        envp.push_back(entry.data());
    envp.push_back(nullptr);
    std::vector<std::string> argumentCopies = arguments;
    std::vector<char*> argv{const_cast<char*>(PAGER_CRADLE_SIM)};
    for (std::string& argument : argumentCopies)
        argv.push_back(argument.data());
    argv.push_back(nullptr);

    pid_ = fork();
    if (pid_ == 0) {
        dup2(pipeFds[1], STDOUT_FILENO);
        if (withErrors)
            dup2(pipeFds[1], STDERR_FILENO);
        execve(PAGER_CRADLE_SIM, argv.data(), envp.data());
        _exit(127);
    }
    close(pipeFds[1]);
    output_ = pipeFds[0];
    if (pid_ < 0)
        throw std::runtime_error("fork failed");
}

SimulatorProcess::~SimulatorProcess() {
    if (pid_ > 0)
        Signal(SIGTERM);
    if (output_ >= 0)
        close(output_);
}

int SimulatorProcess::Signal(int signal) {
    if (pid_ <= 0)
        return -1;
    kill(pid_, signal);
    int status = 0;
    while (waitpid(pid_, &status, 0) < 0 && errno == EINTR) {
    }
    pid_ = -1;
    return status;
}

int SimulatorProcess::WaitForExit(std::chrono::milliseconds timeout) {
    const auto deadline = std::chrono::steady_clock::now() + timeout;
    while (pid_ > 0 && std::chrono::steady_clock::now() < deadline) {
        int status = 0;
        if (waitpid(pid_, &status, WNOHANG) == pid_) {
            pid_ = -1;
            return status;
        }
        std::this_thread::sleep_for(std::chrono::milliseconds(10));
    }
    return -1;
}

bool SimulatorProcess::WaitForOutput(std::string_view text, std::chrono::milliseconds timeout) {
    const auto deadline = std::chrono::steady_clock::now() + timeout;
    while (buffered_.find(text) == std::string::npos) {
        if (std::chrono::steady_clock::now() >= deadline ||
            ReadSome(output_, buffered_, 20) == ReadResult::Ended)
            return buffered_.find(text) != std::string::npos;
    }
    return true;
}

std::string SimulatorProcess::Output() {
    while (ReadSome(output_, buffered_, 100) == ReadResult::Data) {
    }
    return buffered_;
}

TemporaryDirectory::TemporaryDirectory() {
    char pattern[] = "/tmp/pager-backends-XXXXXX";
    if (mkdtemp(pattern) == nullptr)
        throw std::runtime_error("mkdtemp failed");
    path_ = pattern;
}

TemporaryDirectory::~TemporaryDirectory() {
    std::error_code ignored;
    std::filesystem::remove_all(path_, ignored);
}
