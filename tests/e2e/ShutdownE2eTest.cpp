// The real program stopped from outside, as a kill, Ctrl-C, a closed terminal or a service manager
// stop it: it closes as by its close box, writing the form state and the autosave once, and exits 0.
#include "BlockImages.h"
#include "ConfigBlock.h"
#include "MemIniFile.h"
#include "TempDir.h"

#include <QDir>
#include <QFileInfo>
#include <QTest>
#include <gtest/gtest.h>

#include <csignal>
#include <cstring>
#include <fcntl.h>
#include <optional>
#include <spawn.h>
#include <string>
#include <sys/wait.h>
#include <unistd.h>
#include <vector>

namespace quellix {

namespace {

// quellix, headless, started in `startDir` with its form-state file in `configDir`; what it logs goes
// to a file the test reads.
class ToolProcess {
public:
    ToolProcess(const QString& startDir, const QString& configDir) {
        std::vector<std::string> environment;
        for (char** e = environ; *e; ++e) {
            const std::string entry = *e;
            if (!entry.starts_with("XDG_CONFIG_HOME=") && !entry.starts_with("QT_LOGGING_RULES=") &&
                !entry.starts_with("QT_QPA_PLATFORM="))
                environment.push_back(entry);
        }
        environment.push_back("XDG_CONFIG_HOME=" + configDir.toStdString());
        environment.push_back("QT_QPA_PLATFORM=offscreen");
        environment.push_back(
            "QT_LOGGING_RULES=quellix.startup.info=true\nquellix.window.info=true\nquellix.port.info=true\n"
            "quellix.config.warning=true");
        std::vector<char*> envp;
        for (std::string& entry : environment)
            envp.push_back(entry.data());
        envp.push_back(nullptr);

        posix_spawn_file_actions_t actions;
        posix_spawn_file_actions_init(&actions);
        const std::string dir = startDir.toStdString();
        posix_spawn_file_actions_addchdir_np(&actions, dir.c_str());
        posix_spawn_file_actions_addopen(&actions, STDOUT_FILENO, "/dev/null", O_WRONLY, 0);
        const std::string log = logFile().toStdString();
        posix_spawn_file_actions_addopen(&actions, STDERR_FILENO, log.c_str(), O_WRONLY | O_CREAT | O_TRUNC,
                                         0600);
        // Whatever the test runner ignores, the program starts as from a terminal.
        posix_spawnattr_t attributes;
        posix_spawnattr_init(&attributes);
        sigset_t defaults;
        sigemptyset(&defaults);
        for (const int s : {SIGTERM, SIGINT, SIGHUP})
            sigaddset(&defaults, s);
        posix_spawnattr_setsigdefault(&attributes, &defaults);
        posix_spawnattr_setflags(&attributes, POSIX_SPAWN_SETSIGDEF);
        std::string program = QUELLIX_PATH;
        char* argv[] = {program.data(), nullptr};
        if (::posix_spawn(&pid_, argv[0], &actions, &attributes, argv, envp.data()) != 0)
            pid_ = -1;
        posix_spawnattr_destroy(&attributes);
        posix_spawn_file_actions_destroy(&actions);
    }
    ~ToolProcess() {
        if (pid_ > 0) {
            ::kill(pid_, SIGKILL);
            ::waitpid(pid_, nullptr, 0);
        }
    }

    QString log() const { return QString::fromLocal8Bit(TempDir::read(logFile())); }
    bool waitForLog(const QString& text, int timeoutMs) const {
        return QTest::qWaitFor([&] { return log().contains(text); }, timeoutMs);
    }
    // Never with a pid of 0 or -1, which would signal the whole group or every process there is.
    void signal(int signalNumber) const {
        if (pid_ > 0)
            ::kill(pid_, signalNumber);
    }
    // The exit code, -1 for an end by a signal, nothing while it still runs after `timeoutMs`.
    std::optional<int> waitForExit(int timeoutMs) {
        [[maybe_unused]] const bool ended = QTest::qWaitFor(
            [&] {
                int status = 0;
                if (pid_ <= 0 || ::waitpid(pid_, &status, WNOHANG) != pid_)
                    return false;
                pid_ = -1;
                exit_ = WIFEXITED(status) ? WEXITSTATUS(status) : -1;
                return true;
            },
            timeoutMs);
        return exit_;
    }

private:
    QString logFile() const { return logDir_.file("stderr"); }

