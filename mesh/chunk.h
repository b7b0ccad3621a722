// The chunk tree of a mesh file.
//
// A chunk is a four-character name, a signed 32-bit size and either raw data
// (a leaf) or child chunks (a container). Files hold one chunk, the root, in
// this encoding (all integers little-endian):
//
//   name (4 bytes) | size (4 bytes, data bytes that follow) | data (size bytes)
//
// A container's data is its children's encodings back to back; a grouped MATL
// (material grouping on) puts the number of its MATD children in front.
//
// Storage. Chunks are shared (std::shared_ptr) and know their parent through a
// weak reference, so a chunk that left the tree stays safe to use. A leaf's
// bytes are a slice of a shared buffer (usually the whole file as read), copied
// on the first write. A container does not keep a copy of its children's bytes:
// after a rebuild its data is "derived", produced from the children only when
// something reads it (data(), readbytes(), a blind edit), and the copy made then
// is kept until the next rebuild. The bytes are those of the last rebuild as
// long as nothing below changed since; every command of the editor ends with a
// rebuild, so that is what any view or file sees. When something below did
// change without a rebuild (a text typed into a leaf, then the ungrouping of a
// rename), the first read gives the current bytes, so that edit is not lost.
//
// Nothing here recurses over the tree: every walk keeps its own stack, so a
// hostile file that nests a million chunks is handled (and destroyed) safely.
#pragma once

#include <cstdint>
#include <memory>
#include <span>
#include <string>
#include <unordered_set>
#include <vector>

namespace host {
class Stream;
}

namespace mesh {

class chunk;
using chunkptr = std::shared_ptr<chunk>;
// The container-name list: a chunk whose data begins with one of these names
// is parsed into children, unless the chunk's own name is a record name
// (IsRecordName in format/records.h: a NAME, a TX0D, a POSL is always a leaf).
// Compared with exact string equality.
using namelist = std::vector<std::string>;

// ---- Bytes -------------------------------------------------------------------
// Little-endian values are read and written with format/bytes.h; a chunk's
// own readers (readint and the like) add the values parsing and verification
// take for what lies outside the data.
//
// Copies the first k bytes of src to a[p .. p+k-1]; nothing when k < 1. Bytes
// that would fall outside either array are not copied.
void CopyInto(std::span<uint8_t> a, int64_t p, std::span<const uint8_t> src, int64_t k);
bool WriteName(host::Stream& s, const std::string& name);
bool WriteInt(host::Stream& s, int32_t v);

// The four bytes a name is stored as. A rename keeps whatever was typed, but
// the encoding has room for exactly four bytes: longer names are cut to their
// first four characters, shorter ones padded with spaces ("AB" -> "AB  ", the
// empty name of a new chunk -> four spaces). The file then reads back with the
// same structure (under the fitted name).
std::string FitName(const std::string& name);

// True when the name read at position 0 of the data is an entry of the list.
bool NameInList(const std::string& name, const namelist& list);

// ---- Lists of chunks -------------------------------------------------------

// The children of a chunk: read like a vector; changed only through the
// methods of chunk (AppendKid, InsertKid, RemoveKid), which keep the parent
// references and the derived data right.
class kidlist {
public:
    size_t size() const { return v_.size(); }
    bool empty() const { return v_.empty(); }
    const chunkptr& operator[](size_t i) const { return v_[i]; }
    const chunkptr& front() const { return v_.front(); }
    const chunkptr& back() const { return v_.back(); }
    std::vector<chunkptr>::const_iterator begin() const { return v_.begin(); }
    std::vector<chunkptr>::const_iterator end() const { return v_.end(); }

private:
    friend class chunk;
    friend struct chunkimpl;
    std::vector<chunkptr> v_;
};

// An ordered list of chunks with a fast identity test (the error chunk list
// that verification fills and the tree view asks about for every row).
class chunklist {
public:
    void push_back(const chunkptr& c) {
        v_.push_back(c);
        set_.insert(c.get());
    }
    void clear() {
        v_.clear();
        set_.clear();
    }
    bool contains(const chunk* c) const { return c && set_.count(c) != 0; }
    size_t size() const { return v_.size(); }
    bool empty() const { return v_.empty(); }
    const chunkptr& operator[](size_t i) const { return v_[i]; }
    std::vector<chunkptr>::const_iterator begin() const { return v_.begin(); }
    std::vector<chunkptr>::const_iterator end() const { return v_.end(); }

private:
    std::vector<chunkptr> v_;
    std::unordered_set<const chunk*> set_;
};

// ---- Row clock ---------------------------------------------------------------

// Counts the changes that can move the tree view's rows: a child added to or
// removed from a list, a chunk opened or closed. Every chunk of one tree
// shares one clock (a chunk inserted from elsewhere joins the tree's clock),
// so a view tells in one comparison whether the rows it remembers still
// stand. Names, sizes and data do not move rows and do not count.
struct rowclock {
    uint64_t ticks = 0;
    size_t chunks = 0;  // chunks that joined it (those that left are not taken off)
};

// The open/closed state of a chunk in the tree view: reads as an int, and an
// assignment that changes it counts on the tree's row clock.
class expandflag {
public:
    explicit expandflag(chunk& owner) : owner_(owner) {}
    expandflag(const expandflag&) = delete;
    expandflag& operator=(const expandflag& other) { return *this = static_cast<int>(other); }
    expandflag& operator=(int v);
    operator int() const { return v_; }

private:
    chunk& owner_;
    int v_ = 0;
};

// ---- chunk -------------------------------------------------------------------

class chunk : public std::enable_shared_from_this<chunk> {
public:
    chunk() = default;
    ~chunk();  // iterative: a million-deep chain is released without recursion
    chunk(const chunk&) = delete;
    chunk& operator=(const chunk&) = delete;

