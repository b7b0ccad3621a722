// File layer: byte streams over files, path helpers, program arguments and
// the millisecond clock. Nothing else in the program touches the file system.
//
// Paths may use '\' or '/' as separators; both are accepted everywhere.
#pragma once

#include <cstdint>
#include <cstdio>
#include <memory>
#include <string>
#include <vector>

namespace host {

// An open file for reading or writing. Characters are one byte each;
// multi-byte numbers are little-endian.
class Stream {
public:
    ~Stream();
    Stream(const Stream&) = delete;
    Stream& operator=(const Stream&) = delete;

    bool Eof();                    // true once every byte has been read
    int64_t Size() const;          // total size of the file in bytes
    int ReadByte();                // 0..255, or -1 past the end
    bool WriteByte(int value);     // low 8 bits of value
    bool WriteBytes(const uint8_t* bytes, size_t count);
    bool WriteInt(int32_t value);  // 4 bytes, least significant first
    bool WriteText(const std::string& text);  // one byte per character
    // Bytes up to the next line feed; the line feed is consumed and a carriage
    // return just before it is dropped.
    std::string ReadLine();
    // The text, then carriage return and line feed.
    bool WriteLine(const std::string& text);
    // Reads every byte that is left in one call.
    std::vector<uint8_t> ReadRest();
    // Flushes and closes. False when something written did not reach the file.
    bool Close();
    bool Failed() const { return failed_; }

private:
    friend std::unique_ptr<Stream> OpenRead(const std::string&);
    friend std::unique_ptr<Stream> OpenWrite(const std::string&);
    friend class AtomicFile;
    explicit Stream(std::FILE* f, int64_t size) : f_(f), size_(size) {}
    std::FILE* f_ = nullptr;
    int64_t size_ = 0;
    int64_t pos_ = 0;
    bool failed_ = false;
};

std::unique_ptr<Stream> OpenRead(const std::string& path);   // null when it cannot be opened
std::unique_ptr<Stream> OpenWrite(const std::string& path);  // creates or truncates; null on failure

// Writes a file so that the old one is never damaged: the bytes go to a
// temporary file in the target's directory, which Commit() flushes to disk and
// renames over the target. Without a successful Commit() the temporary file is
// removed and the target stays as it was.
class AtomicFile {
public:
    explicit AtomicFile(const std::string& target);
    ~AtomicFile();
    AtomicFile(const AtomicFile&) = delete;
    AtomicFile& operator=(const AtomicFile&) = delete;

    bool Ok() const { return stream_ != nullptr && error_.empty(); }
    Stream* stream() { return stream_.get(); }
    // Flush, sync and rename. Returns false (and leaves the target untouched) on
    // any failure; Error() then tells why.
    bool Commit();
    const std::string& Error() const { return error_; }

private:
    void Discard();
    std::string target_;
    std::string temp_;
    std::unique_ptr<Stream> stream_;
    std::string error_;
};

// Turns '\' into '/' so the host's own functions can use the path.
std::string NativePath(const std::string& path);

int PathKind(const std::string& path);  // 0 nothing, 1 regular file, 2 directory
std::string WorkingDir();               // without a trailing separator
// Text before the last separator; a separator right after a drive name, or a
// leading one, stays so that a root remains a root. Empty without a separator.
std::string DirectoryPart(const std::string& path);
// Text after the last separator, without its extension (from its last dot on).
std::string BaseName(const std::string& path);
// Backslashes turned into '/', the last component's extension removed.
std::string PathWithoutExtension(const std::string& path);

// The command-line arguments, the program's own path first. main() stores them
// once; an empty list until then.
class Arguments {
public:
    Arguments() = default;
    Arguments(int argc, char** argv);
    const std::vector<std::string>& ProgramArguments() const { return args_; }

private:
    std::vector<std::string> args_;
};

// Milliseconds from an arbitrary origin, and sleeping. An interface so that
// tests can run on a clock they move by hand.
class Clock {
public:
    virtual ~Clock() = default;
    virtual int64_t ClockMs() = 0;
    virtual void SleepMs(int64_t ms) = 0;  // nothing for a negative value
};

class SystemClock : public Clock {
public:
    int64_t ClockMs() override;
    void SleepMs(int64_t ms) override;
};

// A clock that only moves when told to: sleeping advances it at once.
class FakeClock : public Clock {
public:
    int64_t ClockMs() override { return now_; }
    void SleepMs(int64_t ms) override {
        if (ms > 0) now_ += ms;
        slept_ += ms > 0 ? ms : 0;
    }
    void Advance(int64_t ms) { now_ += ms; }
    int64_t now_ = 1000;
    int64_t slept_ = 0;
};

}  // namespace host