    TempDir logDir_;
    pid_t pid_ = -1;
    std::optional<int> exit_;
};

QByteArray DefaultsImage() {
    return BlockImage(DefaultBlock());
}

class Shutdown : public testing::Test {
protected:
    QString FormStatePath() const { return config.file("quellix.INI"); }
    QString AutosavePath() const { return start.file("quellix.ini"); }
    QString Stored(const QString& key) const {
        return TMemIniFile(FormStatePath()).ReadString(u"TForm1", key).value_or("<missing>");
    }

    TempDir start;
    TempDir config;
};

TEST(ShutdownBySignal, EachStopSignalWritesBothFilesAndExitsWithZero) {
    for (const int signalNumber : {SIGTERM, SIGHUP, SIGINT}) {
        SCOPED_TRACE(strsignal(signalNumber));
        TempDir start;
        TempDir config;
        ToolProcess tool(start.path(), config.path());
        ASSERT_TRUE(tool.waitForLog("first paint", 30000)) << tool.log().toStdString();
        ASSERT_FALSE(QFileInfo::exists(start.file("quellix.ini")));
        tool.signal(signalNumber);
        EXPECT_EQ(tool.waitForExit(30000), 0) << tool.log().toStdString();
        EXPECT_EQ(TempDir::read(start.file("quellix.ini")), DefaultsImage());
        const TMemIniFile state(config.file("quellix.INI"));
        // "Visible" is 0 when the window's close saved it, 1 when only its destruction did.
        EXPECT_EQ(state.ReadString(u"TForm1", u"Visible"), QString("0"));
        EXPECT_EQ(state.ReadString(u"TForm1", u"Com_1_Checked"), QString("False"));
    }
}

// A service manager sends SIGKILL seconds after SIGTERM: a failing save must not hold up the other,
// and nothing may wait for an OK. Failures go to standard error.
TEST(ShutdownBySignal, AFailingSaveNeitherWaitsNorHoldsUpTheOther) {
    struct Case {
        const char* what;
        bool autosaveFails; // else the form state's directory cannot be made
    };
    for (const Case c : {Case{"the form state fails", false}, Case{"the autosave fails", true}}) {
        SCOPED_TRACE(c.what);
        TempDir start;
        TempDir config;
        const QString formState = c.autosaveFails ? config.file("quellix.INI")
                                                  : config.write("plain", "a file") + "/config/quellix.INI";
        const QString autosave = start.file("quellix.ini");
        ASSERT_TRUE(!c.autosaveFails || QDir(start.path()).mkdir("quellix.ini"));
        ToolProcess tool(start.path(), QFileInfo(formState).path());
        ASSERT_TRUE(tool.waitForLog("first paint", 30000)) << tool.log().toStdString();
        tool.signal(SIGTERM);
        // What a service manager allows; the tool's destructor sends SIGKILL after it.
        EXPECT_EQ(tool.waitForExit(1000), 0) << tool.log().toStdString();
        const QString failed = c.autosaveFails ? autosave : formState;
        EXPECT_EQ(tool.log().count("quellix: Cannot Save " + failed), 1) << tool.log().toStdString();
        if (c.autosaveFails) {
            EXPECT_EQ(TMemIniFile(formState).ReadString(u"TForm1", u"Visible"), QString("0"));
        } else {
            EXPECT_EQ(TempDir::read(autosave), DefaultsImage());
        }
    }
}

TEST_F(Shutdown, SignalDuringAStartupMessageEndsItAndClosesInOrder) {
    config.write("quellix.INI",
                 "[TForm1]\nCom_1_Checked=True\n[Ports]\nCOM1=" + start.file("no-such-tty").toUtf8() + "\n");
    ToolProcess tool(start.path(), config.path());
    ASSERT_TRUE(tool.waitForLog("not opened", 30000)) << tool.log().toStdString();
    EXPECT_FALSE(tool.waitForExit(1000).has_value()) << "the message waits for its OK";
    tool.signal(SIGTERM);
    EXPECT_EQ(tool.waitForExit(30000), 0) << tool.log().toStdString();
    EXPECT_FALSE(tool.log().contains("first paint")) << "the window never appeared";
    EXPECT_EQ(TempDir::read(AutosavePath()), DefaultsImage());
    EXPECT_EQ(Stored("Com_1_Checked"), "True") << "the port tried is tried again at the next start";
    EXPECT_EQ(Stored("Visible"), "0");
}

} // namespace

} // namespace quellix