    // A new chunk: name empty, size 0, no children, no parent, not expanded,
    // empty data. Always create chunks through this (or GetChunk).
    static chunkptr Create(const std::string& name = std::string());

    // ---- Fields ----
    std::string name;        // the tag; may hold other than four characters after a rename (see FitName)
    int32_t size = 0;        // data bytes; read it freely, change it only through the operations below
    kidlist kids;            // children in file order
    std::weak_ptr<chunk> parent;  // the containing chunk; empty for a root
    expandflag expanded{*this};  // whether the tree view shows the children (0 or 1)

    chunkptr getparent() const { return parent.lock(); }

    // The row clock of this chunk's tree; null for a chunk that never had
    // children nor a parent (its rows cannot move).
    std::shared_ptr<const rowclock> rows() const { return rows_; }

    // ---- Data ----
    // The data array (positions 0 .. datalen()-1; datalen() >= size, the bytes
    // past size being stale ones left by a blind removal). For a container
    // whose data is derived this produces the bytes (cached until the next
    // rebuild); for a large container prefer readbytes(). The span is valid
    // until the next change of this chunk.
    std::span<const uint8_t> data() const;
    int64_t datalen() const;
    // Copies data[pos .. pos+count-1] (cut to the data array) into out without
    // producing a container's whole data; returns the number of bytes copied.
    int64_t readbytes(int64_t pos, int64_t count, uint8_t* out) const;
    // Little-endian values of this chunk's data array. Out of range (p < 0 or
    // fewer bytes left than the width) they give -1, 0 (readshort), -1,
    // -1.0f and "NULL": the values parsing and verification take there.
    int readbyte(int64_t p) const;  // 0..255, or -1 out of range
    int readshort(int64_t p) const;  // unsigned 16-bit
    int32_t readint(int64_t p) const;
    float readfloat(int64_t p) const;
    std::string readname(int64_t p) const;
    // Replaces the data with these bytes and sets size to their number (for
    // building chunks in code: new chunks, tests, generators).
    void setdata(std::vector<uint8_t> bytes);
    // size grows by n and the data is lengthened to the new size with zero
    // bytes at its end (the data view's insert without a cursor). Nothing for n < 1.
    void GrowData(int n);

