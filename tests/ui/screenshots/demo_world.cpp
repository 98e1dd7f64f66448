#include "screenshots/demo_world.h"

#include <QTest>
#include <cstdio>

#include "preview/frame_preview.h"
#include "preview/video_view.h"

#include "profiles/profile_catalogue.h"
#include "profiles/profile_list.h"
#include "support/media_generator.h"

namespace tw::screenshots {

namespace {

test::TempFolder& AssetFolder() {
    static test::TempFolder folder;
    return folder;
}

std::unique_ptr<DemoWorld>& Instance() {
    static std::unique_ptr<DemoWorld> demo;
    return demo;
}

void Check(bool ok, const char* what) {
    if (!ok) {
        std::fprintf(stderr, "screenshots: %s did not happen in time\n", what);
    }
}

}  // namespace

DemoWorld& Demo() {
    if (!Instance()) {
        Instance() = std::make_unique<DemoWorld>();
    }
    return *Instance();
}

void ReleaseDemo() {
    Instance().reset();
}

const std::string& DemoFilm() {
    static const std::string path = [] {
        test::ClipDescription clip;
        clip.width = 640;
        clip.height = 360;
        clip.durationSec = 12;
        const std::string file = AssetFolder() / "Sailing trip.mkv";
        test::GenerateClip(clip, file);
        return file;
    }();
    return path;
}

const std::string& DemoLogo() {
    static const std::string path = [] {
        test::ClipDescription picture;
        picture.width = 64;
        picture.height = 64;
        picture.durationSec = 0.04;
        picture.audioCodec.clear();
        picture.videoCodec = "png";
        picture.pixelFormat = "rgb24";
        const std::string file = AssetFolder() / "logo.png";
        test::GenerateClip(picture, file);
        return file;
    }();
    return path;
}

preview::SamplePtr DemoPicture() {
    static const preview::SamplePtr picture = [] {
        ui::FramePreview preview;
        preview.OpenSource(QString::fromStdString(DemoFilm()));
        preview.Playback().Pause();
        preview.SeekTo(2);
        Check(QTest::qWaitFor([&] { return preview.View()->HasPicture(); }, 60000),
              "the film's picture");
        return preview.View()->Picture();
    }();
    return picture;
}

const std::string& DemoSubtitles() {
    static const std::string path = [] {
        const std::string file = AssetFolder() / "Sailing trip.srt";
        test::WriteBytes(file, "1\n00:00:01,000 --> 00:00:04,000\nCasting off\n");
        return file;
    }();
    return path;
}

DemoWorld::DemoWorld() : world_(std::make_unique<test::ShellWorld>(home_.Path())) {
    TCategoryTree& tree = Window().Explorer().Tree();
    const std::string videos = home_ / "videos";
    tree.NewCategory(*tree.DefaultCategory(), "Holidays", videos + "/Holidays");
    tree.NewCategory(*tree.DefaultCategory(), "Music", videos + "/Music");
    AddConvertedFiles();
    StartActiveTasks();
}

DemoWorld::~DemoWorld() {
    world_.reset();
}

void DemoWorld::AddConvertedFiles() {
    const std::string out = home_ / "videos/Conversion/";
    const auto catalogue = CreateBuiltInCatalogue();
    struct Done {
        const char* source;
        const char* target;
        const char* profile;
        double seconds;
    };
    for (const Done& done : {Done{"Harbour at dawn.mkv", "Harbour at dawn.mp4", "MP4 Video", 6},
                             Done{nullptr, "Interview.mp4", "IPod 320x240 Video", 4},
                             Done{"Garden party.mp4", "Garden party.mkv", "Matroska Video", 5}}) {
        // The interview is the widescreen film, so the device's 4:3 frame shows it letterboxed.
        const std::string source =
            done.source ? test::MakeClip(home_.Path(), done.source, done.seconds) : DemoFilm();
        auto request = test::Request(source, out + done.target, 1);
        request->SetProfile(done.profile);
        // The profile's own settings, as the wizard takes them (the device's frame size above all).
        if (const auto* profile = catalogue->FindByDescription(done.profile)) {
            profile->ApplyTo(request->ConvertOptions());
        }
        world_->AddTask(std::move(request));
    }
    Check(world_->WaitFor([&] { return world_->Converting().Tasks().empty(); }),
          "converting the finished files");
}

std::string DemoWorld::ConvertedFile(const std::string& name) const {
    return home_ / ("videos/Conversion/" + name);
}

void DemoWorld::StartActiveTasks() {
    const std::string out = home_ / "videos/Conversion/";
    auto sailing = test::Request(test::MakeClip(home_.Path(), "Sailing trip.mkv", 20),
                                 out + "Sailing trip.mp4", 2, true);
    sailing->SetProfile("IPod 320x240 Video");
    // The encoder's note about the sample rate gives the log pane a line to show.
    sailing->ConvertOptions().AudioOptions().SetAudioSampleRate(44000);
    auto dinner = test::Request(test::MakeClip(home_.Path(), "Family dinner.mkv", 20),
                                out + "Family dinner.mp4", 1, true);
    dinner->SetProfile("MP4 Video");
    const std::string broken = home_ / "Old camcorder tape.avi";
    test::WriteRandomFile(broken, 64 * 1024, 7);
    auto tape = test::Request(broken, out + "Old camcorder tape.mp4", 1, true);
    tape->SetProfile("DVD Video (PAL)");

    running_ = &world_->AddTask(std::move(sailing));
    TAVTask& paused = world_->AddTask(std::move(dinner));
    TAVTask& failed = world_->AddTask(std::move(tape));
    Check(world_->WaitFor([&] { return paused.Converter().Progress() >= 15; }), "progress");
    paused.Pause();
    Check(world_->WaitFor([&] { return running_->Converter().Progress() >= 42; }), "progress");
    Check(world_->WaitFor([&] { return failed.Status() == stError; }), "the failure");
}

void DemoWorld::ShowConverting() {
    ui::TFrameExplorer& explorer = Window().Explorer();
    explorer.SelectNode(*explorer.Tree().ConvertingNode());
    Window().TaskList().SelectTask(*running_);
    Window().UpdateActions();
}

void DemoWorld::ShowConverted() {
    ui::TFrameExplorer& explorer = Window().Explorer();
    explorer.SelectNode(*explorer.Tree().DefaultCategory());
    const std::vector<TAVTask*> rows = world_->Rows();
    if (!rows.empty()) {
        Window().TaskList().SelectTask(*rows.front());
    }
    Window().UpdateActions();
}

}  // namespace tw::screenshots
