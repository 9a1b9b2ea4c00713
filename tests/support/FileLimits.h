// For a scope: a lowered file size limit, under which a write fails with EFBIG as on a full disk; and
// file access checked as an unprivileged user (for the calling thread), to whom a file without read
// permission cannot be read even when the tests run as root.
#pragma once

#include <csignal>
#include <sys/fsuid.h>
#include <sys/resource.h>
#include <unistd.h>

namespace quellix {

class FileSizeLimit {
public:
    explicit FileSizeLimit(rlim_t bytes) : oldHandler_(std::signal(SIGXFSZ, SIG_IGN)) {
        ::getrlimit(RLIMIT_FSIZE, &saved_);
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
    void (*oldHandler_)(int);
    rlimit saved_{};
    bool ok_ = false;
};

class AsUnprivilegedUser {
public:
    AsUnprivilegedUser() { SetFs(65534); }
    ~AsUnprivilegedUser() { SetFs(0); }

private:
    void SetFs(uid_t id) {
        if (root_) {
            ::setfsuid(id);
            ::setfsgid(id);
        }
    }
    bool root_ = ::geteuid() == 0;
};

} // namespace quellix
