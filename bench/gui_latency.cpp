// How the main window answers while tasks convert: the real window on its own configuration
// folder, four tasks added through New Conversion as the wizard hands them over (catalogue
// profile, thread count as the options say), and on the GUI thread
//  - the lateness of a 10 ms timer, sampled the whole time (percentiles and worst);
//  - what repainting costs: the whole window, and the task list's rows alone;
//  - how often progress asks for a row to be repainted;
//  - the program's peak memory (its own: the encoders of worker processes are not in it).
//   build/bench/gui_latency [tasks] [job] [seconds-of-source] [workers|in-process]
// Runs on the offscreen platform unless QT_QPA_PLATFORM says otherwise.
#include <unistd.h>

#include <QApplication>
#include <QElapsedTimer>
#include <QTimer>
#include <QTreeView>
#include <algorithm>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <string>
#include <thread>
#include <vector>

#include "app/qt_message_service.h"
#include "app/qt_ui_dispatcher.h"
#include "shell/data_module.h"
#include "shell/frame_explorer.h"
#include "shell/frame_list.h"
#include "shell/main_window.h"
#include "shell/new_conversion.h"
#include "support/bench_media.h"
#include "support/jobs.h"
#include "tasks/category_tree.h"
#include "tasks/configuration.h"

namespace {

namespace fs = std::filesystem;
using namespace tw;

// Times the paint work of the window as the event loop delivers it.
class TimedApplication : public QApplication {
public:
    using QApplication::QApplication;

    bool notify(QObject* receiver, QEvent* event) override {
        const QEvent::Type type = event->type();
        if (type != QEvent::UpdateRequest && type != QEvent::Paint) {
            return QApplication::notify(receiver, event);
        }
        QElapsedTimer clock;
        clock.start();
        const bool result = QApplication::notify(receiver, event);
        const double ms = static_cast<double>(clock.nsecsElapsed()) / 1e6;
        if (type == QEvent::UpdateRequest) {
            windowMs += ms;
            ++windowPaints;
        } else if (receiver == rows) {
            rowsMs += ms;
            ++rowPaints;
        }
        return result;
    }

    QObject* rows = nullptr;
    double windowMs = 0;
    int windowPaints = 0;
    double rowsMs = 0;
    int rowPaints = 0;
};

// A single-shot 10 ms timer started again at every tick; each tick notes how late it came.
class LatencySampler : public QObject {
public:
    LatencySampler() {
        timer_.setSingleShot(true);
        timer_.setTimerType(Qt::PreciseTimer);
        connect(&timer_, &QTimer::timeout, this, [this] {
            lateness_.push_back(static_cast<double>(clock_.nsecsElapsed() - due_) / 1e6);
            Arm();
        });
        clock_.start();
        Arm();
    }

    std::vector<double> Sorted() const {
        std::vector<double> values = lateness_;
        std::sort(values.begin(), values.end());
        return values;
    }

private:
    void Arm() {
        due_ = clock_.nsecsElapsed() + kIntervalNs;
        timer_.start(static_cast<int>(kIntervalNs / 1000000));
    }

