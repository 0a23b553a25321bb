// Image files: reading, atomic saving, links and read-only folders, the working file and the
// start-up image.
#include "image/ImageFiles.h"
#include "ImageTestSupport.h"
#include "image/ImageLoading.h"

#include <gtest/gtest.h>

#include <csignal>
#include <cstdlib>
#include <fcntl.h>
#include <fstream>
#include <sys/resource.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

namespace fs = std::filesystem;

namespace {

class ImageFiles : public ::testing::Test {
protected:
    void SetUp() override {
        std::string pattern = (fs::temp_directory_path() / "image-files-XXXXXX").string();
        ASSERT_NE(::mkdtemp(pattern.data()), nullptr);
        dir_ = pattern;
    }
    void TearDown() override { fs::remove_all(dir_); }

    fs::path Write(const std::string& name, const std::string& bytes) {
        fs::path path = dir_ / name;
        std::ofstream(path, std::ios::binary) << bytes;
        return path;
    }
    static std::string Contents(const fs::path& path) {
        std::ifstream in(path, std::ios::binary);
        return {std::istreambuf_iterator<char>(in), {}};
    }
    // Files in the folder, so that a test sees leftover temporary files.
    std::size_t Entries() const {
        return static_cast<std::size_t>(std::distance(fs::directory_iterator(dir_), {}));
    }

    fs::path dir_;
};

PagerImage Filled(std::uint8_t value) {
    PagerImage image;
    image.fill(value);
    return image;
}

std::string Pattern(std::size_t size) {
    std::string bytes(size, '\0');
    for (std::size_t i = 0; i < size; ++i) {
        bytes[i] = static_cast<char>(i * 7 + 3);
    }
    return bytes;
}

TEST_F(ImageFiles, ReadTakesRawBytesUpToTheImageSize) {
    struct Case {
        std::size_t size;
        std::size_t replaced;
    };
    for (const Case c : {Case{100, 100}, Case{8192, 8192}, Case{10000, 8192}, Case{0, 0}}) {
        const std::string bytes = Pattern(c.size);
        const fs::path path = Write("file.sav", bytes);
        PagerImage image = Filled(0xEE);
        ASSERT_FALSE(ReadImageFile(path, image)) << c.size;
        EXPECT_EQ(Bytes(image, 0, c.replaced), bytes.substr(0, c.replaced));
        for (std::size_t a = c.replaced; a < kImageSize; ++a) {
            ASSERT_EQ(image[a], 0xEE) << "address " << a;
        }
    }
}

TEST_F(ImageFiles, NoTextTranslationOfLineEndsOrEndOfFileBytes) {
    const std::string bytes = std::string("W50C\r\n\x1A\n\r\x1A", 10) + std::string(8182, '\x1A');
    PagerImage image{};
    ASSERT_FALSE(ReadImageFile(Write("crlf.sav", bytes), image));
    EXPECT_EQ(Bytes(image, 0, kImageSize), bytes);
}

TEST_F(ImageFiles, ReadFailuresLeaveTheImageAlone) {
    // The pipe holds a whole image and has a writer, so a reader that takes it does not hang.
    const fs::path pipe = dir_ / "pipe.sav";
    ASSERT_EQ(::mkfifo(pipe.c_str(), 0600), 0);
    const int writer = ::open(pipe.c_str(), O_RDWR | O_NONBLOCK);
    ASSERT_EQ(::write(writer, Pattern(kImageSize).data(), kImageSize), ssize_t(kImageSize));
    for (const fs::path& path : {dir_ / "missing.sav", dir_, pipe}) {
        PagerImage image = Filled(0x11);
        const FileError error = ReadImageFile(path, image);
        ASSERT_TRUE(error) << path;
        EXPECT_NE(error->find(path.string()), std::string::npos) << *error;
        EXPECT_EQ(path == dir_ / "missing.sav",
                  error->find("not a regular file") == std::string::npos)
            << *error;
        EXPECT_EQ(image, Filled(0x11));
    }
    std::string text;
    EXPECT_TRUE(ReadRegularFile(pipe, text));
    ::close(writer);
}

TEST_F(ImageFiles, SaveWritesExactlyTheImageAndReplacesTheOldFile) {
    const fs::path path = Write("out.sav", "old contents that are shorter");
    const PagerImage image = RandomImage(9);
    ASSERT_FALSE(SaveImageFile(path, image));
    EXPECT_EQ(Contents(path), Bytes(image, 0, kImageSize));
    EXPECT_EQ(Entries(), 1U);
}

TEST_F(ImageFiles, SaveFailuresReportTheReasonAndLeaveNothingBehind) {
    const fs::path regular = Write("regular.sav", "keep me");
    fs::create_directory(dir_ / "folder");
    const fs::path targets[] = {
        dir_ / "no-such-folder" / "out.sav", // folder does not exist
        regular / "out.sav",                 // parent is a regular file
        dir_ / "folder",                     // target is a folder
    };
    for (const fs::path& target : targets) {
        const FileError error = SaveImageFile(target, Filled(1));
        ASSERT_TRUE(error) << target;
        EXPECT_NE(error->find(target.string()), std::string::npos) << *error;
        EXPECT_NE(error->find(": "), std::string::npos) << *error;
    }
    EXPECT_EQ(Contents(regular), "keep me");
    EXPECT_TRUE(fs::is_directory(dir_ / "folder"));
    EXPECT_EQ(Entries(), 2U);
}

TEST_F(ImageFiles, SaveThroughLinksReplacesTheirTargetAndKeepsTheLinks) {
    fs::create_directory(dir_ / "data");
    const fs::path real = Write("data/real.sav", "old");
    fs::create_symlink("data/real.sav", dir_ / "link.sav");
    fs::create_symlink("link.sav", dir_ / "chain.sav");
    fs::create_symlink("data/new.sav", dir_ / "dangling.sav");
    const PagerImage first = RandomImage(2);
    const PagerImage second = RandomImage(3);
    ASSERT_FALSE(SaveImageFile(dir_ / "chain.sav", first));
    ASSERT_FALSE(SaveImageFile(dir_ / "dangling.sav", second));
    for (const char* name : {"link.sav", "chain.sav", "dangling.sav"}) {
        EXPECT_TRUE(fs::is_symlink(dir_ / name)) << name;
    }
    EXPECT_EQ(Contents(real), Bytes(first, 0, kImageSize));
    EXPECT_EQ(Contents(dir_ / "data/new.sav"), Bytes(second, 0, kImageSize));
    EXPECT_EQ(std::distance(fs::directory_iterator(dir_ / "data"), {}), 2);

    fs::create_symlink("loop.sav", dir_ / "loop.sav");
    const FileError loop = SaveImageFile(dir_ / "loop.sav", first);
    ASSERT_TRUE(loop);
    EXPECT_NE(loop->find("loop.sav: "), std::string::npos) << *loop;
}

TEST_F(ImageFiles, SaveRefusesAPipeAndLeavesItInPlace) {
    const fs::path pipe = dir_ / "pipe.sav";
    ASSERT_EQ(::mkfifo(pipe.c_str(), 0600), 0);
    fs::create_symlink("pipe.sav", dir_ / "to-pipe.sav");
    for (const fs::path& target : {pipe, dir_ / "to-pipe.sav"}) {
        const FileError error = SaveImageFile(target, Filled(1));
        ASSERT_TRUE(error) << target;
        EXPECT_NE(error->find("not a regular file (a named pipe)"), std::string::npos) << *error;
    }
    EXPECT_TRUE(fs::is_fifo(pipe));
    EXPECT_EQ(Entries(), 2U);
}

// A folder the saver may not add files to, holding a file the saver may write and one it may
// not. Root may write into any folder, so as root each save runs in a child process that has
// become "nobody" and owns the writable file.
class ReadOnlyFolder : public ImageFiles {
protected:
    static constexpr uid_t kNobody = 65534;

