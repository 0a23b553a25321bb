#include "link/backends/SystemUsbLibrary.h"
#include "ui/main/Application.h"

#include <QApplication>

// pager-programmer: reads, edits and writes the configuration of a pager in a USB cradle.
int main(int argc, char** argv) {
    QApplication qtApplication(argc, argv);
    QApplication::setApplicationName(QStringLiteral("pager-programmer"));
    QApplication::setApplicationDisplayName(QStringLiteral("Pager Programmer"));
    CTarnwick4730NewApp application(CreateSystemUsbLibrary());
    return application.Run();
}
