// The file layer: byte streams over files, saving, path helpers, arguments, the clock.
#include "host/files.h"

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

namespace {

bool IsSep(char c) { return c == '/' || c == '\\'; }

size_t LastSep(const std::string& path) { return path.find_last_of("/\\"); }

int64_t FileSizeOf(std::FILE* f) {
    struct stat st;
    if (fstat(fileno(f), &st) != 0) return 0;
    return static_cast<int64_t>(st.st_size);
}

}  // namespace

std::string NativePath(const std::string& path) {
    std::string out = path;
    for (char& c : out)
        if (c == '\\') c = '/';
    return out;
}

// ---- Stream ---------------------------------------------------------------

Stream::~Stream() {
    if (f_) std::fclose(f_);
}

bool Stream::Eof() { return !f_ || pos_ >= size_ || std::feof(f_); }

int64_t Stream::Size() const { return size_; }

bool Stream::Failed() const { return failed_; }

int Stream::ReadByte() {
    if (!f_) return -1;
    int c = std::fgetc(f_);
    if (c == EOF) return -1;
    ++pos_;
    return c;
}

bool Stream::WriteByte(int value) {
    uint8_t b = static_cast<uint8_t>(value & 0xFF);
    return WriteBytes(&b, 1);
}

bool Stream::WriteBytes(const uint8_t* bytes, size_t count) {
    if (count == 0) return !failed_;
    bool ok = sink_ ? sink_->Write(bytes, count) : f_ && std::fwrite(bytes, 1, count, f_) == count;
    if (!ok) {
        failed_ = true;
        return false;
    }
    pos_ += static_cast<int64_t>(count);
    if (pos_ > size_) size_ = pos_;
    return true;
}

bool Stream::WriteShared(std::span<const uint8_t> bytes, size_t offset, size_t count) {
    if (offset > bytes.size() || count > bytes.size() - offset) {
        failed_ = true;
        return false;
    }
    if (!sink_) return WriteBytes(bytes.data() + offset, count);
    if (count == 0) return !failed_;
    if (!sink_->WriteShared(bytes, offset, count)) {
        failed_ = true;
        return false;
    }
    pos_ += static_cast<int64_t>(count);
    if (pos_ > size_) size_ = pos_;
    return true;
}

bool Stream::WriteInt(int32_t value) {
    uint32_t v = static_cast<uint32_t>(value);
    uint8_t b[4] = {uint8_t(v), uint8_t(v >> 8), uint8_t(v >> 16), uint8_t(v >> 24)};
    return WriteBytes(b, 4);
}

bool Stream::WriteText(const std::string& text) {
    return WriteBytes(reinterpret_cast<const uint8_t*>(text.data()), text.size());
}

std::string Stream::ReadLine() {
    std::string line;
    for (;;) {
        int c = ReadByte();
        if (c < 0 || c == '\n') break;
        line.push_back(static_cast<char>(c));
    }
    if (!line.empty() && line.back() == '\r') line.pop_back();
    return line;
}

bool Stream::WriteLine(const std::string& text) { return WriteText(text) && WriteText("\r\n"); }

std::vector<uint8_t> Stream::ReadRest() {
    if (!f_) return {};
    // The size is known: read straight into the result, without a second copy.
    std::vector<uint8_t> out(size_ > pos_ ? static_cast<size_t>(size_ - pos_) : 0);
    size_t have = 0;
    while (have < out.size()) {
        size_t got = std::fread(out.data() + have, 1, out.size() - have, f_);
        if (got == 0) break;
        have += got;
    }
    out.resize(have);
    pos_ += static_cast<int64_t>(have);
    // Whatever the file grew by since it was opened.
    uint8_t buf[1 << 16];
    for (;;) {
        size_t got = std::fread(buf, 1, sizeof buf, f_);
        if (got == 0) break;
        out.insert(out.end(), buf, buf + got);
        pos_ += static_cast<int64_t>(got);
    }
    return out;
}

bool Stream::Close() {
    if (sink_) return !failed_;  // the AtomicFile's Commit does the rest
    if (!f_) return !failed_;
    if (std::fflush(f_) != 0) failed_ = true;
    if (std::fclose(f_) != 0) failed_ = true;
    f_ = nullptr;
    return !failed_;
}

std::unique_ptr<Stream> OpenRead(const std::string& path) {
    std::string p = NativePath(path);
    if (PathKind(p) != 1) return nullptr;  // a directory opens on Linux; refuse it
    std::FILE* f = std::fopen(p.c_str(), "rb");
    if (!f) return nullptr;
    return std::unique_ptr<Stream>(new Stream(f, FileSizeOf(f)));
}

