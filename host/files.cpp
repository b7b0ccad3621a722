#include "host/files.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <chrono>
#include <cstring>
#include <random>
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

bool Stream::Eof() { return pos_ >= size_ || std::feof(f_); }

int64_t Stream::Size() const { return size_; }

int Stream::ReadByte() {
    int c = std::fgetc(f_);
    if (c == EOF) return -1;
    ++pos_;
    return c;
}

bool Stream::WriteByte(int value) {
    if (std::fputc(value & 0xFF, f_) == EOF) {
        failed_ = true;
        return false;
    }
    ++pos_;
    if (pos_ > size_) size_ = pos_;
    return true;
}

bool Stream::WriteBytes(const uint8_t* bytes, size_t count) {
    if (count == 0) return true;
    if (std::fwrite(bytes, 1, count, f_) != count) {
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

// ---- AtomicFile -----------------------------------------------------------

AtomicFile::AtomicFile(const std::string& target) : target_(NativePath(target)) {
    if (target_.empty()) {
        error_ = "No file name given.";
        return;
    }
    if (PathKind(target_) == 2) {
        error_ = "The path names a directory.";
        return;
    }
    std::string dir = DirectoryPart(target_);
    std::string prefix = (dir.empty() ? std::string(".") : dir);
    if (prefix.back() != '/') prefix += '/';
    std::string base = target_.substr(LastSep(target_) == std::string::npos ? 0 : LastSep(target_) + 1);
    std::random_device rd;
    for (int attempt = 0; attempt < 16 && !stream_; ++attempt) {
        char suffix[32];
        std::snprintf(suffix, sizeof suffix, ".%08x.tmp", static_cast<unsigned>(rd()));
        std::string candidate = prefix + "." + base + suffix;
        int fd = ::open(candidate.c_str(), O_WRONLY | O_CREAT | O_EXCL | O_CLOEXEC, 0666);
        if (fd < 0) {
            if (errno == EEXIST) continue;
            error_ = std::string("Cannot create a file there: ") + std::strerror(errno) + ".";
            return;
        }
        std::FILE* f = ::fdopen(fd, "wb");
        if (!f) {
            ::close(fd);
            ::unlink(candidate.c_str());
            error_ = "Cannot create a file there.";
            return;
        }
        temp_ = candidate;
        stream_.reset(new Stream(f, 0));
    }
    if (!stream_ && error_.empty()) error_ = "Cannot create a temporary file.";
}

AtomicFile::~AtomicFile() { Discard(); }

void AtomicFile::Discard() {
    if (stream_) {
        stream_->Close();
        stream_.reset();
    }
    if (!temp_.empty()) {
        ::unlink(temp_.c_str());
        temp_.clear();
    }
}

bool AtomicFile::Commit() {
    if (!Ok()) {
        Discard();
        return false;
    }
    std::FILE* f = stream_->f_;
    bool ok = !stream_->Failed() && std::fflush(f) == 0;
    if (ok && ::fsync(fileno(f)) != 0) ok = false;
    // Keep the permissions of the file being replaced.
    struct stat st;
    if (ok && ::stat(target_.c_str(), &st) == 0) ::fchmod(fileno(f), st.st_mode & 07777);
    if (!stream_->Close()) ok = false;
    stream_.reset();
    if (!ok) {
        error_ = "Writing failed (is the disk full?).";
        Discard();
        return false;
    }
    if (::rename(temp_.c_str(), target_.c_str()) != 0) {
        error_ = std::string("Cannot replace the file: ") + std::strerror(errno) + ".";
        Discard();
        return false;
    }
    temp_.clear();
    // Make the rename itself durable.
    std::string dir = DirectoryPart(target_);
    int dfd = ::open(dir.empty() ? "." : dir.c_str(), O_RDONLY | O_DIRECTORY | O_CLOEXEC);
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
