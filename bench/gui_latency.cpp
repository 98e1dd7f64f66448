// How the main window answers while tasks convert: the real window on its own configuration
// folder, four tasks added through New Conversion as the wizard hands them over (catalogue
// profile, thread count as the options say), and on the GUI thread
//  - the lateness of a 10 ms timer, sampled the whole time (percentiles and worst);
//  - what repainting costs: the whole window, and the task list's rows alone;
//  - how often progress asks for a row to be repainted;
//  - the program's peak memory (its own: the encoders of worker processes are not in it).
//   build/bench/gui_latency [tasks] [job] [seconds-of-source] [workers|in-process]
// Two more scenes sample the same lateness while the wizard works:
//   build/bench/gui_latency --slow-probe   a source chosen in the wizard is a named pipe that
//                                          delivers a few KB every 20 ms until it is examined;
//   build/bench/gui_latency --many-files [count]  that many files (30) handed to the window at
//                                          once: the wizard examines them, then they are added.
// Runs on the offscreen platform unless QT_QPA_PLATFORM says otherwise.
#include <fcntl.h>
#include <signal.h>
#include <sys/stat.h>
#include <unistd.h>

#include <QAbstractButton>
#include <QApplication>
#include <QElapsedTimer>
#include <QEventLoop>
#include <QTimer>
#include <QTreeView>
#include <algorithm>
#include <atomic>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <functional>
#include <iterator>
#include <string>
#include <thread>
#include <vector>

#include "app/file_dialog_service.h"
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
#include "wizard/form_new_conversion.h"

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

void PrintLatency(const std::vector<double>& lateness) {
    std::printf(
        "latency samples=%zu p50_ms=%.2f p90_ms=%.2f p99_ms=%.2f max_ms=%.2f target_p99_ms=30 "
        "met=%s\n",
        lateness.size(), Percentile(lateness, 0.5), Percentile(lateness, 0.9),
        Percentile(lateness, 0.99), lateness.empty() ? 0.0 : lateness.back(),
        Percentile(lateness, 0.99) < 30 ? "yes" : "no");
}

// Runs the event loop with the sampler until done holds (looked at every 20 ms); prints the
// lateness and how long it took.
void SampleUntil(TimedApplication& app, const std::function<bool()>& done) {
    QElapsedTimer wall;
    wall.start();
    LatencySampler sampler;
    QTimer watch;
    QObject::connect(&watch, &QTimer::timeout, [&] {
        if (done()) {
            // Not quit(): that would ask the window to close, which asks first while tasks convert.
            app.exit(0);
        }
    });
    watch.start(20);
    app.exec();
    std::printf("seconds=%.1f\n", static_cast<double>(wall.elapsed()) / 1000.0);
    PrintLatency(sampler.Sorted());
}

// The program's pieces the wizard scenes share: services, configuration, data, the window.
struct Program {
    Program() {
        configuration.SetPriorityApplier([](int, std::string*) { return true; });
        configuration.Load();
        configuration.SetShowAlert(false);
        data = std::make_unique<ui::TdmGlobal>(configuration,
                                               ui::ShellServices{nullptr, nullptr, &dispatcher});
        window = std::make_unique<ui::TFormMain>(*data);
        window->resize(1280, 800);
        window->show();
    }
    ~Program() {
        for (const std::string& error : messages.Errors()) {
            std::printf("error: %s\n", error.c_str());
        }
        window.reset();
        data.reset();
    }
    ui::WizardEnvironment Wizard() {
        ui::WizardEnvironment environment;
        environment.profiles = &data->Profiles();
        environment.configuration = &configuration;
        environment.tasks = &data->Environment();
        environment.background = &data->Background();
        environment.findDrives = [] { return std::vector<dvd::DvdDrive>(); };
        return environment;
    }

    ui::QtUiDispatcher dispatcher;
    platform::ScopedDispatcher installDispatcher{dispatcher};
    // Error boxes would wait for a click: what they would say is printed instead.
    platform::RecordingMessageService messages;
    platform::ScopedMessageService installMessages{messages};
    TAVConfiguration configuration;
    std::unique_ptr<ui::TdmGlobal> data;
    std::unique_ptr<ui::TFormMain> window;
};