    // ---- Children ----
    // These set the parent reference; a chunk removed from a list keeps it
    // (it names its old parent but is no longer in its list). Inserting this
    // chunk or one of its ancestors below it is refused (it would make a
    // cycle); inserting a chunk that stands in another list moves it from
    // there. A container that loses its last child keeps the data of its
    // last rebuild and becomes a leaf holding it.
    void AppendKid(const chunkptr& k);
    void InsertKid(size_t index, const chunkptr& k);  // index past the end appends
    chunkptr RemoveKid(size_t index);                  // null for a bad index
    int IndexOfKid(const chunk* k) const;              // -1 when k is not a child
    void ClearKids();

    // ---- Parsing, rebuild, writing ----
    // Parses one chunk whose header starts at offset of bytes. Never fails and
    // never reads outside the array.
    static chunkptr GetChunk(const std::vector<uint8_t>& bytes, int64_t offset, const namelist& list,
                             const chunkptr& parent);
    // The same over a shared buffer; the chunks keep slices of it instead of
    // copies.
    static chunkptr GetChunk(const std::shared_ptr<std::vector<uint8_t>>& bytes, int64_t offset,
                             const namelist& list, const chunkptr& parent);
    // Rebuilds size and data of this chunk and of every container below it.
    // recognizematl: non-zero while material grouping is on.
    void Update(int recognizematl);
    // Writes this chunk's encoding. False when the stream failed.
    bool save(host::Stream& out, int recognizematl) const;
    // The same into memory (appended to out).
    void save(std::vector<uint8_t>& out, int recognizematl) const;
    // The same, piece by piece in file order, without gathering it: copy()
    // gets bytes made on the way (headers, a grouped MATL's count), shared()
    // a leaf's bytes where they stand, valid until the tree next changes.
    struct PieceSink {
        virtual void copy(const uint8_t* bytes, size_t n) = 0;
        virtual void shared(std::span<const uint8_t> whole, size_t offset, size_t n) = 0;

    protected:
        ~PieceSink() = default;
    };
    void encode(PieceSink& sink, int recognizematl) const;
    // The list-size rule: w * (int at data position 0) + 4, with w the element
    // width for the name; 0 when size is 0.
    int32_t determinesize() const;

    // ---- Queries ----
    int numkids(const std::string& n) const;
    int haskid(const std::string& n) const;
    chunkptr getkid(const std::string& n) const;
    // Appends every chunk of the subtree with that name, depth-first pre-order.
    void addtolist(std::vector<chunkptr>& list, const std::string& n);
    chunkptr findmodlbyname(const std::string& n, int upward, const chunk* excluded);
    std::string FetchName() const;   // text of the first NAME child
    std::string datatostring() const;
    int isstring() const;
    void expand();                   // this chunk and every ancestor
    int groupsize() const;           // visible rows of this chunk and its visible descendants
    int findy(const chunk* target) const;  // row index of target (this chunk when null)
    // Groups every MATL of the subtree into its MATD children. A MATL that
    // already has children loses them first, so no set is doubled.
    void expandmatl(const namelist& list);
    void collapsematl();

    // ---- Editing (handle: non-zero = handle mode; reread: non-zero = parse
    // again / rebuild) ----
    int SetByte(int64_t p, int v, int reread, const namelist& list);
    // The bytes v from p on, as SetByte(p + i, v[i], reread only for the
    // last, list) for each i. On a large container this costs in proportion
    // to its chunks and the leaves written, not to its bytes.
    int SetBytes(int64_t p, std::span<const uint8_t> v, const namelist& list);
    int SetInt(int64_t p, int32_t v, const namelist& list);
    int SetFloat(int64_t p, float f, const namelist& list);
    int InsertString(int64_t p, const std::string& text, const namelist& list);
    int InsertBytes(int64_t p, int n, int handle, int reread, const namelist& list, int recognizematl);
    int InsertBytesBlindly(int64_t p, int n, int reread, const namelist& list, int recognizematl);
    int RemoveByte(int64_t p, int handle, int reread, const namelist& list, int recognizematl);
    int RemoveByteBlindly(int64_t p, int reread, const namelist& list, int recognizematl);

