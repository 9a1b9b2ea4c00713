#include "CommTrace.h"

#include "SerialLog.h"

#include <QFile>

#include <atomic>
#include <cstdio>
#include <cstring>
#include <mutex>
#include <string>

namespace quellix {

namespace {

// The open trace file; closed when the program ends.
struct TraceState {
    std::mutex mutex;
    QString name;
    std::FILE* file = nullptr;
    std::atomic<bool> on{false};

    ~TraceState() { Close(); }
    void Close() {
        if (file)
            std::fclose(file);
        file = nullptr;
        on.store(false);
    }
};

TraceState& State() {
    static TraceState state;
    return state;
}

} // namespace

void SetTraceFileName(const QString& name) {
    TraceState& state = State();
    const std::lock_guard lock(state.mutex);
    if (name == state.name)
        return;
    state.Close();
    state.name = name;
    if (name.isEmpty())
        return;
    state.file = std::fopen(QFile::encodeName(name).constData(), "ae");
    if (!state.file)
        qCWarning(lcSerial) << "cannot open trace file" << name << std::strerror(errno);
    state.on.store(state.file != nullptr);
}

QString TraceFileName() {
    TraceState& state = State();
    const std::lock_guard lock(state.mutex);
    return state.name;
}

void CommTrace(std::string_view text) {
    TraceState& state = State();
    if (!state.on.load(std::memory_order_relaxed))
        return;
    const std::lock_guard lock(state.mutex);
    if (!state.file)
        return;
    std::fwrite(text.data(), 1, text.size(), state.file);
    std::fputc('\n', state.file);
    std::fflush(state.file);
}

void CommErrorTrace(int errorCode, std::string_view prefix) {
    if (!State().on.load(std::memory_order_relaxed))
        return;
    std::string line(prefix);
    if (const char* text = strerrordesc_np(errorCode)) {
        line += "GetLastError returned: \"";
        line += text;
        line += '"';
    } else {
        line += "Out of memory";
    }
    CommTrace(line);
}

} // namespace quellix
