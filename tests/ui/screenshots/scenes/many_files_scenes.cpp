// Many files at once: the wizard converting several files alike (one refused), and the
// Converting list with tasks waiting for their turn.
#include <QTest>
#include <filesystem>

#include "preview/frame_preview.h"
#include "screenshots/demo_world.h"
#include "screenshots/scene_registry.h"
#include "support/media_generator.h"
#include "support/wizard_support.h"

namespace tw::screenshots {
namespace {

namespace fs = std::filesystem;

const test::TempFolder& Folder() {
    static const test::TempFolder folder;
    return folder;
}

QImage WizardManyFiles() {
    Demo().ShowConverting();
    const fs::path holiday = Folder().Path() / "Holiday 2026";
    fs::create_directories(holiday);
    QStringList files;
    for (const char* name : {"Beach.mkv", "Boat trip.mkv", "Lighthouse.mkv", "Market.mkv"}) {
        files << QString::fromStdString(test::MakeClip(holiday, name, 3));
    }
    const std::string broken = (holiday / "Notes.mkv").string();
    test::WriteFileBytes(broken, "packing list: sun cream, hats");
    files << QString::fromStdString(broken);

    ui::WizardEnvironment environment = test::WizardEnvironmentOf(Demo().World());
    environment.background = &Demo().World().data->Background();
    ui::TFormNewConversion wizard(environment, &Demo().Window());
    wizard.show();
    wizard.SetSourceFiles(files);
    test::ChooseProfile(wizard, "Video", "Matroska Video");
    test::WaitUntilIdle(wizard);
    test::WaitForPreview(wizard);
    wizard.Preview().Playback().Pause();
    wizard.Preview().SeekTo(1);
    QTest::qWait(300);
    wizard.UpdateReadyState();
    return Compose(Demo().Window(), wizard);
}

QImage QueueWaiting() {
    test::ShellWorld& world = Demo().World();
    // Two converting or paused already: the three new ones wait.
    world.configuration.PerformanceOptions().SetMaxConversions(2);
    std::vector<TAVTask*> added;
    const std::string out = world.configuration.OutputFolder() + "/";
    for (const char* name : {"Beach", "Boat trip", "Lighthouse"}) {
        const std::string source =
            test::MakeClip(Folder().Path(), std::string(name) + " (queue).mkv", 3);
        auto request = test::Request(source, out + name + ".mp4", 1, true);
        request->SetProfile("MP4 Video");
        added.push_back(&world.AddTask(std::move(request)));
    }
    Demo().ShowConverting();
    QTest::qWait(300);
    const QImage image = Grab(Demo().Window());
    // The other scenes see the demo as it was.
    for (TAVTask* task : added) {
        task->Delete(false, false);
    }
    world.configuration.PerformanceOptions().SetMaxConversions(0);
    return image;
}

TW_SCREENSHOT_SCENE("wizard-many-files", WizardManyFiles);
TW_SCREENSHOT_SCENE("main-window-queue", QueueWaiting);

}  // namespace
}  // namespace tw::screenshots
