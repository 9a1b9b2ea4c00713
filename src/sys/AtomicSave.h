// The one way the programs write a file. A regular file, or a new one, is replaced whole or not at all:
// the bytes go to a temporary file beside it, written unbuffered and checked through its flush to the
// disk and its close, and only then renamed over the old file; any failure removes the temporary file
// and leaves the old one byte for byte. A character device or a FIFO (/dev/stdout, a pipe) is written
// into directly and never replaced; anything else (a directory, a block device, a socket) is refused.
#pragma once

#include <QByteArray>
#include <QString>

namespace quellix {

struct SaveOptions {
    // Where the directory cannot take the temporary file but the file itself can be written, the file
    // is written in place instead (not atomic; the window's block files, as the tool always could).
    bool inPlaceFallback = false;
    // Wait until a program opens a FIFO for reading (the command line); otherwise a FIFO nobody reads
    // fails at once, so that a window never hangs on it.
    bool waitForReader = false;
    // A file that must never change once written (a calibration record): an existing file of that name
    // is not replaced (the save fails), and the new file is made read-only.
    bool keepOnceWritten = false;
};

// Writes `bytes` to `path` as above. False with `error` set to the reason, in the system's words.
bool SaveFileAtomically(const QString& path, const QByteArray& bytes, const SaveOptions& options = {},
                        QString* error = nullptr);

// Whether SaveFileAtomically could write `path` now: a character device or FIFO, or a regular or new
// file in a directory that can take a new file. For a check before work that takes a while; false with
// `error` set.
bool CanSaveFile(const QString& path, QString* error);

// The system's words for an errno value, as the messages of a failed save or append give them.
QString SystemErrorText(int error);

// A write beyond the file size limit (ulimit -f) raises SIGXFSZ, which would end the program in the
// middle of a write. Ignored, such a write fails with EFBIG like any other failed write. A handler the
// program set itself stays.
void IgnoreFileSizeSignal();

} // namespace quellix