std::unique_ptr<Stream> OpenWrite(const std::string& path) {
    std::string p = NativePath(path);
    std::FILE* f = std::fopen(p.c_str(), "wb");
    if (!f) return nullptr;
    return std::unique_ptr<Stream>(new Stream(f, 0));
}

std::string SystemError(int err) { return std::strerror(err); }

// ---- Reading a whole file -------------------------------------------------

namespace {

// Memory for a large file: asked for without touching it, then offered to the
// kernel for huge pages, so that filling it costs a few page faults instead
// of one for every 4 KB.
void ReserveForFile(std::vector<uint8_t>& out, size_t n) {
    out.reserve(n);
    constexpr uintptr_t kHuge = uintptr_t{2} << 20;
    if (n < 2 * kHuge) return;
    uintptr_t begin = (reinterpret_cast<uintptr_t>(out.data()) + kHuge - 1) & ~(kHuge - 1);
    uintptr_t end = (reinterpret_cast<uintptr_t>(out.data()) + n) & ~(kHuge - 1);
#ifdef MADV_HUGEPAGE
    if (begin < end) ::madvise(reinterpret_cast<void*>(begin), end - begin, MADV_HUGEPAGE);
#endif
}

}  // namespace

bool ReadWholeFile(const std::string& path, int64_t limit, std::vector<uint8_t>& out, std::string* error) {
    auto fail = [&](int err) {
        if (error) *error = SystemError(err);
        out.clear();
        out.shrink_to_fit();
        return false;
    };
    out.clear();
    std::string p = NativePath(path);
    if (p.empty()) return fail(ENOENT);
    int fd = ::open(p.c_str(), O_RDONLY | O_CLOEXEC | O_NONBLOCK);
    if (fd < 0) return fail(errno);
    struct FdCloser {
        int fd;
        ~FdCloser() { ::close(fd); }
    } closer{fd};
    struct stat st;
    if (::fstat(fd, &st) != 0) return fail(errno);
    if (S_ISDIR(st.st_mode)) return fail(EISDIR);
    if (!S_ISREG(st.st_mode)) {
        if (error) *error = "Not a regular file";
        out.clear();
        return false;
    }
    if (st.st_size > limit) return fail(EFBIG);
    try {
        const size_t total = static_cast<size_t>(st.st_size);
        ReserveForFile(out, total);
        // The buffer grows (zeroed) a few megabytes ahead of the reading, so
        // the bytes are still in the cache when they are read into; holes of
        // a sparse file are stepped over instead of read. For a large file
        // the growing (where the memory is first touched) is done by a
        // second thread while this one reads, so the two costs overlap.
        constexpr size_t kStep = size_t{4} << 20;
        uint8_t* const base = out.data();  // the capacity holds total bytes: it never moves
        std::atomic<size_t> ready{0};      // bytes the buffer has grown to
        std::atomic<bool> done{false};     // the reading needs no more
        std::thread grower;
        if (total >= 4 * kStep) {
            try {
                grower = std::thread([&] {
                    for (size_t n = 0; n < total && !done.load();) {
                        n = std::min(total, n + kStep);
                        out.resize(n);
                        ready.store(n);
                        ready.notify_one();
                    }
                });
            } catch (const std::system_error&) {
                // No thread to be had: the reading grows the buffer itself.
            }
        }
        auto upto = [&](size_t n) {
            if (!grower.joinable()) {
                if (out.size() < n) out.resize(n);
                return;
            }
            for (size_t r = ready.load(); r < n; r = ready.load()) ready.wait(r);
        };
        // The buffer is left alone by the grower before anything else
        // touches it: on every way out of here.
        auto stop = [&] {
            done.store(true);
            if (grower.joinable()) grower.join();
        };
        struct Stopper {
            decltype(stop)& f;
            ~Stopper() { f(); }
        } stopper{stop};
        auto failread = [&](int err) {
            stop();
            return fail(err);
        };
        size_t have = 0;
        bool seekdata = true;
        while (have < total) {
            size_t end = total;
            if (seekdata) {
                off_t data = ::lseek(fd, static_cast<off_t>(have), SEEK_DATA);
                if (data < 0 && errno == ENXIO) {
                    // No data from here on: a hole up to the end, or the file
                    // shrank since its size was taken.
                    struct stat now;
                    if (::fstat(fd, &now) != 0) return failread(errno);
                    have = std::min(total, static_cast<size_t>(std::max<off_t>(now.st_size, 0)));
                    break;
                }
                if (data < 0) {
                    seekdata = false;  // not offered by this file system
                    continue;
                }
                if (static_cast<size_t>(data) > have) {
                    have = std::min(total, static_cast<size_t>(data));
                    continue;
                }
                off_t hole = ::lseek(fd, data, SEEK_HOLE);
                if (hole > data) end = std::min(end, static_cast<size_t>(hole));
            }
            size_t want = std::min(end - have, kStep);
            upto(have + want);
            ssize_t got = ::pread(fd, base + have, want, static_cast<off_t>(have));
            if (got < 0 && errno == EINTR) continue;
            if (got < 0) return failread(errno);
            if (got == 0) break;  // the file shrank since its size was taken
            have += static_cast<size_t>(got);
        }
        stop();
        // Or it grew: whatever was added, up to the limit.
        uint8_t more[1 << 16];
        while (have >= total) {
            if (static_cast<int64_t>(have) >= limit) break;
            size_t want = std::min<size_t>(sizeof more, static_cast<size_t>(limit - static_cast<int64_t>(have)));
            ssize_t got = ::pread(fd, more, want, static_cast<off_t>(have));
            if (got < 0 && errno == EINTR) continue;
            if (got < 0) return fail(errno);
            if (got == 0) break;
            out.resize(have);
            out.insert(out.end(), more, more + got);
            have = out.size();
        }
        upto(have);
        out.resize(have);
    } catch (const std::bad_alloc&) {
        return fail(ENOMEM);
    } catch (const std::length_error&) {
        return fail(ENOMEM);
    }
    return true;
}

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

