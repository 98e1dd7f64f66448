// Renders the program's windows into PNG pictures, headless:
//   tw_screenshots OUTPUT_FOLDER [SCENE...]     (no scene names: every scene)
//   tw_screenshots --list

#include <QApplication>
#include <QDir>
#include <cstdio>
#include <cstring>
#include <set>

#include "screenshots/demo_world.h"
#include "screenshots/scene_registry.h"

int main(int argc, char** argv) {
    if (qEnvironmentVariableIsEmpty("QT_QPA_PLATFORM")) {
        qputenv("QT_QPA_PLATFORM", "offscreen");
    }
    QApplication app(argc, argv);
    QApplication::setQuitOnLastWindowClosed(false);
    using tw::screenshots::Scenes;
    if (argc >= 2 && std::strcmp(argv[1], "--list") == 0) {
        for (const auto& scene : Scenes()) {
            std::printf("%s\n", scene.name.c_str());
        }
        return 0;
    }
    if (argc < 2) {
        std::fprintf(stderr, "usage: %s OUTPUT_FOLDER [SCENE...] | --list\n", argv[0]);
        return 2;
    }
    const QString folder = QString::fromLocal8Bit(argv[1]);
    QDir().mkpath(folder);
    const std::set<std::string> wanted(argv + 2, argv + argc);
    int failures = 0;
    for (const auto& scene : Scenes()) {
        if (!wanted.empty() && !wanted.count(scene.name)) {
            continue;
        }
        const QImage picture = scene.render();
        const QString file = folder + "/" + QString::fromStdString(scene.name) + ".png";
        if (picture.size() != tw::screenshots::kPictureSize) {
            std::fprintf(stderr, "%s: the picture is %dx%d, not 1280x800\n", scene.name.c_str(),
                         picture.width(), picture.height());
            ++failures;
            continue;
        }
        if (!picture.save(file)) {
            std::fprintf(stderr, "failed: %s\n", file.toLocal8Bit().constData());
            ++failures;
            continue;
        }
        std::printf("wrote %s\n", file.toLocal8Bit().constData());
    }
    tw::screenshots::ReleaseDemo();
    return failures == 0 ? 0 : 1;
}
