// Appends readings to a CSV file, one line per reading, through the one line appender (LineAppender.h):
// one write(2) a line, so a line is in the kernel before the next reading comes and a crash of the
// program loses nothing written. A write that fails stops the recording and cuts off the part of the
// failing line that did get through, so the file always ends with a whole line.
#pragma once

#include "LineAppender.h"
#include "ReadingFormat.h"

#include <QString>
#include <cstdint>

namespace quellix {

class Recorder {
public:
    Recorder();

    // Opens `path` for appending, creating it when missing. An empty file gets `header` first; a
    // recording under the same header keeps its lines and gets no second header. False, with Error()
    // set, when the file cannot be opened or written, is not a regular file, holds something else, or
    // is a recording under another header (OtherChannels()).
    bool Start(const QString& path, const QByteArray& header);
    // Appends the reading's line. False when the recording is not running or the write failed; a
    // failure stops the recording, and Error() tells why.
    bool Append(const Reading& reading);
    // Closes the file; nothing more is written.
    void Stop();

    bool Running() const { return file_.IsOpen(); }
    QString Path() const { return path_; }
    // Lines of readings appended since Start.
    std::int64_t Lines() const { return lines_; }
    // Why the last Start or Append failed, for the user, naming the file; empty when none did.
    QString Error() const { return error_; }
    // The last Start found a recording of other columns, whose header is not `header`.
    bool OtherChannels() const { return otherChannels_; }

private:
    QString WriteLine(const QByteArray& line);
    bool TakesLinesOf(int fd, const QByteArray& header);

    LineAppender file_;
    QString path_;
    std::int64_t lines_ = 0;
    QString error_;
    bool otherChannels_ = false;
};

} // namespace quellix
