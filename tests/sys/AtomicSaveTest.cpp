// The one save of every file, where it meets what is no regular file; full disks and size limits are
// tested where the programs meet them.
#include "AtomicSave.h"

#include "TempDir.h"

#include <QDir>
#include <QFile>
#include <gtest/gtest.h>

#include <cstring>
#include <sys/stat.h>

namespace quellix {

TEST(AtomicSave, WhatIsNoRegularFileIsWrittenIntoOrRefusedButNeverReplaced) {
    TempDir dir;
    const QString fifo = dir.file("fifo");
    ASSERT_EQ(::mkfifo(QFile::encodeName(fifo).constData(), 0600), 0);
    ASSERT_TRUE(QDir(dir.path()).mkdir("folder"));
    const struct {
        QString path;
        QString error;
    } cases[] = {{fifo, "no program reads from this FIFO"},
                 {dir.file("folder"), "it is a directory"},
                 {"/dev/full", QString::fromLocal8Bit(std::strerror(ENOSPC))}};
    for (const auto& c : cases) {
        SCOPED_TRACE(c.path.toStdString());
        QString error;
        EXPECT_FALSE(SaveFileAtomically(c.path, "x", {}, &error));
        EXPECT_EQ(error, c.error);
        struct stat st {};
        ASSERT_EQ(::stat(QFile::encodeName(c.path).constData(), &st), 0);
        EXPECT_FALSE(S_ISREG(st.st_mode));
    }
    EXPECT_FALSE(CanSaveFile(dir.file("folder"), nullptr));
    EXPECT_FALSE(CanSaveFile(dir.file("no/such/dir/x"), nullptr));
}

} // namespace quellix
