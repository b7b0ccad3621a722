// The file layer: byte streams over files, reading whole files, path helpers,
// arguments, the clock. Saving (AtomicFile) is in files_atomic.cpp.
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

namespace {

bool IsSep(char c) { return c == '/' || c == '\\'; }

size_t LastSep(const std::string& path) { return path.find_last_of("/\\"); }

// Opens path for reading only when it is a regular file: the open itself
// does not wait (a FIFO would block until a writer came), and what was opened
// is looked at, not what the name named a moment before. -1 with errno set
// (EISDIR for a folder, ENODEV for anything else that is not a regular file).
int OpenRegular(const std::string& native) {
    if (native.empty()) {
        errno = ENOENT;
        return -1;
    }
    int fd = ::open(native.c_str(), O_RDONLY | O_CLOEXEC | O_NONBLOCK);
    if (fd < 0) return -1;
    struct stat st;
    int err = 0;
    if (::fstat(fd, &st) != 0) err = errno;
    else if (S_ISDIR(st.st_mode)) err = EISDIR;
    else if (!S_ISREG(st.st_mode)) err = ENODEV;
    else if (::fcntl(fd, F_SETFL, ::fcntl(fd, F_GETFL) & ~O_NONBLOCK) != 0) err = errno;
    if (err) {
        ::close(fd);
        errno = err;
        return -1;
    }
    return fd;
}

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
    const int fd = OpenRegular(NativePath(path));
    if (fd < 0) return nullptr;
    std::FILE* f = ::fdopen(fd, "rb");
    if (!f) {
        ::close(fd);
        return nullptr;
    }
    return std::unique_ptr<Stream>(new Stream(f, FileSizeOf(f)));
}

std::unique_ptr<Stream> OpenWrite(const std::string& path) {
    std::string p = NativePath(path);
    std::FILE* f = std::fopen(p.c_str(), "wb");
    if (!f) return nullptr;
    return std::unique_ptr<Stream>(new Stream(f, 0));
}

std::string SystemError(int err) {
    // The system's words, save where this program promises its own.
    if (err == ENOMEM) return "Out of memory";
    if (err == ENODEV) return "Not a regular file";
    return std::strerror(err);
}

bool ReadFileStart(const std::string& path, size_t most, std::vector<uint8_t>& out, std::string* error) {
    out.clear();
    const int fd = OpenRegular(NativePath(path));
    if (fd < 0) {
        if (error) *error = SystemError(errno);
        return false;
    }
    struct FdCloser {
        int fd;
        ~FdCloser() { ::close(fd); }
    } closer{fd};
    try {
        uint8_t buf[1 << 16];
        while (out.size() < most) {
            const ssize_t got = ::read(fd, buf, std::min(sizeof buf, most - out.size()));
            if (got < 0 && errno == EINTR) continue;
            if (got < 0) {
                if (error) *error = SystemError(errno);
                return false;
            }
            if (got == 0) break;
            out.insert(out.end(), buf, buf + got);
        }
    } catch (const std::bad_alloc&) {
        if (error) *error = SystemError(ENOMEM);
        out.clear();
        return false;
    }
    return true;
}

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

bool ReadFileStart(const std::string& path, size_t n, std::vector<uint8_t>& out, int64_t* size, std::string* error) {
    out.clear();
    auto fail = [&](const std::string& why) {
        if (error) *error = why;
        return false;
    };
    const std::string p = NativePath(path);
    if (p.empty()) return fail(SystemError(ENOENT));
    const int fd = ::open(p.c_str(), O_RDONLY | O_CLOEXEC | O_NONBLOCK);
    if (fd < 0) return fail(SystemError(errno));
    struct FdCloser {
        int fd;
        ~FdCloser() { ::close(fd); }
    } closer{fd};
    struct stat st;
    if (::fstat(fd, &st) != 0) return fail(SystemError(errno));
    if (S_ISDIR(st.st_mode)) return fail(SystemError(EISDIR));
    if (!S_ISREG(st.st_mode)) return fail("Not a regular file");
    *size = st.st_size;
    out.resize(std::min<size_t>(n, static_cast<size_t>(st.st_size)));
    size_t got = 0;
    while (got < out.size()) {
        const ssize_t r = ::read(fd, out.data() + got, out.size() - got);
        if (r < 0 && errno == EINTR) continue;
        if (r < 0) return fail(SystemError(errno));
        if (r == 0) break;
        got += static_cast<size_t>(r);
    }
    out.resize(got);
    return true;
}

bool ReadWholeFile(const std::string& path, int64_t limit, std::vector<uint8_t>& out, std::string* error) {
    auto fail = [&](int err) {
        if (error) *error = SystemError(err);
        out.clear();
        out.shrink_to_fit();
        return false;
    };
    out.clear();
    int fd = OpenRegular(NativePath(path));
    if (fd < 0) return fail(errno);
    struct FdCloser {
        int fd;
        ~FdCloser() { ::close(fd); }
    } closer{fd};
    struct stat st;
    if (::fstat(fd, &st) != 0) return fail(errno);
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

// ---- Paths ----------------------------------------------------------------

EntryKind PathKind(const std::string& path) {
    struct stat st;
    if (path.empty() || ::stat(NativePath(path).c_str(), &st) != 0) return EntryKind::Missing;
    if (S_ISDIR(st.st_mode)) return EntryKind::Directory;
    if (S_ISREG(st.st_mode)) return EntryKind::File;
    return EntryKind::Other;
}

std::string ProgramDir() {
    std::string buf(4096, '\0');
    const ssize_t n = ::readlink("/proc/self/exe", buf.data(), buf.size());
    if (n <= 0 || static_cast<size_t>(n) >= buf.size()) return "";
    buf.resize(static_cast<size_t>(n));
    return DirectoryPart(buf);
}

#ifndef VORNA_DATA_FROM_BIN
#define VORNA_DATA_FROM_BIN "../share/vornabel"
#endif
#ifndef VORNA_DATA_INSTALLED
#define VORNA_DATA_INSTALLED ""
#endif

std::string DataRoot(const std::string& marker) {
    if (PathKind(marker) == EntryKind::File) return "";
    const std::string self = ProgramDir();
    std::vector<std::string> roots;
    if (!self.empty()) {
        roots.push_back(self + "/");
        roots.push_back(self + "/" VORNA_DATA_FROM_BIN "/");
    }
    if (std::string(VORNA_DATA_INSTALLED) != "") roots.push_back(VORNA_DATA_INSTALLED "/");
    for (const std::string& r : roots)
        if (PathKind(r + marker) == EntryKind::File) return r;
    return "";
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