    static constexpr qint64 kIntervalNs = 10'000'000;
    QTimer timer_;
    QElapsedTimer clock_;
    qint64 due_ = 0;
    std::vector<double> lateness_;
};

double Percentile(const std::vector<double>& sorted, double p) {
    if (sorted.empty()) {
        return 0;
    }
    const size_t at = std::min(sorted.size() - 1, static_cast<size_t>(p * sorted.size()));
    return sorted[at];
}

// A request as the wizard makes it.
std::unique_ptr<TConversionSettings> Request(const bench::Job& job, const std::string& source,
                                             const fs::path& target, int threads) {
    auto settings = std::make_unique<TConversionSettings>();
    settings->SetSourceFile(source);
    settings->SetTargetFile(target.string());
    settings->SetProfile(job.profile);
    bench::ConfigureEngine(job, threads, settings->ConvertOptions());
    return settings;
}

// The largest resident set of this process since it started.
double PeakMb() {
    std::FILE* status = std::fopen("/proc/self/status", "r");
    if (!status) {
        return 0;
    }
    char line[256];
    long kb = 0;
    while (std::fgets(line, sizeof line, status)) {
        if (std::sscanf(line, "VmHWM: %ld kB", &kb) == 1) {
            break;
        }
    }
    std::fclose(status);
    return static_cast<double>(kb) / 1024.0;
}

void Measure(TimedApplication& app, const bench::Job& job, const bench::BenchSource& wanted,
             int taskCount, bool workers, const fs::path& home) {
    const std::string source = bench::EnsureSource(wanted);
    ui::QtUiDispatcher dispatcher;
    platform::ScopedDispatcher installDispatcher(dispatcher);
    ui::QtMessageService messages(dispatcher);
    platform::ScopedMessageService installMessages(messages);

    TAVConfiguration configuration;
    configuration.SetPriorityApplier([](int, std::string*) { return true; });
    configuration.Load();
    configuration.SetShowAlert(false);
    configuration.PerformanceOptions().SetRunInOwnProcess(workers);
    // "Automatic" in the options, as the wizard reads it.
    const int threads = configuration.PerformanceOptions().ThreadCount() == 0
                            ? static_cast<int>(std::max(1u, std::thread::hardware_concurrency()))
                            : configuration.PerformanceOptions().ThreadCount();
    int made = 0;
    ui::ScopedNewConversion wizard([&](QWidget*, const QString&) {
        return Request(job, source, home / ("out-" + std::to_string(made++) + job.extension),
                       threads);
    });
    ui::TdmGlobal data(configuration, ui::ShellServices{nullptr, nullptr, &dispatcher});
    ui::TFormMain window(data);
    window.resize(1280, 800);
    window.show();
    app.rows = window.TaskList().View()->viewport();

    int repaintRequests = 0;
    QObject::connect(&window.TaskList().Model(), &QAbstractItemModel::dataChanged,
                     [&] { ++repaintRequests; });

    TConvertingNode& converting = *window.Explorer().Tree().ConvertingNode();
    auto* newConversion = window.findChild<QAction*>(QStringLiteral("actNewConversion"));
    for (int i = 0; i < taskCount; ++i) {
        window.UpdateActions();
        newConversion->trigger();
    }
    std::printf("tasks=%d job=%s source=%s threads=%d runs=%s platform=%s\n", taskCount,
                job.name.c_str(), bench::Describe(wanted).c_str(), threads,
                workers ? "workers" : "in-process", qPrintable(QGuiApplication::platformName()));
    std::fflush(stdout);

    QElapsedTimer wall;
    wall.start();
    LatencySampler sampler;
    QTimer watch;
    QObject::connect(&watch, &QTimer::timeout, [&] {
        const auto& tasks = converting.Tasks();
        if (std::none_of(tasks.begin(), tasks.end(), [](const auto& task) {
                return task->Status() == stRunning || task->Status() == stPaused;
            })) {
            app.quit();
        }
    });
    watch.start(100);
    app.exec();
    const double seconds = static_cast<double>(wall.elapsed()) / 1000.0;

    const std::vector<double> lateness = sampler.Sorted();
    std::printf(
        "latency samples=%zu p50_ms=%.2f p90_ms=%.2f p99_ms=%.2f max_ms=%.2f target_p99_ms=30 "
        "met=%s\n",
        lateness.size(), Percentile(lateness, 0.5), Percentile(lateness, 0.9),
        Percentile(lateness, 0.99), lateness.empty() ? 0.0 : lateness.back(),
        Percentile(lateness, 0.99) < 30 ? "yes" : "no");
    std::printf(
        "repaint seconds=%.1f row_repaints_asked=%d (%.1f/s) window_paints=%d window_ms=%.1f "
        "(%.2f ms each, %.2f%% of the time) row_paints=%d rows_ms=%.1f (%.2f ms each)\n",
        seconds, repaintRequests, repaintRequests / seconds, app.windowPaints, app.windowMs,
        app.windowPaints ? app.windowMs / app.windowPaints : 0.0,
        100.0 * app.windowMs / (seconds * 1000.0), app.rowPaints, app.rowsMs,
        app.rowPaints ? app.rowsMs / app.rowPaints : 0.0);
    std::printf("memory runs=%s program_peak_mb=%.1f\n", workers ? "workers" : "in-process",
                PeakMb());
}

}  // namespace

int main(int argc, char** argv) {
    if (qEnvironmentVariableIsEmpty("QT_QPA_PLATFORM")) {
        qputenv("QT_QPA_PLATFORM", "offscreen");
    }
    const int taskCount = argc > 1 ? std::max(1, std::atoi(argv[1])) : 4;
    const bench::Job* job = bench::FindJob(argc > 2 ? argv[2] : "ipod");
    if (!job || job->profile.empty()) {
        std::fprintf(stderr, "no such converting job\n");
        return 2;
    }
    bench::BenchSource source = job->source;
    source.seconds = argc > 3 ? std::max(1, std::atoi(argv[3])) : 60;
    const bool workers = argc <= 4 || std::string(argv[4]) != "in-process";
    setenv("TIDEWELL_WORKER", TW_CLI_PATH, 0);
    const fs::path home =
        fs::temp_directory_path() / ("tidewell-gui-bench-" + std::to_string(getpid()));
    fs::create_directories(home);
    setenv("TIDEWELL_CONFIG_HOME", home.c_str(), 1);
    setenv("XDG_VIDEOS_DIR", (home / "videos").c_str(), 1);
    {
        TimedApplication app(argc, argv);
        Measure(app, *job, source, taskCount, workers, home);
    }
    std::error_code ignored;
    fs::remove_all(home, ignored);
    return 0;
}
