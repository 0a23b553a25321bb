#include "ui/main/Application.h"

#include "ui/main/MainWindow.h"

#include <QTimer>

#include <cstdio>

namespace {

bool ExitAfterShowRequested() {
    return qEnvironmentVariableIntValue("PAGER_EXIT_AFTER_SHOW") == 1;
}

} // namespace

CTarnwick4730NewApp::CTarnwick4730NewApp(std::unique_ptr<UsbXpressLibrary> usb) {
    context_.usb = std::move(usb);
}

int CTarnwick4730NewApp::Run() {
    CTarnwick4730NewDlg window(MainWindowServices{context_, messages_, files_});
    if (ExitAfterShowRequested()) {
        // Runs once exec() has shown the window and its event loop has started.
        QTimer::singleShot(0, &window, [&window] {
            std::puts("shown");
            std::fflush(stdout);
            window.done(QDialog::Accepted);
        });
    }
    window.exec();
    return 0;
}