    void SetUp() override {
        ImageFiles::SetUp();
        folder_ = dir_ / "shared";
        fs::create_directory(folder_);
        writable_ = Write("shared/image.sav", std::string(9000, 'x'));
        locked_ = Write("shared/locked.sav", "keep");
        fs::permissions(locked_, fs::perms::owner_read | fs::perms::group_read);
        if (::geteuid() == 0) {
            fs::permissions(dir_, fs::perms::owner_all | fs::perms::others_exec);
            ASSERT_EQ(::chown(writable_.c_str(), kNobody, kNobody), 0);
        } else {
            fs::permissions(folder_, fs::perms::owner_read | fs::perms::owner_exec);
        }
    }
    void TearDown() override {
        fs::permissions(folder_, fs::perms::owner_all);
        ImageFiles::TearDown();
    }

    FileError Save(const fs::path& target, const PagerImage& image) {
        if (::geteuid() != 0) {
            return SaveImageFile(target, image);
        }
        int channel[2];
        if (::pipe(channel) != 0) {
            return "no pipe";
        }
        const pid_t child = ::fork();
        if (child == 0) {
            ::close(channel[0]);
            if (::setgid(kNobody) != 0 || ::setuid(kNobody) != 0) {
                ::_exit(2);
            }
            const FileError error = SaveImageFile(target, image);
            const std::string text = error ? *error : "";
            ::_exit(::write(channel[1], text.data(), text.size()) < 0 || error ? 1 : 0);
        }
        ::close(channel[1]);
        std::string text;
        char buffer[512];
        for (ssize_t n; (n = ::read(channel[0], buffer, sizeof buffer)) > 0;) {
            text.append(buffer, static_cast<std::size_t>(n));
        }
        ::close(channel[0]);
        int status = 0;
        ::waitpid(child, &status, 0);
        return WIFEXITED(status) && WEXITSTATUS(status) == 0 ? FileError() : FileError(text);
    }

