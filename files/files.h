// File layer: byte streams over files, path helpers, program arguments and
// the millisecond clock. Nothing else in the program touches the file system.
//
// Paths may use '\' or '/' as separators; both are accepted everywhere.
#pragma once

#include <cstdint>
#include <cstdio>
#include <memory>
#include <span>
#include <string>
#include <vector>

namespace host {

class AtomicFile;

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
    // bytes[offset .. offset+count-1] of a buffer that stays alive and
    // unchanged until the stream is closed (for the stream of an AtomicFile:
    // until the file is committed or dropped). That stream writes them from
    // where they stand instead of copying them first.
    bool WriteShared(std::span<const uint8_t> bytes, size_t offset, size_t count);
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
    bool Failed() const;

private:
    friend std::unique_ptr<Stream> OpenRead(const std::string&);
    friend std::unique_ptr<Stream> OpenWrite(const std::string&);
    friend class AtomicFile;
    explicit Stream(std::FILE* f, int64_t size) : f_(f), size_(size) {}
    explicit Stream(AtomicFile* sink) : sink_(sink) {}
    std::FILE* f_ = nullptr;
    AtomicFile* sink_ = nullptr;  // an AtomicFile's stream: writes go there
    int64_t size_ = 0;
    int64_t pos_ = 0;
    bool failed_ = false;
};

std::unique_ptr<Stream> OpenRead(const std::string& path);   // null when it cannot be opened
std::unique_ptr<Stream> OpenWrite(const std::string& path);  // creates or truncates; null on failure

// The text of a system error number ("Permission denied"); running out of
// memory is "Out of memory", and ENODEV, which the readers here give for a
// path that is neither a regular file nor a folder, "Not a regular file".
std::string SystemError(int err);

// The first `most` bytes (or all) of the regular file at path. Anything else
// (a folder, a FIFO, a device) is refused without waiting on it. False with
// the reason in *error when given.
bool ReadFileStart(const std::string& path, size_t most, std::vector<uint8_t>& out, std::string* error);

// Reads the whole of the regular file at path into out (replacing what it
// held). The size is taken first: a file larger than limit bytes is refused
// before anything is allocated. Running out of memory is a failure like any
// other. The bytes are read with plain reads into memory of their own, so a
// program that truncates or rewrites the file afterwards changes nothing in
// them; a file that shrinks or grows while it is read gives what was there
// (never more than limit bytes). False on failure, with the reason (a
// system error text such as "Permission denied" or "File too large") in
// *error when given.
[[nodiscard]] bool ReadWholeFile(const std::string& path, int64_t limit, std::vector<uint8_t>& out, std::string* error);

// Reads the first n bytes of the regular file at path into out (fewer when
// the file is shorter) and its size into *size. Opened without waiting, so a
// FIFO or a device never blocks: anything but a regular file is refused
// ("Not a regular file"). False on failure, with the reason in *error.
bool ReadFileStart(const std::string& path, size_t n, std::vector<uint8_t>& out, int64_t* size, std::string* error);

// Writes a file so that the old one is never damaged: the bytes go to a
// temporary file in the target's directory, which Commit() flushes to disk and
// renames over the target. (Commit writes in steps of 8 MB and starts each
// step's write-back to the disk as the next one is written; the sync before
// the rename is what makes the file durable.) Without a successful Commit() the temporary file is
// removed and the target stays as it was.
//
// What is replaced:
//  - Links::Follow (files the user names): a symbolic link is followed and
//    the file it resolves to is replaced, in its own directory; a link that
//    leads nowhere is refused.
//  - Links::Replace (files the program names itself, such as a log): a
//    symbolic link is itself replaced by the new file; what it points to is
//    never touched.
// A target that exists and is not a regular file (a directory, a FIFO, a
// device, a socket) is refused and left alone.
//
// The temporary file is created readable by its owner only; just before the
// rename it gets the mode of the file it replaces, and its owner and group
// where the process may set them (a setuid or setgid bit is dropped when the
// owner or the group cannot be kept). A new file gets 0666 less the umask.
//
// Temporary files are named ".<name>.vornabel-XXXXXXXX.tmp" (with a
// shortened name and a hash of the whole one when that would be too long for
// the file system). Leftovers of an interrupted save of the same target that
// no save holds open and that are older than kStaleTempSeconds are removed
// when the next save of that target starts.
class AtomicFile {
public:
    enum class Links { Follow, Replace };
    static constexpr int kStaleTempSeconds = 600;

    explicit AtomicFile(const std::string& target, Links links = Links::Follow);
    ~AtomicFile();
    AtomicFile(const AtomicFile&) = delete;
    AtomicFile& operator=(const AtomicFile&) = delete;

    bool Ok() const { return fd_ >= 0 && error_.empty(); }
    // The temporary file as a stream; see Stream::WriteShared.
    Stream* stream() { return &stream_; }
    bool Write(const uint8_t* bytes, size_t count);
    bool WriteShared(std::span<const uint8_t> bytes, size_t offset, size_t count);
    // Flush, sync and rename. Returns false (and leaves the target untouched) on
    // any failure; Error() then tells why.
    bool Commit();
    // Why the file could not be written: a system error text ("Permission
    // denied", "No space left on device", "Not a regular file").
    const std::string& Error() const { return error_; }
    // The file that Commit() replaces (the target with its links followed).
    const std::string& Path() const { return path_; }
    // The temporary file while there is one.
    const std::string& TempPath() const { return temp_; }
    // The temporary file name used for a target file name (without folder)
    // before its random part and suffix: "." + name, or a shortened form.
    static std::string TempStem(const std::string& name, size_t namemax = 255);

private:
    // A stretch of the output: bytes of a caller's buffer (ptr, within a
    // buffer ending at wholeend), or bytes copied into staged_ (at soff).
    struct Piece {
        const uint8_t* ptr = nullptr;
        const uint8_t* wholeend = nullptr;
        size_t soff = 0;
        size_t len = 0;
    };
    static constexpr size_t kMaxPieces = 1024;  // what one writev takes
    bool Fail(const std::string& why);
    bool Flush();
    void Discard();
    Links links_;
    std::string path_;
    std::string temp_;
    int fd_ = -1;
    Stream stream_{this};
    std::vector<Piece> pieces_;
    std::vector<uint8_t> staged_;
    std::string error_;
};

// A file name made from a text (a mesh's title, a chunk's name) for a dialog
// to propose: characters that cannot stand in a file name, or would make it
// a path, become '_'; surrounding blanks go; the extension (without its dot)
// is added. "" when nothing is left of the text.
std::string ProposedFileName(const std::string& text, const std::string& extension);

// Turns '\' into '/' so the host's own functions can use the path.
std::string NativePath(const std::string& path);

// What a path names: nothing (or a name that cannot be looked at), a regular
// file, a folder, or something else (a device, a pipe, a socket).
enum class EntryKind { Missing, File, Directory, Other };
EntryKind PathKind(const std::string& path);
// The folder of the running program (from /proc/self/exe), without a
// trailing separator; empty when it cannot be told.
std::string ProgramDir();
// The folder that holds the program's data (mdata/ and data/), as a prefix
// for their relative paths: "" for the working folder when it holds marker
// (a path inside the data, "mdata/format.txt"), else the program's own
// folder, else the installed data folder (share/vornabel beside the bin/ of
// the prefix the program was installed to, then the one it was configured
// for), each with a trailing '/'. "" when none holds marker.
std::string DataRoot(const std::string& marker);
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
