#include "Recorder.h"

#include "AtomicSave.h"

#include <unistd.h>

namespace quellix {

namespace {

// The first line of the file, up to 4 KiB of it.
QByteArray FirstLine(int fd) {
    QByteArray head(4096, '\0');
    const ssize_t n = ::pread(fd, head.data(), static_cast<std::size_t>(head.size()), 0);
    head.truncate(n > 0 ? n : 0);
    const qsizetype end = head.indexOf('\n');
    return end >= 0 ? head.left(end) : head;
}

} // namespace

Recorder::Recorder() {
    IgnoreFileSizeSignal();
}

bool Recorder::Start(const QString& path, const QByteArray& header) {
    Stop();
    error_.clear();
    otherChannels_ = false;
    lines_ = 0;
    path_ = path;
    QString why;
    if (!file_.Open(path, &why)) {
        error_ = QStringLiteral("Cannot record to %1: %2").arg(path, why);
        return false;
    }
    const off_t size = ::lseek(file_.Fd(), 0, SEEK_END);
    if (size > 0 && !TakesLinesOf(file_.Fd(), header)) {
        Stop();
        return false;
    }
    // A last line cut off by someone else gets its line break from the appender before the next line.
    if (size != 0)
        return true;
    if (const QString why = WriteLine(header); !why.isEmpty()) {
        Stop();
        error_ = QStringLiteral("Cannot record to %1: %2").arg(path, why);
        return false;
    }
    return true;
}

bool Recorder::Append(const Reading& reading) {
    if (!Running())
        return false;
    const QString why = WriteLine(CsvLine(reading));
    if (why.isEmpty()) {
        ++lines_;
        return true;
    }
    Stop();
    error_ = QStringLiteral("Recording to %1 stopped: %2.").arg(path_, why);
    return false;
}

void Recorder::Stop() {
    file_.Close();
}

// Lines go after what the file holds only when it is a recording of the same columns: under another
// header they would be read as values of other channels.
bool Recorder::TakesLinesOf(int fd, const QByteArray& header) {
    QByteArray first = FirstLine(fd);
    if (first.endsWith('\r'))
        first.chop(1);
    if (first.startsWith("\xEF\xBB\xBF"))
        first.remove(0, 3);
    if (!IsCsvHeader(first)) {
        error_ = QStringLiteral("Cannot record to %1: it holds something else than recorded readings "
                                "(its first line is no \"Time,...\" header)")
                     .arg(path_);
        return false;
    }
    if (first + '\n' != header) {
        otherChannels_ = true;
        error_ = QStringLiteral("Cannot add to %1: it records other columns (other tags, units or channels) "
                                "than this recording would write")
                     .arg(path_);
        return false;
    }
    return true;
}

// One write; on failure whatever part of `line` reached the file is cut off again. Returns why it
// failed, empty when it did not.
QString Recorder::WriteLine(const QByteArray& line) {
    QString why;
    switch (file_.Append(line, &why)) {
    case LineAppender::Result::Done:
        return {};
    case LineAppender::Result::Deleted:
        return QStringLiteral("the file was deleted or its directory removed, and the %1 lines "
                              "recorded went with it")
            .arg(lines_);
    case LineAppender::Result::Failed:
        break;
    }
    return QStringLiteral("%1. The %2 lines recorded before are kept").arg(why).arg(lines_);
}

} // namespace quellix
