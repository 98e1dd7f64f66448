// Tidewell Video Converter, the desktop program.

#include <QApplication>
#include <QMainWindow>

int main(int argc, char** argv) {
    QApplication app(argc, argv);
    QApplication::setApplicationName(QStringLiteral("Tidewell Video Converter"));
    QMainWindow window;
    window.setWindowTitle(QApplication::applicationName());
    window.show();
    return QApplication::exec();
}
