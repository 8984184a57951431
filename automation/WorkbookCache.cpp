#include "automation/WorkbookCache.h"

#include "automation/WorkbookReader.h"

#include <sys/stat.h>

#include <mutex>
#include <optional>

namespace tabellix {

namespace {

// What a file looked like when it was read.
struct TFileStamp {
    dev_t Device = 0;
    ino_t Inode = 0;
    off_t Size = 0;
    timespec Modified{};
    timespec Changed{};

    bool operator==(const TFileStamp& other) const {
        return Device == other.Device && Inode == other.Inode && Size == other.Size &&
               Same(Modified, other.Modified) && Same(Changed, other.Changed);
    }
    static bool Same(const timespec& a, const timespec& b) {
        return a.tv_sec == b.tv_sec && a.tv_nsec == b.tv_nsec;
    }
};

std::optional<TFileStamp> StampOf(const std::string& fileName) {
    struct stat status {};
    if (::stat(fileName.c_str(), &status) != 0)
        return std::nullopt;
    return TFileStamp{status.st_dev, status.st_ino, status.st_size, status.st_mtim, status.st_ctim};
}

struct TKept {
    std::mutex Lock;
    int Scopes = 0;
    std::string FileName;
    TFileStamp Stamp;
    std::shared_ptr<TWorkbook> Book;
};

TKept& Kept() {
    static TKept kept;
    return kept;
}

} // namespace

TWorkbookCacheScope::TWorkbookCacheScope() {
    std::lock_guard<std::mutex> guard(Kept().Lock);
    ++Kept().Scopes;
}

TWorkbookCacheScope::~TWorkbookCacheScope() {
    std::shared_ptr<TWorkbook> released;
    std::lock_guard<std::mutex> guard(Kept().Lock);
    if (--Kept().Scopes == 0)
        released = std::move(Kept().Book);
}

std::shared_ptr<TWorkbook> OpenCachedWorkbook(const std::string& fileName) {
    TKept& kept = Kept();
    std::unique_lock<std::mutex> guard(kept.Lock);
    if (kept.Scopes == 0) {
        guard.unlock();
        return OpenWorkbookFile(fileName);
    }
    // Looked at before the read, so a change made while it reads shows on
    // the next open.
    const std::optional<TFileStamp> stamp = StampOf(fileName);
    if (kept.Book && stamp && kept.FileName == fileName && kept.Stamp == *stamp)
        return kept.Book;
    kept.Book.reset();
    std::shared_ptr<TWorkbook> book = OpenWorkbookFile(fileName);
    if (stamp) {
        kept.FileName = fileName;
        kept.Stamp = *stamp;
        kept.Book = book;
    }
    return book;
}

} // namespace tabellix