    // ---- Verification (mesh/verify.cpp) ----
    // verify and segmcompare are declared here.
    // Checks this chunk, then its descendants, in depth-first pre-order:
    // appends each finding to messages and each chunk with findings of its
    // own to errors.
    void verify(std::vector<std::string>& messages, chunklist& errors);
    // Called on the parent of the two compared chunks: when both exist, both
    // have a size of at least 4 and their leading counts differ, appends
    // "<name>: <first> and <second> chunks do not contain the same amount of
    // information". Returns 0.
    int segmcompare(const chunk* first, const chunk* second, std::vector<std::string>& messages) const;
    // ---- end of verification ----

    // ---- A chunk's own fields as one value (for undo) ----
    // Everything that belongs to this chunk itself: name, size, its list of
    // children (the same objects), the open state and the data array (shared,
    // never copied). Taking them pins the data: the next write to this chunk
    // copies it first, so what was taken stays as it was.
    struct fields {
        std::string name;
        int32_t size = 0;
        std::vector<chunkptr> kids;
        int expanded = 0;
        std::shared_ptr<std::vector<uint8_t>> buf;  // the data array is (*buf)[off .. off+len-1]
        int64_t off = 0, len = 0;
        bool derived = false;  // a container's data, produced from its children when read
        bool group = false;
        int32_t matdcount = 0;
    };
    fields take() const {
        return {name, size, kids.v_, expanded, buf_, off_, len_, derived_, group_, matdcount_};
    }
    // Sets the fields back as they were taken; the children get this chunk as
    // their parent again. A caller that puts back a container's fields
    // rebuilds the tree afterwards (Update), as after any change.
    void put(fields f) {
        name = std::move(f.name);
        size = f.size;
        kids.v_ = std::move(f.kids);
        expanded = f.expanded;
        buf_ = std::move(f.buf);
        off_ = f.off;
        len_ = f.len;
        derived_ = f.derived;
        group_ = f.group;
        matdcount_ = f.matdcount;
        for (const chunkptr& k : kids.v_) k->parent = weak_from_this();
        if (!kids.v_.empty()) everparent_ = true;
    }

private:
    friend struct chunkimpl;  // parsing and derived data (mesh/chunk_impl.h)
    void own() const;                    // make the data a private, writable array
    uint8_t* writable() const;           // own() with at least size bytes; the first byte
    void materialize() const;            // derived data -> owned bytes
    void reparse(const namelist& list);  // children again from the data array
    void detachkids();
    friend class expandflag;
    // A change that can move rows: counts on the tree's clock.
    void rowsmoved() const {
        if (rows_) ++rows_->ticks;
    }
    // Makes k (and its subtree) share the clock of this chunk's tree, or
    // the tree share k's when k's has more chunks; then counts the change.
    void joinrows(chunk& k);

    // The data array is (*buf_)[off_ .. off_+len_-1] unless derived_. The
    // buffer may be shared with other chunks; it is copied before a write.
    mutable std::shared_ptr<std::vector<uint8_t>> buf_;
    mutable int64_t off_ = 0;
    mutable int64_t len_ = 0;
    // Data derived from the children as of the last rebuild (len = size).
    mutable bool derived_ = false;
    bool group_ = false;        // derived data starts with the MATD count
    // Set once any chunk has had this one as its parent. Only such a chunk
    // can stand on another chunk's parent chain (children that left the
    // tree keep their parent), so only such a chunk needs the cycle check.
    // (The flags stand together, before the count, so the chunk has no
    // padding there: every byte of a chunk counts on files of millions.)
    bool everparent_ = false;
    int32_t matdcount_ = 0;     // that count of group_, taken at the rebuild
    std::shared_ptr<rowclock> rows_;
};

}  // namespace mesh
