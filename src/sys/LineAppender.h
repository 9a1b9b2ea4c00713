// Appends lines to a file, each with one write(2) on an O_APPEND descriptor while holding an exclusive
// flock, so that lines from several programs never mix and each is in the kernel before Append returns:
// a crash of the program loses nothing written. A write that fails is cut back off, so the file ends
// with a whole line. One write(2) is still not whole when its program is killed in the middle of it (the
// kernel stops between two pages of the file), and a file may end in a line cut off by another program:
// such a last line gets its line break before the next line, or, for a file that holds only what its
// own appenders wrote, is removed, being no whole line of theirs.
#pragma once

#include "UniqueFd.h"

#include <QByteArray>
#include <QString>

namespace quellix {

class LineAppender {
public:
    enum class Result { Done, Failed, Deleted };
    enum class CutOffLine { Ended, Removed };

    explicit LineAppender(CutOffLine cutOff = CutOffLine::Ended) : cutOff_(cutOff) {}

    // Opens `path` for reading and appending, creating it when missing. A path that is no regular file
    // is refused and not even opened (opening a serial port, for one, changes its lines). False with
    // `error` set to the reason.
    bool Open(const QString& path, QString* error);
    void Close() { fd_.Reset(); }
    bool IsOpen() const { return fd_.IsValid(); }
    // For reading what the file holds (pread); the appender's own offset is always the end.
    int Fd() const { return fd_.Get(); }

    // Appends `line` (which ends with its line break) with one write. Failed: nothing of it stays, and
    // `reason` says why in the system's words. Deleted: the file was removed under the appender, and
    // nothing was written.
    Result Append(const QByteArray& line, QString* reason);

private:
    CutOffLine cutOff_;
    UniqueFd fd_;
};

} // namespace quellix
