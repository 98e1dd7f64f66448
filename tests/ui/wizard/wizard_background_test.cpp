// The wizard's slow work happens off the UI thread: a source that delivers its bytes slowly is
// examined while the main window goes on answering, and closing the program while a disc is
// scanned does not wait for the scan.
#include <gtest/gtest.h>

#include <fcntl.h>
#include <signal.h>
#include <sys/stat.h>
#include <unistd.h>

#include <QAbstractButton>
#include <QComboBox>
#include <QLabel>
#include <QLineEdit>
#include <QTabWidget>
#include <QTest>
#include <condition_variable>
#include <fstream>
#include <future>
#include <iterator>
#include <mutex>
#include <thread>

#include "dvd/dvd_navigator.h"
#include "support/media_generator.h"
#include "support/wizard_support.h"

namespace tw::test {
namespace {

// Writes a file's bytes into a named pipe, one small piece for each grant.
class PacedFeeder {
public:
    PacedFeeder(const std::string& pipe, const std::string& file) {
        std::ifstream in(file, std::ios::binary);
        bytes_.assign(std::istreambuf_iterator<char>(in), {});
        thread_ = std::thread([this, pipe] { Feed(pipe); });
    }
    ~PacedFeeder() {
        {
            std::lock_guard lock(mutex_);
            ended_ = true;
        }
        granted_.notify_all();
        thread_.join();
    }

    void Grant() {
        {
            std::lock_guard lock(mutex_);
            ++grants_;
        }
        granted_.notify_all();
    }
    size_t Pieces() const { return (bytes_.size() + kPiece - 1) / kPiece; }

private:
    static constexpr size_t kPiece = 4096;

    void Feed(const std::string& pipe) {
        // A reader that stops early makes the write fail instead of ending the program.
        sigset_t pipeSignal;
        sigemptyset(&pipeSignal);
        sigaddset(&pipeSignal, SIGPIPE);
        pthread_sigmask(SIG_BLOCK, &pipeSignal, nullptr);
        const int fd = open(pipe.c_str(), O_WRONLY);  // waits for the reader
        for (size_t at = 0; fd >= 0 && at < bytes_.size(); at += kPiece) {
            std::unique_lock lock(mutex_);
            granted_.wait(lock, [this] { return ended_ || grants_ > 0; });
            if (ended_) {
                break;
            }
            --grants_;
            lock.unlock();
            if (write(fd, bytes_.data() + at, std::min(kPiece, bytes_.size() - at)) < 0) {
                break;
            }
        }
        if (fd >= 0) {
            close(fd);
        }
    }

    std::string bytes_;
    std::mutex mutex_;
    std::condition_variable granted_;
    int grants_ = 0;
    bool ended_ = false;
    std::thread thread_;
};

TEST(WizardBackground, ASlowPipeIsExaminedWhileTheMainWindowAnswers) {
    TempFolder home;
    const std::string clip = MakeClip(home.Path(), "clip.mkv", 2);
    const std::string pipe = home / "slow.mkv";
    ASSERT_EQ(mkfifo(pipe.c_str(), 0600), 0);
    ShellWorld world(home.Path());
    ui::WizardEnvironment environment = WizardEnvironmentOf(world);
    environment.background = &world.data->Background();
    ui::TFormNewConversion wizard(environment);
    wizard.show();
    PacedFeeder feeder(pipe, clip);

    world.fileDialogs.PushAnswer(QString::fromStdString(pipe));
    Find<QAbstractButton>(&wizard, "edtSourceBrowse")->click();
    ASSERT_TRUE(wizard.Busy());
    EXPECT_FALSE(Find<QAbstractButton>(&wizard, "btnFinish")->isEnabled());
    // Each piece of the pipe follows an event the main window has answered: the examination can
    // only end if the window kept answering while it ran.
    int answered = 0;
    bool pinging = false;
    std::function<void()> ping = [&] {
        pinging = true;
        QMetaObject::invokeMethod(
            &world.Window(),
            [&] {
                pinging = false;
                ++answered;
                feeder.Grant();
                if (wizard.Busy()) {
                    ping();
                }
            },
            Qt::QueuedConnection);
    };
    ping();
    ASSERT_TRUE(world.WaitFor([&] { return !wizard.Busy() && !pinging; }));
    EXPECT_GE(answered, 3);
    EXPECT_EQ(Find<QLineEdit>(&wizard, "edtSource")->text().toStdString(), pipe);
    EXPECT_TRUE(world.Errors().empty()) << world.Errors().join("; ").toStdString();
}

TEST(WizardBackground, ClosingWhileADiscIsScannedDoesNotWaitForTheScan) {
    TempFolder home;
    auto scanning = std::make_shared<std::promise<void>>();
    auto release = std::make_shared<std::promise<void>>();
    auto returned = std::make_shared<std::promise<void>>();
    std::future<void> scanStarted = scanning->get_future();
    std::future<void> scanReturned = returned->get_future();
    {
        ShellWorld world(home.Path());
        ui::WizardEnvironment environment = WizardEnvironmentOf(world);
        environment.background = &world.data->Background();
        environment.findDrives = [] {
            return std::vector<dvd::DvdDrive>{{"/dev/sr0", "/dev/sr0", "HOLIDAY"}};
        };
        environment.scanTitles = [scanning, release, returned](const std::string&) {
            scanning->set_value();
            release->get_future().wait();  // a drive that never answers
            returned->set_value();
            return std::vector<dvd::DvdTitle>();
        };
        ui::TFormNewConversion wizard(environment);
        wizard.show();
        Find<QTabWidget>(&wizard, "pgcSource")->setCurrentIndex(1);
        auto* drives = Find<QComboBox>(&wizard, "cbbDvd");
        ASSERT_TRUE(world.WaitFor([&] { return drives->isEnabled() && drives->count() == 2; }));
        drives->setCurrentIndex(0);
        ASSERT_EQ(scanStarted.wait_for(std::chrono::seconds(30)), std::future_status::ready);
        EXPECT_EQ(Find<QLabel>(&wizard, "lblDiscBusy")->text(), "Scanning disc…");
        EXPECT_FALSE(Find<QComboBox>(&wizard, "cbbTitle")->isEnabled());
        wizard.UpdateReadyState();
        EXPECT_FALSE(Find<QAbstractButton>(&wizard, "btnFinish")->isEnabled());
        wizard.reject();
        EXPECT_FALSE(wizard.isVisible());
        // The program ends here, the scan still running.
    }
    EXPECT_NE(scanReturned.wait_for(std::chrono::seconds(0)), std::future_status::ready);
    release->set_value();
    EXPECT_EQ(scanReturned.wait_for(std::chrono::seconds(30)), std::future_status::ready);
}

}  // namespace
}  // namespace tw::test
