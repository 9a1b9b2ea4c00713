#include "OpenDiagnosis.h"
#include "DeviceLocks.h"
#include "FakeTree.h"
#include "RootedPath.h"
#include "TestPty.h"

#include <QFile>

#include <cerrno>
#include <gtest/gtest.h>
#include <sys/stat.h>
#include <sys/sysmacros.h>
#include <unistd.h>

namespace quellix {

namespace {

// Tests run as root, so the user whose permissions are judged is made up: neither the owner of the
// fake device files (which belong to the test's uid and gid) nor, unless a case says so, in their group.
UserIdentity Alice(bool inDeviceGroup) {
    UserIdentity user;
    user.name = "alice";
    user.uid = ::getuid() + 1000;
    user.groups = {::getegid() + 1000};
    if (inDeviceGroup)
        user.groups.append(::getegid());
    return user;
}

const QString kFtdiById = "/dev/serial/by-id/usb-FTDI_FT232R_USB_UART_A10K3XYZ-if00-port0";

struct Case {
    const char* what;
    int err;
    QString path;
    QByteArray groupFile; // "%gid" stands for the gid the fake devices have
    bool inDeviceGroup;
    OpenFailureKind kind;
    QStringList mentions;
    QStringList absent;
};

// Devices with group rights (ttyUSB0) and without (ttyUSB1), a by-id link, and processes: minicom and
// screen hold ttyUSB0, a shell holds a pseudo-terminal (of a number no test's own pseudo-terminal gets:
// with /dev/pts/3, a test whose terminal was number 3 found the shell holding it).
void BuildMachine(const FakeTree& tree, const QByteArray& groupFile) {
    ::chmod(QFile::encodeName(tree.writeFile("/dev/ttyUSB0")).constData(), 0660);
    ::chmod(QFile::encodeName(tree.writeFile("/dev/ttyUSB1")).constData(), 0600);
    tree.makeLink(kFtdiById, "../../ttyUSB0");
    tree.writeFile("/dev/ttyUSB2");
    QByteArray group = groupFile;
    tree.writeFile("/etc/group", group.replace("%gid", QByteArray::number(::getegid())));
    tree.writeFile("/proc/4321/comm", "minicom\n");
    tree.makeLink("/proc/4321/fd/0", "/dev/pts/999");
    tree.makeLink("/proc/4321/fd/3", "/dev/ttyUSB0");
    tree.writeFile("/proc/977/comm", "screen\n");
    tree.makeLink("/proc/977/fd/5", "/dev/ttyUSB0");
    tree.writeFile("/proc/88/comm", "bash\n");
    tree.makeLink("/proc/88/fd/0", "/dev/pts/999");
    tree.makeDir("/proc/sys");
    tree.writeFile("/proc/uptime", "1.0 1.0\n");
}

TEST(DiagnoseOpenFailure, ChoosesTheReasonFromErrnoAndDeviceState) {
    const QByteArray dialout = "root:x:99999:\ndialout:x:%gid:\n";
    const QByteArray uucp = "uucp:x:%gid:bob\n";
    const QByteArray dialoutWithAlice = "dialout:x:%gid:bob,alice\n";
    const QByteArray noSuchGroup = "users:x:99999:alice\n";
    const QList<Case> cases{
        {"group grants access, user not in it",
         EACCES,
         "/dev/ttyUSB0",
         dialout,
         false,
         OpenFailureKind::GroupPermission,
         {"/dev/ttyUSB0: no permission — add your user to the group dialout", "log in again",
          "sudo usermod -aG dialout alice"},
         {}},
        {"EPERM likewise",
         EPERM,
         "/dev/ttyUSB0",
         dialout,
         false,
         OpenFailureKind::GroupPermission,
         {"group dialout"},
         {}},
        {"the owning group is named",
         EACCES,
         "/dev/ttyUSB0",
         uucp,
         false,
         OpenFailureKind::GroupPermission,
         {"group uucp, which owns the device", "usermod -aG uucp alice"},
         {"dialout"}},
        {"group without a name",
         EACCES,
         "/dev/ttyUSB0",
         noSuchGroup,
         false,
         OpenFailureKind::GroupPermission,
         {"group dialout (or the group that owns the device, number", "log in again"},
         {}},
        {"user added to the group after logging in",
         EACCES,
         "/dev/ttyUSB0",
         dialoutWithAlice,
         false,
         OpenFailureKind::NewLoginNeeded,
         {"already in the group dialout", "log out and log in again"},
         {"usermod"}},
        {"user in the group, still refused",
         EACCES,
         "/dev/ttyUSB0",
         dialout,
         true,
         OpenFailureKind::NoPermission,
         {"/dev/ttyUSB0: no permission", "security policy"},
         {"usermod"}},
        {"group has no rights",
         EACCES,
         "/dev/ttyUSB1",
         dialout,
         false,
         OpenFailureKind::NoPermission,
         {"/dev/ttyUSB1: no permission", "group dialout, -rw-------", "administrator"},
         {"usermod"}},
        {"refused and gone",
         EACCES,
         "/dev/ttyUSB5",
         dialout,
         false,
         OpenFailureKind::NoPermission,
         {"/dev/ttyUSB5: no permission"},
         {}},
        {"busy, holders readable",
         EBUSY,
         "/dev/ttyUSB0",
         dialout,
         false,
         OpenFailureKind::InUseBy,
         {"/dev/ttyUSB0: in use by another program: screen (process 977), minicom (process 4321)",
          "Close them"},
         {"bash"}},
        {"flock refused",
         EWOULDBLOCK,
         "/dev/ttyUSB0",
         dialout,
         false,
         OpenFailureKind::InUseBy,
         {"minicom"},
         {}},
        {"busy through a by-id name",
         EBUSY,
         kFtdiById,
         dialout,
         false,
         OpenFailureKind::InUseBy,
         {kFtdiById + " (/dev/ttyUSB0): in use", "minicom (process 4321)"},
         {}},
        {"busy, no holder found",
         EBUSY,
         "/dev/ttyUSB2",
         dialout,
         false,
         OpenFailureKind::InUse,
         {"/dev/ttyUSB2: in use by another program. Close it and try again."},
         {"process", "could not be named"}},
        {"missing",
         ENOENT,
         "/dev/ttyUSB5",
         dialout,
         false,
         OpenFailureKind::NotFound,
         {"/dev/ttyUSB5: device not found", "plugged in"},
         {}},
        {"no device behind the node",
         ENODEV,
         "/dev/ttyUSB0",
         dialout,
         false,
         OpenFailureKind::NotFound,
         {"device not found"},
         {}},
        {"no such device address",
         ENXIO,
         "/dev/ttyUSB0",
         dialout,
         false,
         OpenFailureKind::NotFound,
         {"device not found"},
         {}},
        {"not a tty",
         ENOTTY,
         "/dev/ttyUSB0",
         dialout,
         false,
         OpenFailureKind::NotSerial,
         {"/dev/ttyUSB0: not a serial device"},
         {}},
        {"input/output error",
         EIO,
         "/dev/ttyUSB0",
         dialout,
         false,
         OpenFailureKind::IoError,
         {"/dev/ttyUSB0: the device reported an input/output error"},
         {}},
        {"anything else",
         EINVAL,
         "/dev/ttyUSB0",
         dialout,
         false,
         OpenFailureKind::Other,
         {"/dev/ttyUSB0: the device could not be opened ("},
         {}},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.what);
        FakeTree tree;
        BuildMachine(tree, c.groupFile);
        const OpenDiagnosis diagnosis =
            AnalyseOpenFailure(c.err, c.path, tree.root(), Alice(c.inDeviceGroup));
        EXPECT_EQ(diagnosis.kind, c.kind) << diagnosis.text.toStdString();
        for (const QString& mention : c.mentions)
            EXPECT_TRUE(diagnosis.text.contains(mention))
                << diagnosis.text.toStdString() << "\nlacks: " << mention.toStdString();
        for (const QString& word : c.absent)
            EXPECT_FALSE(diagnosis.text.contains(word)) << diagnosis.text.toStdString();
    }
}

// A normal user cannot read other users' descriptors; root can read all, so a process directory whose
// fd list cannot be listed stands in for one.
TEST(DiagnoseOpenFailure, SaysSoWhenTheHolderCannotBeNamed) {
    FakeTree tree;
    BuildMachine(tree, "dialout:x:%gid:\n");
    tree.writeFile("/proc/1200/comm", "ModemManager\n");
    tree.writeFile("/proc/1200/fd", "unreadable");

    const OpenDiagnosis busy = AnalyseOpenFailure(EBUSY, "/dev/ttyUSB2", tree.root(), Alice(false));
    EXPECT_EQ(busy.kind, OpenFailureKind::InUse);
    EXPECT_TRUE(busy.text.startsWith("/dev/ttyUSB2: in use by another program, which could not be named"))
        << busy.text.toStdString();

    const OpenDiagnosis named = AnalyseOpenFailure(EBUSY, "/dev/ttyUSB0", tree.root(), Alice(false));
    EXPECT_EQ(named.kind, OpenFailureKind::InUseBy) << "holders found are named even when others are hidden";
}

// The program to close is the one holding the lock, not every program with the device open, and never
// the process on the other side of a pseudo-terminal.
TEST(DiagnoseOpenFailure, NamesTheLockHolderAndNotAPseudoTerminalsPeer) {
    TestPty pty;
    const DeviceLockHolder held(pty.path());
    FakeTree tree;
    BuildMachine(tree, "dialout:x:%gid:\n");
    struct stat st {};
    ::stat(QFile::encodeName(tree.rooted("/dev/ttyUSB0")).constData(), &st);
    const QByteArray file = QByteArray::number(major(st.st_dev), 16).rightJustified(2, '0') + ':' +
                            QByteArray::number(minor(st.st_dev), 16).rightJustified(2, '0') + ':' +
                            QByteArray::number(qulonglong(st.st_ino));
    tree.writeFile("/proc/locks", "1: FLOCK  ADVISORY  WRITE 977 " + file + " 0 EOF\n" +
                                      "1: -> FLOCK  ADVISORY  WRITE 4321 " + file + " 0 EOF\n");
    // A simulated unit holds the master of the pseudo-terminal, and its slave too.
    tree.makeLink("/dev/ttyPTY", pty.path());
    tree.writeFile("/proc/500/comm", "quellix-sim\n");
    tree.makeLink("/proc/500/fd/3", "/dev/ptmx");
    tree.writeFile("/proc/500/fdinfo/3", "pos:\t0\ntty-index:\t" + pty.path().mid(9).toUtf8() + "\n");
    tree.makeLink("/proc/500/fd/4", pty.path());
    tree.writeFile("/proc/600/comm", "picocom\n");
    tree.makeLink("/proc/600/fd/5", pty.path());
    const QString self =
        QStringLiteral("%1 (process %2).").arg(ReadAttribute("/proc/self/comm")).arg(::getpid());
    const std::tuple<QString, QString, QString> cases[] = {
        {"/dev/ttyUSB0", tree.root(), "in use by another program: screen (process 977). Close it"},
        {"/dev/ttyPTY", tree.root(), "in use by another program: picocom (process 600). Close it"},
        {pty.path(), QString(), "in use by another program: " + self}, // the machine's own lock list
    };
    for (const auto& [path, root, named] : cases) {
        const OpenDiagnosis busy = AnalyseOpenFailure(EBUSY, path, root, Alice(false));
        EXPECT_EQ(busy.kind, OpenFailureKind::InUseBy);
        EXPECT_TRUE(busy.text.contains(named)) << busy.text.toStdString();
    }
}

TEST(DiagnoseOpenFailure, UsesTheRealMachineWithoutPrefix) {
    const QString text = DiagnoseOpenFailure(ENOENT, "/dev/ttyUSB-quellix-none");
    EXPECT_TRUE(text.startsWith("/dev/ttyUSB-quellix-none: device not found")) << text.toStdString();
}

} // namespace

} // namespace quellix
