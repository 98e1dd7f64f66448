#pragma once

// A program with some history, for the pictures: categories, converted files, and tasks that
// are converting, paused and failed. Built on first use and shared by every scene; released at
// the end of the run.

#include "preview/ff_sample.h"
#include "support/shell_world.h"

namespace tw::screenshots {

class DemoWorld {
public:
    DemoWorld();
    ~DemoWorld();

    test::ShellWorld& World() { return *world_; }
    ui::TFormMain& Window() { return world_->Window(); }

    // The Converting list with the running task focused, its log below.
    void ShowConverting();
    // The default category with its converted files.
    void ShowConverted();
    // Where a converted file of the default category was written.
    std::string ConvertedFile(const std::string& name) const;

private:
    void AddConvertedFiles();
    void StartActiveTasks();

    test::TempFolder home_;
    std::unique_ptr<test::ShellWorld> world_;
    TAVTask* running_ = nullptr;
};

DemoWorld& Demo();
void ReleaseDemo();

// A 12-second film of 640x360 with sound, made on first use.
const std::string& DemoFilm();
// A small PNG picture for a logo, and a subtitle file for the film, made on first use.
const std::string& DemoLogo();
const std::string& DemoSubtitles();
// A picture of the film as the preview shows it, at 0:0:2.
preview::SamplePtr DemoPicture();

}  // namespace tw::screenshots
