// Starts the real program under a virtual X server, photographs the screen and checks that the
// window is there and painted: its title found by the window manager tools, the background
// picture and the button faces visible.
#include <QColor>
#include <QFile>
#include <QImage>
#include <QProcess>
#include <QStandardPaths>
#include <QTemporaryDir>

#include <gtest/gtest.h>

namespace {

constexpr const char* kShootScript = R"(
"$1" & program=$!
found=no
for _ in $(seq 1 300); do
    if xdotool search --name 'Pager Programmer v3.05' >/dev/null 2>&1; then found=yes; break; fi
    sleep 0.1
done
echo "$found" > "$3"
sleep 1
import -window root "$2"
kill "$program"
wait "$program" 2>/dev/null
exit 0
)";

int CountPixels(const QImage& image, QRgb colour) {
    int count = 0;
    for (int y = 0; y < image.height(); ++y) {
        const auto* line = reinterpret_cast<const QRgb*>(image.constScanLine(y));
        for (int x = 0; x < image.width(); ++x) {
            count += (line[x] & 0xFFFFFF) == (colour & 0xFFFFFF);
        }
    }
    return count;
}

TEST(Screenshot, TheProgramShowsItsPaintedWindowUnderX) {
    for (const char* tool : {"xvfb-run", "import", "xdotool"}) {
        if (QStandardPaths::findExecutable(QString::fromLatin1(tool)).isEmpty()) {
            GTEST_SKIP() << tool << " is not installed";
        }
    }
    QTemporaryDir folder;
    ASSERT_TRUE(folder.isValid());
    const QString shot = folder.filePath(QStringLiteral("shot.png"));
    const QString found = folder.filePath(QStringLiteral("found.txt"));

    QProcess xvfb;
    xvfb.setWorkingDirectory(folder.path());
    QProcessEnvironment environment = QProcessEnvironment::systemEnvironment();
    environment.remove(QStringLiteral("QT_QPA_PLATFORM"));
    environment.insert(QStringLiteral("PAGER_NO_LIBUSB"), QStringLiteral("1"));
    // Its own virtual-cradle folder, so cradles of other programs are not seen.
    environment.insert(QStringLiteral("XDG_RUNTIME_DIR"), folder.path());
    xvfb.setProcessEnvironment(environment);
    xvfb.start(QStringLiteral("xvfb-run"),
               {QStringLiteral("-a"), QStringLiteral("-s"),
                QStringLiteral("-screen 0 1280x1024x24"), QStringLiteral("sh"),
                QStringLiteral("-c"), QString::fromLatin1(kShootScript), QStringLiteral("shoot"),
                QStringLiteral(PAGER_PROGRAMMER_BINARY), shot, found});
    ASSERT_TRUE(xvfb.waitForFinished(90'000)) << xvfb.readAllStandardError().toStdString();

    QFile foundFile(found);
    ASSERT_TRUE(foundFile.open(QIODevice::ReadOnly)) << xvfb.readAllStandardError().toStdString();
    EXPECT_EQ(foundFile.readAll().trimmed(), "yes");
    QImage image(shot);
    ASSERT_FALSE(image.isNull());
    image = image.convertToFormat(QImage::Format_RGB32);
    // The header band of the background picture and the faces of the five buttons.
    EXPECT_GT(CountPixels(image, qRgb(0x1f, 0x4f, 0x8c)), 2000);
    EXPECT_GT(CountPixels(image, qRgb(236, 233, 216)), 5 * 1000);
}

} // namespace
