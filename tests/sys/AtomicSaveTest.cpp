// The one save of every file the programs write: whole or not at all, and never a rename over what is
// not a regular file.
#include "AtomicSave.h"

#include "FileLimits.h"
#include "TempDir.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <gtest/gtest.h>

#include <cstring>
#include <fcntl.h>
#include <sys/stat.h>
#include <sys/sysmacros.h>
#include <thread>

namespace quellix {

namespace {

QByteArray Native(const QString& path) {
    return QFile::encodeName(path);
}

} // namespace

// Measured before: a buffered save under a full disk left a 92-byte file empty and reported success.
TEST(AtomicSave, AFailingWriteLeavesThePreviousFileByteForByte) {
    TempDir dir;
    const QByteArray old(92, 'o');
    const QString path = dir.write("quellix.INI", old);
    QString error;
    {
        FileSizeLimit limit(50);
        ASSERT_TRUE(limit.Ok());
        EXPECT_FALSE(SaveFileAtomically(path, QByteArray(200, 'n'), {}, &error));
    }
    EXPECT_EQ(error, QString::fromLocal8Bit(std::strerror(EFBIG)));
    EXPECT_EQ(TempDir::read(path), old);
    EXPECT_EQ(QDir(dir.path()).entryList(QDir::Files | QDir::Hidden), QStringList{"quellix.INI"});
}

// What is not a regular file is written into or refused; it is never replaced by one.
TEST(AtomicSave, WritesIntoADeviceOrFifoAndRefusesWhatElseIsNoFile) {
    TempDir dir;
    const QString fifo = dir.file("fifo");
    ASSERT_EQ(::mkfifo(Native(fifo).constData(), 0600), 0);
    QString error;
    EXPECT_FALSE(SaveFileAtomically(fifo, "nobody reads", {}, &error));
    EXPECT_EQ(error, "no program reads from this FIFO");

    QByteArray read;
    std::thread reader([&] { read = TempDir::read(fifo); });
    EXPECT_TRUE(SaveFileAtomically(fifo, "through the pipe", SaveOptions{.waitForReader = true}, &error))
        << error.toStdString();
    reader.join();
    EXPECT_EQ(read, "through the pipe");

    ASSERT_TRUE(QDir(dir.path()).mkdir("folder"));
    EXPECT_FALSE(SaveFileAtomically(dir.file("folder"), "x", {}, &error));
    EXPECT_EQ(error, "it is a directory");
    EXPECT_FALSE(CanSaveFile(dir.file("folder"), &error));
    EXPECT_FALSE(CanSaveFile(dir.file("no/such/dir/x"), &error));
    EXPECT_TRUE(CanSaveFile(fifo, &error));

    struct stat st {};
    ASSERT_EQ(::stat(Native(fifo).constData(), &st), 0);
    EXPECT_TRUE(S_ISFIFO(st.st_mode));
    EXPECT_TRUE(QFileInfo(dir.file("folder")).isDir());
}

// As root, a save to /dev/null once replaced the device node with a regular file.
TEST(AtomicSave, ACharacterDeviceStaysADevice) {
    TempDir dir;
    const QString null = dir.file("null");
    const QString full = dir.file("full");
    if (::mknod(Native(null).constData(), S_IFCHR | 0666, makedev(1, 3)) != 0 ||
        ::mknod(Native(full).constData(), S_IFCHR | 0666, makedev(1, 7)) != 0)
        GTEST_SKIP() << "mknod needs CAP_MKNOD: " << std::strerror(errno);
    QString error;
    EXPECT_TRUE(SaveFileAtomically(null, "gone", {}, &error)) << error.toStdString();
    EXPECT_FALSE(SaveFileAtomically(full, "no room", {}, &error));
    EXPECT_EQ(error, QString::fromLocal8Bit(std::strerror(ENOSPC)));
    for (const QString& device : {null, full}) {
        struct stat st {};
        ASSERT_EQ(::stat(Native(device).constData(), &st), 0);
        EXPECT_TRUE(S_ISCHR(st.st_mode)) << device.toStdString();
    }
    EXPECT_EQ(QDir(dir.path()).entryList(QDir::Files | QDir::Hidden | QDir::System).size(), 2);
}

} // namespace quellix
