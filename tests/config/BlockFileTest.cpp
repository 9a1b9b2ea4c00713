#include "BlockFile.h"
#include "BlockImages.h"
#include "FileLimits.h"
#include "TempDir.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <gtest/gtest.h>

#include <csignal>
#include <cstring>
#include <random>
#include <sys/resource.h>
#include <sys/stat.h>

namespace quellix {

namespace {

ConfigBlock randomBlock(unsigned seed) {
    ConfigBlock block;
    std::mt19937 rng(seed);
    for (std::size_t i = 0; i < ConfigBlockSize; ++i)
        BlockBytes(block)[i] = static_cast<std::uint8_t>(rng());
    return block;
}

class BlockFileTest : public testing::Test {
protected:
    MessageSink sink() {
        return [this](const QString& m) { messages << m; };
    }
    TempDir dir;
    QStringList messages;
};

} // namespace

TEST_F(BlockFileTest, SaveAndLoadKeepAll242Bytes) {
    const ConfigBlock saved = randomBlock(1);
    const QString name = dir.file("plant.qlx");
    SaveBlockFile(saved, name, sink());
    EXPECT_EQ(TempDir::read(name), BlockImage(saved));

    ConfigBlock loaded = randomBlock(2);
    EXPECT_TRUE(LoadBlockFile(loaded, name, sink()));
    EXPECT_EQ(BlockImage(loaded), BlockImage(saved));
    EXPECT_TRUE(messages.isEmpty());
}

TEST_F(BlockFileTest, LoadByFileLength) {
    struct Case {
        int length;
        bool loads;
    };
    const Case cases[] = {{300, true}, {242, true}, {241, false}, {100, false}, {0, false}};
    const ConfigBlock content = randomBlock(3);
    for (const auto& c : cases) {
        SCOPED_TRACE(c.length);
        messages.clear();
        QByteArray bytes = BlockImage(content).repeated(2).left(c.length);
        const QString name = dir.write(QString("f%1.qlx").arg(c.length), bytes);
        const ConfigBlock before = randomBlock(4);
        ConfigBlock block = before;
        EXPECT_EQ(LoadBlockFile(block, name, sink()), c.loads);
        if (c.loads) {
            EXPECT_TRUE(messages.isEmpty());
            EXPECT_EQ(BlockImage(block), BlockImage(content));
        } else {
            EXPECT_EQ(messages, QStringList{"ERROR " + name});
            EXPECT_EQ(BlockImage(block), BlockImage(before)) << "a short file leaves the block untouched";
        }
    }
}

TEST_F(BlockFileTest, LoadReportsWhatIsNotAFile) {
    const QString missing = dir.file("missing.qlx");
    const QString directory = dir.file("folder.qlx");
    QDir().mkdir(directory);
    const QString fifo = dir.file("pipe.qlx");
    ASSERT_EQ(mkfifo(fifo.toLocal8Bit().constData(), 0600), 0);

    const ConfigBlock before = randomBlock(5);
    ConfigBlock block = before;
    EXPECT_FALSE(LoadBlockFile(block, missing, sink()));
    EXPECT_FALSE(LoadBlockFile(block, directory, sink()));
    EXPECT_FALSE(LoadBlockFile(block, fifo, sink()));
    EXPECT_EQ(messages, (QStringList{"ERROR " + missing + " not found", "ERROR " + directory + " not found",
                                     "Cannot Read " + fifo}));
    EXPECT_EQ(BlockImage(block), BlockImage(before));
}

TEST_F(BlockFileTest, SaveReplacesALongerFileWithExactly242Bytes) {
    const QString name = dir.write("long.qlx", QByteArray(1000, 'x'));
    const ConfigBlock block = randomBlock(6);
    SaveBlockFile(block, name, sink());
    EXPECT_TRUE(messages.isEmpty());
    EXPECT_EQ(TempDir::read(name), BlockImage(block));
}

TEST_F(BlockFileTest, SaveFollowsASymbolicLinkAndKeepsPermissions) {
    const QString target = dir.write("target.qlx", QByteArray(242, 'o'));
    ASSERT_EQ(chmod(target.toLocal8Bit().constData(), 0640), 0);
    const QString link = dir.file("link.qlx");
    ASSERT_TRUE(QFile::link(target, link));

    const ConfigBlock block = randomBlock(7);
    SaveBlockFile(block, link, sink());
    EXPECT_TRUE(messages.isEmpty());
    EXPECT_TRUE(QFileInfo(link).isSymLink());
    EXPECT_EQ(TempDir::read(target), BlockImage(block));
    struct stat st {};
    ASSERT_EQ(stat(target.toLocal8Bit().constData(), &st), 0);
    EXPECT_EQ(st.st_mode & 07777, 0640u);
}

TEST_F(BlockFileTest, FailedSavesReportAndKeepTheOldFile) {
    const QString directory = dir.file("folder.qlx");
    QDir().mkdir(directory);
    const QString inMissingDir = dir.file("nowhere/plant.qlx");
    const ConfigBlock block = randomBlock(8);

    SaveBlockFile(block, directory, sink());
    SaveBlockFile(block, inMissingDir, sink());
    EXPECT_EQ(messages, (QStringList{"Cannot Save " + directory, "Cannot Save " + inMissingDir}));
    EXPECT_TRUE(QFileInfo(directory).isDir());
    EXPECT_FALSE(QFileInfo::exists(inMissingDir));
}

TEST_F(BlockFileTest, AFailingWriteLeavesThePreviousFileByteForByte) {
    const QByteArray old = BlockImage(randomBlock(9));
    const QString name = dir.write("plant.qlx", old);
    {
        FileSizeLimit limit(100);
        SaveBlockFile(randomBlock(10), name, sink());
    }
    EXPECT_EQ(messages, QStringList{"Cannot Save " + name});
    EXPECT_EQ(TempDir::read(name), old);
    EXPECT_EQ(QDir(dir.path()).entryList(QDir::Files), QStringList{"plant.qlx"}) << "no temporary file left";
}

} // namespace quellix
