// Configuration files ("qlx") and the autosave file: exactly the block's 242-byte image.
#pragma once

#include "ConfigBlock.h"

#include <QByteArray>
#include <QString>
#include <functional>

namespace quellix {

// Receives each message for the user; the window shows a modal box, tests record the texts.
using MessageSink = std::function<void(const QString& message)>;

// Replaces the file `name` with the block's 242 bytes. A failure shows "Cannot Save " + name and leaves
// any previous file as it was.
void SaveBlockFile(const ConfigBlock& block, const QString& name, const MessageSink& report);

// Reads the first 242 bytes of `name` into the block; true when a full block was read. Every failure is
// reported before it returns false, and leaves the block as it was.
bool LoadBlockFile(ConfigBlock& block, const QString& name, const MessageSink& report);

// The outcome of reading a block file, for callers that word their own messages. A file that holds the
// text form (ConfigFiles.h) is no block image, whatever its first 242 bytes.
struct BlockFileRead {
    enum Status { Loaded, NotFound, CannotRead, TooShort, TextForm };
    Status status = NotFound;
    ConfigBlock block{};  // the image when Loaded
    qint64 size = 0;      // bytes found when TooShort
    QString systemReason; // the system's words when CannotRead, if it gave any
};
BlockFileRead ReadBlockFile(const QString& name);

} // namespace quellix
