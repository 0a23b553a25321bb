#include "link/backends/SystemUsbLibrary.h"
#include "ui/main/Application.h"

#include <QApplication>

// pager-programmer: reads, edits and writes the configuration of a pager in a USB cradle.
int main(int argc, char** argv) {
    QApplication qtApplication(argc, argv);
    QApplication::setApplicationName(QStringLiteral("pager-programmer"));
    // No display name: Qt would append it to every window title the desktop shows. The
    // desktop entry, pager-programmer.desktop, ties the windows to the program instead.
    QApplication::setDesktopFileName(QStringLiteral("pager-programmer"));
    CTarnwick4730NewApp application(CreateSystemUsbLibrary());
    return application.Run();
}
