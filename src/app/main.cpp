#include "mainwindow.h"
#include "util/appidentity.h"

#include <QApplication>

#include <memory>

int main(int argc, char* argv[])
{
    // FFmpeg 5 registers its formats and codecs by itself: nothing to do
    // before the application object exists.
    QApplication application(argc, argv);
    AppIdentity::apply();

    int exitCode = 0;
    {
        // The window goes before the application object: its destructor still
        // writes the settings.
        auto window = std::make_unique<MainWindow>();
        window->show();
        exitCode = QApplication::exec();
    }
    return exitCode;
}
