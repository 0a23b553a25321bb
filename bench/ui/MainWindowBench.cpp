// Prints the main window's figures:
//   start-up   process start to the window shown (target < 300 ms), peak memory (< 80 MB)
//   idle       CPU used over 10 s by the reconnect timer with no cradle (< 1 % of one core)
//   stall      longest pause of the user-interface thread's event loop during a read and a
//              write against a simulated cradle that answers like a real one (< 50 ms); on a
//              busy machine this includes waiting for a processor, so the times of the longest
//              pieces of work (ShowSettings, a full repaint) are printed too
// The program is run on the platform of QT_QPA_PLATFORM (offscreen when unset).
#include "link/sim/FactoryPagers.h"
#include "link/sim/InProcessCradleBackend.h"
#include "ui/controls/HoverButton.h"
#include "ui/controls/MessageBoxService.h"
#include "ui/main/FileChooserService.h"
#include "ui/main/MainWindow.h"

#include <QApplication>
#include <QDir>
#include <QEventLoop>
#include <QTemporaryDir>
#include <QTimer>

#include <sys/resource.h>
#include <sys/wait.h>
#include <unistd.h>

#include <algorithm>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <fstream>
#include <functional>
#include <sstream>
#include <string>
#include <thread>
#include <vector>

namespace {

using Clock = std::chrono::steady_clock;

double Milliseconds(Clock::duration duration) {
    return std::chrono::duration<double, std::milli>(duration).count();
}

// The program in a fresh folder of its own, with its own virtual-cradle folder.
struct ProgramRun {
    pid_t pid = -1;
    int output = -1; // the program's standard output
};

ProgramRun StartProgram(const QString& folder, bool exitAfterShow) {
    int pipeEnds[2];
    if (pipe(pipeEnds) != 0) {
        std::perror("pipe");
        std::exit(1);
    }
    const pid_t pid = fork();
    if (pid == 0) {
        dup2(pipeEnds[1], STDOUT_FILENO);
        close(pipeEnds[0]);
        close(pipeEnds[1]);
        if (chdir(folder.toLocal8Bit().constData()) != 0) {
            _exit(127);
        }
        setenv("XDG_RUNTIME_DIR", folder.toLocal8Bit().constData(), 1);
        setenv("QT_QPA_PLATFORM",
               qEnvironmentVariable("QT_QPA_PLATFORM", "offscreen").toLocal8Bit().constData(), 1);
        if (exitAfterShow) {
            setenv("PAGER_EXIT_AFTER_SHOW", "1", 1);
        }
        execl(PAGER_PROGRAMMER_BINARY, PAGER_PROGRAMMER_BINARY, static_cast<char*>(nullptr));
        _exit(127);
    }
    close(pipeEnds[1]);
    return {pid, pipeEnds[0]};
}

bool ReadLine(int fd, std::string& line) {
    line.clear();
    char c = 0;
    while (read(fd, &c, 1) == 1) {
        if (c == '\n') {
            return true;
        }
        line += c;
    }
    return false;
}

void MeasureStartup(const QString& folder) {
    constexpr int kRuns = 7;
    std::vector<double> times;
    std::vector<double> cpuTimes;
    long peakKilobytes = 0;
    for (int run = 0; run < kRuns; ++run) {
        const Clock::time_point start = Clock::now();
        ProgramRun program = StartProgram(folder, true);
        std::string line;
        const bool shown = ReadLine(program.output, line) && line == "shown";
        const Clock::time_point shownAt = Clock::now();
        close(program.output);
        int status = 0;
        rusage usage{};
        wait4(program.pid, &status, 0, &usage);
        if (!shown) {
            std::printf("start-up: the program did not report its window (status %d)\n", status);
            return;
        }
        times.push_back(Milliseconds(shownAt - start));
        cpuTimes.push_back(1000.0 * (usage.ru_utime.tv_sec + usage.ru_stime.tv_sec) +
                           (usage.ru_utime.tv_usec + usage.ru_stime.tv_usec) / 1000.0);
        peakKilobytes = std::max(peakKilobytes, usage.ru_maxrss);
    }
    std::sort(times.begin(), times.end());
    std::sort(cpuTimes.begin(), cpuTimes.end());
    std::printf("start-up: window shown after %.0f ms (median of %d; fastest %.0f, slowest %.0f) "
                "- target < 300 ms\n",
                times[times.size() / 2], kRuns, times.front(), times.back());
    // On a busy machine the wall time includes waiting for a processor; the CPU time (up to
    // the exit that follows the show) tells what the program itself spends.
    std::printf("start-up: CPU time of a whole run %.0f ms (median)\n",
                cpuTimes[cpuTimes.size() / 2]);
    std::printf("start-up: peak memory %.1f MB - target < 80 MB\n", peakKilobytes / 1024.0);
}

// User plus system CPU time of a process, in seconds.
double CpuSeconds(pid_t pid) {
    std::ifstream stat("/proc/" + std::to_string(pid) + "/stat");
    std::string text((std::istreambuf_iterator<char>(stat)), {});
    // Fields after the command name, which is in parentheses and may hold blanks.
    std::istringstream fields(text.substr(text.rfind(')') + 2));
    std::string field;
    unsigned long long user = 0, system = 0;
    for (int index = 3; fields >> field; ++index) {
        if (index == 14) {
            user = std::stoull(field);
        } else if (index == 15) {
            system = std::stoull(field);
            break;
        }
    }
    return static_cast<double>(user + system) / static_cast<double>(sysconf(_SC_CLK_TCK));
}

void MeasureIdle(const QString& folder) {
    constexpr auto kPeriod = std::chrono::seconds(10);
    ProgramRun program = StartProgram(folder, false);
    std::this_thread::sleep_for(std::chrono::seconds(2)); // past start-up
    const double before = CpuSeconds(program.pid);
    std::this_thread::sleep_for(kPeriod);
    const double after = CpuSeconds(program.pid);
    kill(program.pid, SIGTERM);
    waitpid(program.pid, nullptr, 0);
    close(program.output);
    std::printf("idle: %.2f %% of one core over %lld s with no cradle - target < 1 %%\n",
                100.0 * (after - before) / static_cast<double>(kPeriod.count()),
                static_cast<long long>(kPeriod.count()));
}

// A message box and file dialog that nobody answers; the transfers show none when all is well.
class NoBoxes final : public MessageBoxService {
public:
    MessageAnswer Show(QWidget*, const MessageRequest& request) override {
        std::printf("stall: unexpected message \"%s\"\n", request.text.c_str());
        return MessageAnswer::Cancel;
    }
};
class NoFiles final : public FileChooserService {
public:
    std::optional<QString> Choose(QWidget*, const FileDialogRequest&) override { return {}; }
};

// Runs the event loop until the condition holds, sleeping between events.
void WaitUntil(const std::function<bool()>& condition) {
    QEventLoop loop;
    QTimer check;
    QObject::connect(&check, &QTimer::timeout, [&] {
        if (condition()) {
            loop.quit();
        }
    });
    check.start(5);
    loop.exec();
}

void MeasureStall(const QString& folder) {
    QDir::setCurrent(folder);
    auto backend = std::make_shared<InProcessCradleBackend>(std::make_shared<SteadyLinkClock>());
    auto cradle = std::make_shared<CradleSimulator>(MakeFactoryPager(FactoryPager::V2));
    CradleFaultPlan plan;
    plan.replyDelay = std::chrono::microseconds(1500); // about what a cradle takes per block
    cradle->SetFaults(plan);
    backend->AddCradle(cradle);
    ProgrammerContext context;
    context.usb = MakeLayerOver(backend);
    NoBoxes messages;
    NoFiles files;
    CTarnwick4730NewDlg window(MainWindowServices{context, messages, files, RealSleeper()});
    window.show();
    WaitUntil([&] { return window.button(CTarnwick4730NewDlg::kReadId).isEnabled(); });

    // The longest single piece of user-interface work a read asks for: every page reloads.
    std::vector<double> showTimes;
    for (int run = 0; run < 21; ++run) {
        const Clock::time_point start = Clock::now();
        window.ShowSettings();
        showTimes.push_back(Milliseconds(Clock::now() - start));
    }
    std::sort(showTimes.begin(), showTimes.end());
    std::printf("stall: ShowSettings (all fifteen pages) takes %.1f ms (median of 21)\n",
                showTimes[showTimes.size() / 2]);
    std::vector<double> decodeTimes;
    for (int run = 0; run < 21; ++run) {
        const Clock::time_point start = Clock::now();
        window.DecodeImage();
        decodeTimes.push_back(Milliseconds(Clock::now() - start));
    }
    std::sort(decodeTimes.begin(), decodeTimes.end());
    std::printf("stall: DecodeImage (with the working file) takes %.1f ms (median of 21, "
                "slowest %.1f)\n",
                decodeTimes[decodeTimes.size() / 2], decodeTimes.back());
    std::vector<double> paintTimes;
    for (int run = 0; run < 21; ++run) {
        const Clock::time_point start = Clock::now();
        window.repaint();
        paintTimes.push_back(Milliseconds(Clock::now() - start));
    }
    std::sort(paintTimes.begin(), paintTimes.end());
    std::printf("stall: painting the whole window takes %.1f ms (median of 21)\n",
                paintTimes[paintTimes.size() / 2]);

    for (const bool reading : {true, false}) {
        Clock::duration longest{};
        Clock::time_point last = Clock::now();
        QTimer probe;
        probe.setTimerType(Qt::PreciseTimer);
        QObject::connect(&probe, &QTimer::timeout, [&] {
            const Clock::time_point now = Clock::now();
            longest = std::max(longest, now - last);
            last = now;
        });
        probe.start(1);
        const Clock::time_point start = Clock::now();
        reading ? window.readClicked() : window.writeClicked();
        WaitUntil([&] { return !window.isTransferRunning(); });
        probe.stop();
        std::printf("stall: longest event-loop pause %.1f ms during a %s of %.0f ms "
                    "(1.5 ms per block, status blinks included) - target < 50 ms\n",
                    Milliseconds(longest), reading ? "read" : "write",
                    Milliseconds(Clock::now() - start));
    }
}

} // namespace

int main(int argc, char** argv) {
    if (qEnvironmentVariableIsEmpty("QT_QPA_PLATFORM")) {
        qputenv("QT_QPA_PLATFORM", "offscreen");
    }
    QApplication application(argc, argv);
    QTemporaryDir folder;
    MeasureStartup(folder.path());
    MeasureIdle(folder.path());
    MeasureStall(folder.path());
    return 0;
}
