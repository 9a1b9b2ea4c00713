// Conditions of the file system for a scope: a lowered file size limit, under which a write fails with
// EFBIG as on a full disk, and file access checked as an unprivileged user, to whom a file without read
// permission cannot be read even when the tests run as root.
#pragma once

#include <csignal>
#include <sys/fsuid.h>
#include <sys/resource.h>
#include <unistd.h>

namespace quellix {

class FileSizeLimit {
public:
    explicit FileSizeLimit(rlim_t bytes) {
        ::getrlimit(RLIMIT_FSIZE, &saved_);
        oldHandler_ = std::signal(SIGXFSZ, SIG_IGN);
        rlimit limit = saved_;
        limit.rlim_cur = bytes;
        ok_ = ::setrlimit(RLIMIT_FSIZE, &limit) == 0;
    }
    ~FileSizeLimit() {
        ::setrlimit(RLIMIT_FSIZE, &saved_);
        std::signal(SIGXFSZ, oldHandler_);
    }
    bool Ok() const { return ok_; }

private:
    rlimit saved_{};
    void (*oldHandler_)(int) = nullptr;
    bool ok_ = false;
};

// For the calling thread only; root's file capabilities come back at the end of the scope.
class AsUnprivilegedUser {
public:
    AsUnprivilegedUser() : root_(::geteuid() == 0) {
        if (root_) {
            ::setfsgid(Nobody);
            ::setfsuid(Nobody);
        }
    }
    ~AsUnprivilegedUser() {
        if (root_) {
            ::setfsuid(0);
            ::setfsgid(0);
        }
    }

private:
    static constexpr uid_t Nobody = 65534;
    bool root_;
};

} // namespace quellix