    fs::path folder_;
    fs::path writable_;
    fs::path locked_;
};

TEST_F(ReadOnlyFolder, OverwritesAWritableFileInPlaceAndReportsWhatItCannotSave) {
    struct stat before {};
    ASSERT_EQ(::stat(writable_.c_str(), &before), 0);
    const PagerImage image = RandomImage(4);
    ASSERT_EQ(Save(writable_, image), std::nullopt);
    struct stat after {};
    ASSERT_EQ(::stat(writable_.c_str(), &after), 0);
    EXPECT_EQ(after.st_ino, before.st_ino);
    EXPECT_EQ(Contents(writable_), Bytes(image, 0, kImageSize)); // the longer file was cut

    for (const fs::path& target : {locked_, folder_ / "new.sav"}) {
        const FileError error = Save(target, image);
        ASSERT_TRUE(error) << target;
        EXPECT_EQ(*error, "Cannot save " + target.string() + ": Permission denied");
    }
    EXPECT_EQ(Contents(locked_), "keep");
    EXPECT_EQ(std::distance(fs::directory_iterator(folder_), {}), 2);
}

// Lowers the file-size limit so that writes fail part-way, as on a full disk.
class FileSizeLimit {
public:
    explicit FileSizeLimit(rlim_t bytes) {
        ::getrlimit(RLIMIT_FSIZE, &saved_);
        previous_ = std::signal(SIGXFSZ, SIG_IGN);
        rlimit limit = saved_;
        limit.rlim_cur = bytes;
        ::setrlimit(RLIMIT_FSIZE, &limit);
    }
    ~FileSizeLimit() {
        ::setrlimit(RLIMIT_FSIZE, &saved_);
        std::signal(SIGXFSZ, previous_);
    }

private:
    rlimit saved_{};
    void (*previous_)(int);
};

TEST_F(ImageFiles, SaveThatFailsMidWriteKeepsTheOldFile) {
    const PagerImage old = RandomImage(1);
    const fs::path path = dir_ / "image.sav";
    ASSERT_FALSE(SaveImageFile(path, old));
    FileError error;
    {
        FileSizeLimit limit(100);
        error = SaveImageFile(path, Filled(0x55));
    }
    ASSERT_TRUE(error);
    EXPECT_NE(error->find("large"), std::string::npos) << *error;
    EXPECT_EQ(Contents(path), Bytes(old, 0, kImageSize));
    EXPECT_EQ(Entries(), 1U);
}

TEST_F(ImageFiles, WorkingFileIsJoinedWithoutALengthLimit) {
    fs::path deep = dir_;
    while (deep.string().size() < 300) {
        deep /= std::string(40, 'd');
    }
    fs::create_directories(deep);
    EXPECT_EQ(WorkingFilePath(deep.string()), deep / "TempData.sav");
    WriteWorkingFile(deep.string(), Filled(0x42));
    EXPECT_EQ(Contents(deep / "TempData.sav"), std::string(kImageSize, '\x42'));
    WriteWorkingFile((dir_ / "missing").string(), Filled(0x42)); // silent
}

// Runs in a scratch current directory, as the start-up load reads "default.sav" from there.
class StartupImage : public ImageFiles {
protected:
    void SetUp() override {
        ImageFiles::SetUp();
        previous_ = fs::current_path();
        fs::create_directory(dir_ / "cwd");
        fs::create_directory(dir_ / "work");
        fs::current_path(dir_ / "cwd");
    }
    void TearDown() override {
        fs::current_path(previous_);
        ImageFiles::TearDown();
    }
    std::string Work() const { return (dir_ / "work").string(); }

    fs::path previous_;
};

TEST_F(StartupImage, MissingFileTouchesNothing) {
    PagerImage image{};
    PagerSettings settings;
    settings.language = 3;
    EXPECT_FALSE(LoadStartupImage(image, settings, Generation::V2, Work()));
    EXPECT_EQ(image, PagerImage{});
    EXPECT_EQ(settings.language, 3);
    EXPECT_FALSE(fs::exists(WorkingFilePath(Work())));
}

TEST_F(StartupImage, LoadsDecodesAndRecordsTheWorkingFile) {
    PagerSettings saved;
    saved.capcodes[0] = 1234567;
    saved.startupText = "WELCOME";
    const PagerImage source = EncodeFor(saved, Generation::V1);
    const std::string prefix = Bytes(source, 0, 300); // a short file leaves the rest as it was
    std::ofstream("default.sav", std::ios::binary) << prefix;

    PagerImage image = Filled(0);
    PagerSettings settings;
    ASSERT_TRUE(LoadStartupImage(image, settings, Generation::V1, Work()));
    EXPECT_EQ(Bytes(image, 0, 300), prefix);
    EXPECT_EQ(settings.capcodes[0], 1234567U);
    EXPECT_EQ(settings.startupText, "WELCOME");
    EXPECT_EQ(Contents(WorkingFilePath(Work())), Bytes(image, 0, kImageSize));
}

} // namespace