// ---- Paths ----------------------------------------------------------------

int PathKind(const std::string& path) {
    struct stat st;
    if (path.empty() || ::stat(NativePath(path).c_str(), &st) != 0) return 0;
    if (S_ISDIR(st.st_mode)) return 2;
    if (S_ISREG(st.st_mode)) return 1;
    return 0;
}

std::string ProposedFileName(const std::string& text, const std::string& extension) {
    size_t b = text.find_first_not_of(' ');
    if (b == std::string::npos) return "";
    std::string name = text.substr(b, text.find_last_not_of(' ') - b + 1);
    for (char& c : name) {
        unsigned char u = static_cast<unsigned char>(c);
        if (u < 32 || u == 127 || c == '/' || c == '\\' || c == ':' || c == '*' || c == '?' || c == '"' ||
            c == '<' || c == '>' || c == '|')
            c = '_';
    }
    if (name == "." || name == "..") name = "_";
    return name + "." + extension;
}

std::string WorkingDir() {
    std::vector<char> buf(4096);
    while (!::getcwd(buf.data(), buf.size())) {
        if (errno != ERANGE) return ".";
        buf.resize(buf.size() * 2);
    }
    std::string dir(buf.data());
    while (dir.size() > 1 && IsSep(dir.back())) dir.pop_back();
    return dir;
}

std::string DirectoryPart(const std::string& path) {
    size_t sep = LastSep(path);
    if (sep == std::string::npos) return "";
    if (sep == 0) return path.substr(0, 1);                        // "/file" -> "/"
    if (path[sep - 1] == ':') return path.substr(0, sep + 1);      // "C:\file" -> "C:\"
    return path.substr(0, sep);
}

std::string BaseName(const std::string& path) {
    size_t sep = LastSep(path);
    std::string last = sep == std::string::npos ? path : path.substr(sep + 1);
    size_t dot = last.rfind('.');
    if (dot != std::string::npos) last.erase(dot);
    return last;
}

std::string PathWithoutExtension(const std::string& path) {
    std::string p = NativePath(path);
    size_t sep = p.rfind('/');
    size_t dot = p.rfind('.');
    if (dot != std::string::npos && (sep == std::string::npos || dot > sep)) p.erase(dot);
    return p;
}

Arguments::Arguments(int argc, char** argv) {
    for (int i = 0; i < argc; ++i) args_.emplace_back(argv[i] ? argv[i] : "");
}

// ---- Clock ----------------------------------------------------------------

int64_t SystemClock::ClockMs() {
    using namespace std::chrono;
    return duration_cast<milliseconds>(steady_clock::now().time_since_epoch()).count();
}

void SystemClock::SleepMs(int64_t ms) {
    if (ms > 0) std::this_thread::sleep_for(std::chrono::milliseconds(ms));
}

}  // namespace host
