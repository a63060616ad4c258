// The kelmon program: the application object's start-up (login and main frame), the message
// loop while the main frame lives, and the application's exit.
#include <QApplication>
#include <QWidget>

#include "kelmon/RegisterParts.h"
#include "platform/ui/WindowLayer.h"
#include "platform/ui/Wnd.h"
#include "shell/MainFrame.h"
#include "shell/TradeApp.h"

int main(int argc, char** argv) {
    QApplication application(argc, argv);
    // The run ends with the main frame, not with whichever top-level window closes last
    // (the login dialog closes before the frame exists).
    QApplication::setQuitOnLastWindowClosed(false);
    platform::ui::EnsureWindowLayer();
    kelmon::RegisterParts();

    shell::CTradeApp::Environment environment;
    environment.createMainFrame = shell::CreateMainFrame;
    shell::CTradeApp app(std::move(environment));
    SetApplicationMessageFilter([&app](MSG* msg) { return app.PreTranslateMessage(msg); });

    int code = 0;
    if (app.InitInstance()) {
        QObject::connect(
            app.MainWnd()->GetWidget(), &QObject::destroyed, &application,
            [] { QCoreApplication::quit(); }, Qt::QueuedConnection);
        code = QApplication::exec();
    }
    SetApplicationMessageFilter({});
    const int exitCode = app.ExitInstance();
    return code != 0 ? code : exitCode;
}
