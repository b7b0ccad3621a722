// Saving a file without ever damaging the old one: AtomicFile writes a
// temporary beside the target, syncs it and renames it over the target.
#include "files/files.h"

#include <dirent.h>
#include <fcntl.h>
#include <sys/file.h>
#include <sys/mman.h>
#include <sys/stat.h>
#include <sys/uio.h>
#include <unistd.h>

#include <algorithm>
#include <atomic>
#include <cctype>
#include <cerrno>
#include <chrono>
#include <climits>
#include <cstring>
#include <ctime>
#include <random>
#include <system_error>
#include <thread>

namespace host {

// ---- AtomicFile -----------------------------------------------------------

namespace {

constexpr char kTempMark[] = ".vornabel-";
constexpr char kTempSuffix[] = ".tmp";
constexpr size_t kTempRandom = 8;  // hex digits

std::string Hex64(uint64_t v) {
    char buf[17];
    std::snprintf(buf, sizeof buf, "%016llx", static_cast<unsigned long long>(v));
    return buf;
}

uint64_t Fnv1a(const std::string& s) {
    uint64_t h = 1469598103934665603ull;
    for (unsigned char c : s) {
        h ^= c;
        h *= 1099511628211ull;
    }
    return h;
}

std::string FileNamePart(const std::string& path) {
    size_t sep = path.rfind('/');
    return sep == std::string::npos ? path : path.substr(sep + 1);
}

std::string FolderOf(const std::string& path) {
    size_t sep = path.rfind('/');
    if (sep == std::string::npos) return ".";
    if (sep == 0) return "/";
    return path.substr(0, sep);
}

mode_t CurrentUmask() {
    if (std::FILE* f = std::fopen("/proc/self/status", "re")) {
        char line[256];
        unsigned mask = 0;
        bool found = false;
        while (std::fgets(line, sizeof line, f))
            if (std::sscanf(line, "Umask: %o", &mask) == 1) {
                found = true;
                break;
            }
        std::fclose(f);
        if (found) return static_cast<mode_t>(mask);
    }
    mode_t m = ::umask(022);
    ::umask(m);
    return m;
}

// True when name is a temporary file of stem: stem, the mark, kTempRandom hex
// digits, the suffix.
bool IsTempOf(const std::string& name, const std::string& stem) {
    const size_t mark = sizeof kTempMark - 1, suffix = sizeof kTempSuffix - 1;
    if (name.size() != stem.size() + mark + kTempRandom + suffix) return false;
    if (name.compare(0, stem.size(), stem) != 0) return false;
    if (name.compare(stem.size(), mark, kTempMark) != 0) return false;
    for (size_t i = 0; i < kTempRandom; ++i)
        if (!std::isxdigit(static_cast<unsigned char>(name[stem.size() + mark + i]))) return false;
    return name.compare(name.size() - suffix, suffix, kTempSuffix) == 0;
}

// Removes what interrupted saves of the same target left in folder: files
// that nobody holds locked and that have not changed for a while (a save
// that runs holds its temporary file locked from its creation on).
void RemoveStaleTemps(const std::string& folder, const std::string& stem, const std::string& own) {
    DIR* d = ::opendir(folder.c_str());
    if (!d) return;
    const time_t now = std::time(nullptr);
    std::vector<std::string> stale;
    while (dirent* e = ::readdir(d)) {
        std::string name = e->d_name;
        if (name == own || !IsTempOf(name, stem)) continue;
        stale.push_back(name);
    }
    ::closedir(d);
    for (const std::string& name : stale) {
        std::string p = folder + "/" + name;
        int fd = ::open(p.c_str(), O_RDONLY | O_NOFOLLOW | O_NONBLOCK | O_CLOEXEC);
        if (fd < 0) continue;
        struct stat st;
        bool old = ::fstat(fd, &st) == 0 && S_ISREG(st.st_mode) &&
                   now - st.st_mtime > AtomicFile::kStaleTempSeconds;
        if (old && ::flock(fd, LOCK_EX | LOCK_NB) == 0) ::unlink(p.c_str());
        ::close(fd);
    }
}

// Follows symbolic links from path to the file they lead to. Returns the
// path to write, or an empty string with *err set.
std::string ResolveLinks(const std::string& path, int* err, bool* dangling) {
    std::string p = path;
    for (int hops = 0; hops <= 40; ++hops) {
        struct stat st;
        if (::lstat(p.c_str(), &st) != 0) {
            if (errno == ENOENT && hops > 0) {
                *dangling = true;
                return "";
            }
            if (errno == ENOENT) return p;  // a new file
            *err = errno;
            return "";
        }
        if (!S_ISLNK(st.st_mode)) return p;
        std::vector<char> buf(static_cast<size_t>(st.st_size > 0 ? st.st_size : 255) + 1);
        ssize_t n = ::readlink(p.c_str(), buf.data(), buf.size());
        if (n < 0) {
            *err = errno;
            return "";
        }
        if (static_cast<size_t>(n) >= buf.size()) {  // the link changed meanwhile
            --hops;
            continue;
        }
        std::string to(buf.data(), static_cast<size_t>(n));
        if (to.empty()) {
            *err = ENOENT;
            return "";
        }
        p = to[0] == '/' ? to : FolderOf(p) + "/" + to;
    }
    *err = ELOOP;
    return "";
}

}  // namespace

std::string AtomicFile::TempStem(const std::string& name, size_t namemax) {
    const size_t extra = 1 + (sizeof kTempMark - 1) + kTempRandom + (sizeof kTempSuffix - 1);
    if (name.size() + extra <= namemax) return "." + name;
    // Too long: the start of the name and a hash of all of it, so the stem
    // still belongs to this one target.
    size_t keep = namemax > extra + 17 + 16 ? std::min(name.size(), namemax - extra - 17 - 16) : 0;
    return "." + name.substr(0, keep) + "~" + Hex64(Fnv1a(name));
}

AtomicFile::AtomicFile(const std::string& target, Links links) : links_(links) {
    std::string t = NativePath(target);
    if (t.empty()) {
        Fail("No file name given");
        return;
    }
    if (t.back() == '/') {
        Fail(SystemError(EISDIR));
        return;
    }
    // The file to replace.
    if (links == Links::Follow) {
        int err = 0;
        bool dangling = false;
        path_ = ResolveLinks(t, &err, &dangling);
        if (dangling) {
            Fail("The symbolic link points to a file that does not exist");
            return;
        }
        if (path_.empty()) {
            Fail(SystemError(err));
            return;
        }
    } else {
        path_ = t;
    }
    struct stat st;
    if (::lstat(path_.c_str(), &st) == 0) {
        if (S_ISDIR(st.st_mode)) {
            Fail(SystemError(EISDIR));
            return;
        }
        if (!S_ISREG(st.st_mode) && !(links == Links::Replace && S_ISLNK(st.st_mode))) {
            Fail("Not a regular file");
            return;
        }
    } else if (errno != ENOENT) {
        Fail(SystemError(errno));
        return;
    }
    const std::string folder = FolderOf(path_);
    long namemax = ::pathconf(folder.c_str(), _PC_NAME_MAX);
    const std::string stem = TempStem(FileNamePart(path_), namemax > 0 ? static_cast<size_t>(namemax) : 255);
    std::random_device rd;
    for (int attempt = 0; attempt < 16 && fd_ < 0; ++attempt) {
        char random[kTempRandom + 1];
        std::snprintf(random, sizeof random, "%08x", static_cast<unsigned>(rd()));
        std::string name = stem + kTempMark + random + kTempSuffix;
        std::string candidate = folder + "/" + name;
        int fd = ::open(candidate.c_str(), O_WRONLY | O_CREAT | O_EXCL | O_CLOEXEC | O_NOFOLLOW, 0600);
        if (fd < 0) {
            if (errno == EEXIST) continue;
            Fail(SystemError(errno));
            return;
        }
        // Held until the file is renamed or removed: a save that runs keeps
        // its temporary file from being taken for a leftover.
        ::flock(fd, LOCK_EX | LOCK_NB);
        fd_ = fd;
        temp_ = candidate;
        RemoveStaleTemps(folder, stem, name);
    }
    if (fd_ < 0 && error_.empty()) Fail(SystemError(EEXIST));
}

AtomicFile::~AtomicFile() { Discard(); }

bool AtomicFile::Fail(const std::string& why) {
    if (error_.empty()) error_ = why;
    return false;
}

void AtomicFile::Discard() {
    pieces_.clear();
    staged_.clear();
    if (fd_ >= 0) {
        ::close(fd_);
        fd_ = -1;
    }
    if (!temp_.empty()) {
        ::unlink(temp_.c_str());
        temp_.clear();
    }
}

bool AtomicFile::Write(const uint8_t* bytes, size_t count) {
    if (!Ok()) return false;
    if (count == 0) return true;
    if (!pieces_.empty()) {
        Piece& last = pieces_.back();
        // The same bytes as those that follow the last shared stretch in its
        // buffer (a header that did not change): the stretch grows instead.
        if (last.ptr && static_cast<size_t>(last.wholeend - (last.ptr + last.len)) >= count &&
            std::memcmp(last.ptr + last.len, bytes, count) == 0) {
            last.len += count;
            return true;
        }
        if (!last.ptr && last.soff + last.len == staged_.size()) {
            staged_.insert(staged_.end(), bytes, bytes + count);
            last.len += count;
            return staged_.size() < (size_t{1} << 20) || Flush();
        }
    }
    if (pieces_.size() >= kMaxPieces && !Flush()) return false;
    Piece p;
    p.soff = staged_.size();
    p.len = count;
    staged_.insert(staged_.end(), bytes, bytes + count);
    pieces_.push_back(p);
    return staged_.size() < (size_t{1} << 20) || Flush();
}

bool AtomicFile::WriteShared(std::span<const uint8_t> bytes, size_t offset, size_t count) {
    if (!Ok()) return false;
    if (offset > bytes.size() || count > bytes.size() - offset) return Fail(SystemError(EINVAL));
    if (count == 0) return true;
    const uint8_t* ptr = bytes.data() + offset;
    const uint8_t* end = bytes.data() + bytes.size();
    // Small pieces are cheaper copied than gathered.
    if (count < 256) return Write(ptr, count);
    if (!pieces_.empty()) {
        Piece& last = pieces_.back();
        if (last.ptr && last.ptr + last.len == ptr) {
            last.len += count;
            return true;
        }
        // Staged bytes that equal those just before ptr in the same buffer
        // (the headers in front of an unchanged leaf): written from the
        // buffer instead, joined to the stretch before them where they meet.
        if (!last.ptr && last.len <= offset && last.soff + last.len == staged_.size() &&
            std::memcmp(staged_.data() + last.soff, ptr - last.len, last.len) == 0) {
            staged_.resize(last.soff);
            const uint8_t* start = ptr - last.len;
            pieces_.pop_back();
            if (!pieces_.empty() && pieces_.back().ptr && pieces_.back().ptr + pieces_.back().len == start) {
                pieces_.back().len += (ptr - start) + count;
                return true;
            }
            Piece p;
            p.ptr = start;
            p.wholeend = end;
            p.len = static_cast<size_t>(ptr - start) + count;
            pieces_.push_back(p);
            return true;
        }
    }
    if (pieces_.size() >= kMaxPieces && !Flush()) return false;
    Piece p;
    p.ptr = ptr;
    p.wholeend = end;
    p.len = count;
    pieces_.push_back(p);
    return true;
}

bool AtomicFile::Flush() {
    if (fd_ < 0) return false;
    std::vector<iovec> iov;
    iov.reserve(pieces_.size());
    for (const Piece& p : pieces_) {
        const uint8_t* base = p.ptr ? p.ptr : staged_.data() + p.soff;
        iov.push_back({const_cast<uint8_t*>(base), p.len});
    }
    // Writing back to the disk is started every few megabytes, so that it
    // runs while the rest is still being written instead of all of it
    // waiting for the sync of Commit.
    constexpr off_t kWriteBackStep = off_t{8} << 20;
    off_t written = ::lseek(fd_, 0, SEEK_CUR), started = written;
    size_t i = 0;
    while (i < iov.size()) {
        if (written >= 0 && written - started >= kWriteBackStep) {
#ifdef SYNC_FILE_RANGE_WRITE
            ::sync_file_range(fd_, started, written - started, SYNC_FILE_RANGE_WRITE);
#endif
            started = written;
        }
        // One call takes at most kMaxPieces pieces and kWriteBackStep bytes
        // (the last piece cut short for the call when it would pass that).
        size_t n = 0, room = static_cast<size_t>(kWriteBackStep), cut = 0;
        while (i + n < iov.size() && n < kMaxPieces && room > 0) {
            if (iov[i + n].iov_len > room) {
                cut = iov[i + n].iov_len;
                iov[i + n].iov_len = room;
            }
            room -= iov[i + n].iov_len;
            ++n;
        }
        ssize_t w = ::writev(fd_, iov.data() + i, static_cast<int>(n));
        if (cut) iov[i + n - 1].iov_len = cut;
        if (w < 0) {
            if (errno == EINTR) continue;
            int e = errno;
            pieces_.clear();
            staged_.clear();
            return Fail(SystemError(e));
        }
        if (w == 0) {
            pieces_.clear();
            staged_.clear();
            return Fail(SystemError(EIO));
        }
        // Step over what was written; a piece written in part goes on from there.
        if (written >= 0) written += w;
        size_t done = static_cast<size_t>(w);
        while (i < iov.size() && done >= iov[i].iov_len) {
            done -= iov[i].iov_len;
            ++i;
        }
        if (i < iov.size()) {
            iov[i].iov_base = static_cast<uint8_t*>(iov[i].iov_base) + done;
            iov[i].iov_len -= done;
        }
    }
    pieces_.clear();
    staged_.clear();
    return true;
}

bool AtomicFile::Commit() {
    if (!Ok() || stream_.Failed()) {
        if (error_.empty()) Fail(SystemError(EIO));
        Discard();
        return false;
    }
    bool ok = Flush();
    // Owner, group and mode of the file being replaced, given only now, so
    // that the new contents are private until they are complete.
    mode_t mode = 0;
    struct stat st;
    const int there = ok ? ::lstat(path_.c_str(), &st) : -1;
    const int lstaterr = there == 0 ? 0 : errno;
    if (ok && there == 0 && S_ISREG(st.st_mode)) {
        mode = st.st_mode & 07777;
        bool ownerkept = st.st_uid == ::geteuid(), groupkept = st.st_gid == ::getegid();
        if (!ownerkept || !groupkept) {
            if (::fchown(fd_, st.st_uid, st.st_gid) == 0) {
                ownerkept = groupkept = true;
            } else if (!groupkept && ::fchown(fd_, static_cast<uid_t>(-1), st.st_gid) == 0) {
                groupkept = true;
            }
        }
        if (!ownerkept) mode &= ~static_cast<mode_t>(S_ISUID);
        if (!groupkept) mode &= ~static_cast<mode_t>(S_ISGID);
    } else if (ok && there == 0 && !(links_ == Links::Replace && S_ISLNK(st.st_mode))) {
        // The target changed into something else while it was written.
        ok = Fail(S_ISDIR(st.st_mode) ? SystemError(EISDIR) : std::string("Not a regular file"));
    } else if (ok && there != 0 && lstaterr != ENOENT) {
        ok = Fail(SystemError(lstaterr));
    }
    if (ok && there != 0) mode = 0666 & ~CurrentUmask();  // a new file
    if (ok && links_ == Links::Replace && there == 0 && S_ISLNK(st.st_mode)) mode = 0666 & ~CurrentUmask();
    if (ok && ::fchmod(fd_, mode) != 0) ok = Fail(SystemError(errno));
    if (ok && ::fsync(fd_) != 0) ok = Fail(SystemError(errno));
    if (fd_ >= 0 && ::close(fd_) != 0 && ok) ok = Fail(SystemError(errno));
    fd_ = -1;
    if (ok && ::rename(temp_.c_str(), path_.c_str()) != 0) ok = Fail(SystemError(errno));
    if (!ok) {
        Discard();
        return false;
    }
    temp_.clear();
    // Make the rename itself durable.
    int dfd = ::open(FolderOf(path_).c_str(), O_RDONLY | O_DIRECTORY | O_CLOEXEC);
    if (dfd >= 0) {
        ::fsync(dfd);
        ::close(dfd);
    }
    return true;
}

}  // namespace host