// (a) A source on a named pipe fed a few KB every 20 ms: the wizard examines it off the UI thread.
void MeasureSlowProbe(TimedApplication& app, const fs::path& home) {
    const std::string source = bench::EnsureSource({640, 360, 10});
    const std::string pipe = (home / "slow.mp4").string();
    if (mkfifo(pipe.c_str(), 0600) != 0) {
        std::perror("mkfifo");
        return;
    }
    Program program;
    ui::QueuedFileDialogService fileDialogs;
    ui::ScopedFileDialogService installFileDialogs(fileDialogs);
    ui::TFormNewConversion wizard(program.Wizard(), program.window.get());
    wizard.show();

    std::atomic<size_t> fed{0};
    std::thread feeder([&] {
        sigset_t pipeSignal;
        sigemptyset(&pipeSignal);
        sigaddset(&pipeSignal, SIGPIPE);
        pthread_sigmask(SIG_BLOCK, &pipeSignal, nullptr);
        std::ifstream in(source, std::ios::binary);
        const std::string bytes(std::istreambuf_iterator<char>(in), {});
        const int fd = open(pipe.c_str(), O_WRONLY);
        constexpr size_t kPiece = 4096;
        for (size_t at = 0; fd >= 0 && at < bytes.size(); at += kPiece) {
            if (write(fd, bytes.data() + at, std::min(kPiece, bytes.size() - at)) < 0) {
                break;  // the examination has what it needs
            }
            fed += kPiece;
            std::this_thread::sleep_for(std::chrono::milliseconds(20));
        }
        if (fd >= 0) {
            close(fd);
        }
    });
    fileDialogs.PushAnswer(QString::fromStdString(pipe));
    QTimer::singleShot(0, &wizard, [&] {
        wizard.findChild<QAbstractButton*>(QStringLiteral("edtSourceBrowse"))->click();
    });
    bool started = false;
    std::printf("scene=slow-probe platform=%s\n", qPrintable(QGuiApplication::platformName()));
    SampleUntil(app, [&] {
        started = started || wizard.Busy();
        return started && !wizard.Busy();
    });
    std::printf("pipe_bytes_read=%zu\n", fed.load());
    feeder.join();
}

// (b) count files handed to the window at once: one wizard examines them all and opens the
// first in its preview, Start Convert, then a task each is added (and the queue starts the first).
void MeasureManyFiles(TimedApplication& app, const fs::path& home, int count) {
    const std::string source = bench::EnsureSource({640, 360, 5});
    QStringList files;
    fs::create_directories(home / "many");
    for (int i = 0; i < count; ++i) {
        const fs::path file = home / "many" / ("file-" + std::to_string(i) + ".mp4");
        fs::copy_file(source, file, fs::copy_options::overwrite_existing);
        files << QString::fromStdString(file.string());
    }
    Program program;
    const ui::WizardEnvironment environment = program.Wizard();
    // The wizard as a user drives it: Start Convert once every file is examined.
    ui::ScopedNewConversion wizard([&](QWidget* parent, const QStringList& sources) {
        ui::TFormNewConversion form(environment, parent);
        form.SetSourceFiles(sources);
        form.show();
        QEventLoop loop;
        QTimer poll;
        auto* finish = form.findChild<QAbstractButton*>(QStringLiteral("btnFinish"));
        QObject::connect(&poll, &QTimer::timeout, [&] {
            if (!program.messages.Errors().empty()) {
                std::printf("error: %s\n", program.messages.Errors().front().c_str());
                std::fflush(stdout);
                program.messages.Clear();
            }
            if (form.result() == QDialog::Accepted) {
                loop.quit();
            } else if (!form.Busy() && finish->isEnabled()) {
                finish->click();
            }
        });
        poll.start(20);
        loop.exec();
        return form.GetConversionRequests();
    });
    QTimer::singleShot(0, program.window.get(), [&] { program.window->NewConversion(files); });
    TConvertingNode& converting = *program.window->Explorer().Tree().ConvertingNode();
    std::printf("scene=many-files files=%d places=%d platform=%s\n", count,
                program.configuration.PerformanceOptions().ConversionPlaces(),
                qPrintable(QGuiApplication::platformName()));
    // From the hand-over until every file is a task and the list has been painted with them all
    // (the queue starting the first ones included).
    app.rows = program.window->TaskList().View()->viewport();
    int paintsWhenAdded = -1;
    SampleUntil(app, [&] {
        if (paintsWhenAdded < 0 && static_cast<int>(converting.Tasks().size()) == count) {
            paintsWhenAdded = app.rowPaints;
        }
        return paintsWhenAdded >= 0 && app.rowPaints > paintsWhenAdded;
    });
    std::printf("list_paints=%d list_paint_ms_mean=%.1f\n", app.rowPaints,
                app.rowPaints ? app.rowsMs / app.rowPaints : 0.0);
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
    ui::ScopedNewConversion wizard([&](QWidget*, const QStringList&) {
        ui::ConversionRequests requests;
        requests.push_back(Request(
            job, source, home / ("out-" + std::to_string(made++) + job.extension), threads));
        return requests;
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
                return task->Status() == stRunning || task->Status() == stPaused ||
                       task->Status() == stWaiting;
            })) {
            app.quit();
        }
    });
    watch.start(100);
    app.exec();
    const double seconds = static_cast<double>(wall.elapsed()) / 1000.0;

    PrintLatency(sampler.Sorted());
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
    const std::string scene = argc > 1 && argv[1][0] == '-' ? argv[1] : "";
    const int taskCount = argc > 1 ? std::max(1, std::atoi(argv[1])) : 4;
    const bench::Job* job = bench::FindJob(argc > 2 && scene.empty() ? argv[2] : "ipod");
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
        if (scene == "--slow-probe") {
            MeasureSlowProbe(app, home);
        } else if (scene == "--many-files") {
            MeasureManyFiles(app, home, argc > 2 ? std::max(1, std::atoi(argv[2])) : 30);
        } else {
            Measure(app, *job, source, taskCount, workers, home);
        }
    }
    std::error_code ignored;
    fs::remove_all(home, ignored);
    return 0;
}
