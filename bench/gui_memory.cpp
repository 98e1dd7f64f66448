// What the desktop program holds in memory around a burst of work: the real window on its own
// configuration folder, idle; then N tasks added through New Conversion converting at once; then
// every task stopped and deleted. Resident memory (VmRSS) at each step; after the work it should
// come back near the idle figure (target: within 1.5 times).
//   build/bench/gui_memory [tasks] [job] [seconds-of-source]
// Runs on the offscreen platform unless QT_QPA_PLATFORM says otherwise.
#include <unistd.h>

#include <QAction>
#include <QApplication>
#include <QElapsedTimer>
#include <algorithm>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <functional>
#include <string>
#include <thread>

#include "app/qt_message_service.h"
#include "app/qt_ui_dispatcher.h"
#include "shell/data_module.h"
#include "shell/frame_explorer.h"
#include "shell/main_window.h"
#include "shell/new_conversion.h"
#include "support/bench_media.h"
#include "support/jobs.h"
#include "tasks/av_task.h"
#include "tasks/category_tree.h"
#include "tasks/configuration.h"

namespace {

namespace fs = std::filesystem;
using namespace tw;

double ResidentMb() {
    std::ifstream status("/proc/self/status");
    std::string line;
    while (std::getline(status, line)) {
        if (line.rfind("VmRSS:", 0) == 0) {
            return std::atof(line.c_str() + 6) / 1024.0;
        }
    }
    return 0;
}

// Serves the event loop until done holds or the time is up.
bool WaitFor(const std::function<bool()>& done, int milliseconds) {
    QElapsedTimer clock;
    clock.start();
    while (!done()) {
        if (clock.elapsed() >= milliseconds) {
            return false;
        }
        QCoreApplication::processEvents(QEventLoop::AllEvents, 50);
    }
    return true;
}

void Serve(int milliseconds) {
    WaitFor([] { return false; }, milliseconds);
}

void Measure(const bench::Job& job, const bench::BenchSource& wanted, int taskCount,
             const fs::path& home) {
    const std::string source = bench::EnsureSource(wanted);
    ui::QtUiDispatcher dispatcher;
    platform::ScopedDispatcher installDispatcher(dispatcher);
    ui::QtMessageService messages(dispatcher);
    platform::ScopedMessageService installMessages(messages);

    TAVConfiguration configuration;
    configuration.SetPriorityApplier([](int, std::string*) { return true; });
    configuration.Load();
    configuration.SetShowAlert(false);
    // Every task converts at once: the peak is that of all of them together.
    configuration.PerformanceOptions().SetMaxConversions(0);
    const int threads = static_cast<int>(std::max(1u, std::thread::hardware_concurrency()));
    int made = 0;
    ui::ScopedNewConversion wizard([&](QWidget*, const QStringList&) {
        auto settings = std::make_unique<TConversionSettings>();
        settings->SetSourceFile(source);
        settings->SetTargetFile(
            (home / ("out-" + std::to_string(made++) + job.extension)).string());
        settings->SetProfile(job.profile);
        bench::ConfigureEngine(job, threads, settings->ConvertOptions());
        ui::ConversionRequests requests;
        requests.push_back(std::move(settings));
        return requests;
    });
    ui::TdmGlobal data(configuration, ui::ShellServices{nullptr, nullptr, &dispatcher});
    ui::TFormMain window(data);
    window.resize(1280, 800);
    window.show();
    Serve(500);
    const double idle = ResidentMb();

    TConvertingNode& converting = *window.Explorer().Tree().ConvertingNode();
    auto* newConversion = window.findChild<QAction*>(QStringLiteral("actNewConversion"));
    for (int i = 0; i < taskCount; ++i) {
        window.UpdateActions();
        newConversion->trigger();
    }
    std::printf("tasks=%d job=%s source=%s threads=%d\n", taskCount, job.name.c_str(),
                bench::Describe(wanted).c_str(), threads);
    std::fflush(stdout);
    const auto allConverting = [&] {
        return std::all_of(converting.Tasks().begin(), converting.Tasks().end(),
                           [](const auto& t) { return t->Converter().ConvertedDuration() > 2.0; });
    };
    WaitFor(allConverting, 600000);
    double busy = 0;
    for (int i = 0; i < 10; ++i) {
        busy = std::max(busy, ResidentMb());
        Serve(200);
    }

    for (const auto& task : converting.Tasks()) {
        task->Stop();
    }
    WaitFor(
        [&] {
            return std::none_of(converting.Tasks().begin(), converting.Tasks().end(),
                                [](const auto& t) { return t->Converter().IsWorking(); });
        },
        120000);
    while (!converting.Tasks().empty()) {
        converting.Tasks().back()->Delete(false, true);
    }
    Serve(1000);
    const double after = ResidentMb();
    std::printf(
        "memory idle_mb=%.1f converting_mb=%.1f after_deleted_mb=%.1f after_over_idle=%.2f "
        "target=1.5 met=%s\n",
        idle, busy, after, after / idle, after <= 1.5 * idle ? "yes" : "no");
}

}  // namespace

int main(int argc, char** argv) {
    if (qEnvironmentVariableIsEmpty("QT_QPA_PLATFORM")) {
        qputenv("QT_QPA_PLATFORM", "offscreen");
    }
    const int taskCount = argc > 1 ? std::max(1, std::atoi(argv[1])) : 10;
    const bench::Job* job = bench::FindJob(argc > 2 ? argv[2] : "ipod");
    if (!job || job->profile.empty()) {
        std::fprintf(stderr, "no such converting job\n");
        return 2;
    }
    bench::BenchSource source = job->source;
    source.seconds = argc > 3 ? std::max(1, std::atoi(argv[3])) : 60;
    // Tasks convert in workers, as the program's options say by default: this build's.
    setenv("TIDEWELL_WORKER", TW_CLI_PATH, 0);
    const fs::path home =
        fs::temp_directory_path() / ("tidewell-gui-memory-" + std::to_string(getpid()));
    fs::create_directories(home);
    setenv("TIDEWELL_CONFIG_HOME", home.c_str(), 1);
    setenv("XDG_VIDEOS_DIR", (home / "videos").c_str(), 1);
    {
        QApplication app(argc, argv);
        Measure(*job, source, taskCount, home);
    }
    std::error_code ignored;
    fs::remove_all(home, ignored);
    return 0;
}
