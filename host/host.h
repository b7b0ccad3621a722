// The window host: one window with a 2D drawing surface, tile images cut from
// PNG files, drawing calls, polled pointer and keyboard state, the file dialog
// and the ways the program ends.
//
// Host is abstract. SdlHost (host/sdl_host.h) is the real window; HeadlessHost
// (host/headless_host.h) paints into memory and plays scripted input for tests.
//
// Drawing model: a quad's colour multiplies every texel of the image frame
// it draws (texel * colour / 255) or fills its rectangle. Texels whose alpha
// is below one half are never drawn, and pixels of the mask colour become
// fully transparent when an image is loaded.
#pragma once

#include <cstdint>
#include <functional>
#include <memory>
#include <stdexcept>
#include <string>
#include <vector>

#include "files/files.h"

namespace host {

// Pixels as 32-bit ARGB (alpha in bits 24-31, red 16-23, green 8-15, blue 0-7),
// row by row from the top-left.
struct PixelBuffer {
    int width = 0;
    int height = 0;
    std::vector<uint32_t> pixels;
};

uint32_t ReadPixel(const PixelBuffer& buffer, int x, int y);  // 0 outside the buffer

// A picture loaded from a PNG file, optionally cut into equally sized frames,
// or one the program paints itself (Host::MakeImage). Frame f is the cell
// (first + f) of the source picture, cells numbered row by row. The pixels
// are kept (masked) so that the headless host can paint them; the window
// host also keeps a texture of them, made again only when revision moves.
class Image : public std::enable_shared_from_this<Image> {
public:
    int width = 0;          // the whole picture in pixels
    int height = 0;
    int cellw = 0;          // frame size; the whole picture when not cut
    int cellh = 0;
    int first = 0;          // first source cell that is frame 0
    int count = 1;          // number of frames
    PixelBuffer pixels;     // ARGB; masked pixels have alpha 0
    uint64_t revision = 0;  // counts the changes of the pixels (Host::SetImagePixels)
    mutable uint32_t texture = 0;  // the window host's texture name, 0 when none

    // Top-left pixel of a frame in the picture; false when the frame does
    // not exist.
    bool FrameOrigin(int frame, int& sx, int& sy) const;
};

using ImagePtr = std::shared_ptr<Image>;
using PixelBufferPtr = std::shared_ptr<PixelBuffer>;

// One rectangle of a batch: a filled rectangle when image is null, otherwise
// one frame of the image stretched over w x h pixels. Colour and size are the
// final ones: no current colour or scale applies to a batch.
struct Quad {
    float x = 0, y = 0, w = 0, h = 0;
    const Image* image = nullptr;
    int frame = 0;
    uint8_t r = 255, g = 255, b = 255;
};

// A view of a cell grid to be drawn in one call: cols x rows cells in three
// planes (glyphs, then foreground, then background colours, row-major), cell
// (0, 0) at (x, y), each cell cellw x cellh pixels showing frame `glyph` of
// the tile images. A cell whose two colours are equal is a solid block of
// that colour; otherwise the background image is drawn in the background
// colour and the foreground image over it in the foreground colour. Colours
// equal to `transparent` or 255 are never painted. The palette holds 256
// reds, then 256 greens, then 256 blues.
struct GridView {
    float x = 0, y = 0;
    int cols = 0, rows = 0;
    float cellw = 0, cellh = 0;
    const uint8_t* cells = nullptr;
    int transparent = 9;
    const Image* fgimage = nullptr;
    const Image* bgimage = nullptr;
    const uint8_t* palette = nullptr;
};

// The rectangles and frames a grid view is painted with: solid blocks first,
// then the background frames, then the foreground frames. Cells never
// overlap, so that is the same picture as painting cell by cell.
std::vector<Quad> GridQuads(const GridView& view);

// A rectangle of whole pixels.
struct PixelRect {
    int x = 0, y = 0, w = 0, h = 0;
    bool operator==(const PixelRect& o) const { return x == o.x && y == o.y && w == o.w && h == o.h; }
};

// What one frame draws, in order, with everything its picture depends on:
// the clear colour, rectangles and image frames with their colours, grids
// with their cells and palettes (copied); images by identity. Two frames
// with equal records show the same picture, and a record can be drawn again
// later.
class FrameRecord {
public:
    struct Op {
        enum Kind : uint8_t { kClear, kQuads, kGrid, kImage };
        Kind kind = kClear;
        // Quads and image: [at, at + count) of the record's quads. Grid: its
        // cells at bytes [at, at + count), its palette right after them.
        size_t at = 0, count = 0;
        uint64_t revision = 0;        // image: the revision of its pixels
        GridView grid;                // geometry only; cells and palette are null
        uint8_t rgb[3] = {0, 0, 0};   // clear colour
    };

    // A clear covers whatever was drawn before it, so that is dropped.
    void Clear(uint8_t r, uint8_t g, uint8_t b);
    void Add(const Quad* quads, size_t count);
    void Add(const GridView& view);  // nothing for an empty view
    // A whole image over a rectangle (Host::DrawImage); the quad names it.
    void AddImage(const Quad& quad);
    void Reset();
    bool operator==(const FrameRecord& other) const;
    // The rectangles of a width x height picture outside which this record
    // paints the same pixels as the one before: none when they are equal,
    // the whole picture when they differ in more than what some rectangles,
    // image frames and grid cells show. At most kMaxDamage rectangles,
    // which may overlap.
    static constexpr size_t kMaxDamage = 8;
    std::vector<PixelRect> DamageSince(const FrameRecord& before, int width, int height) const;

    const std::vector<Op>& ops() const { return ops_; }
    const Quad* QuadsOf(const Op& op) const { return quads_.data() + op.at; }
    GridView GridOf(const Op& op) const;  // cells and palette point into the record

private:
    std::vector<Op> ops_;
    std::vector<Quad> quads_;
    std::vector<uint8_t> bytes_;
};

// Key codes that reach the program.
enum KeyCode : int {
    kKeyBackspace = 8,
    kKeyTab = 9,
    kKeyEnter = 13,
    kKeyEscape = 27,
    kKeySpace = 32,
    kKeyPageUp = 33,
    kKeyPageDown = 34,
    kKeyEnd = 35,
    kKeyHome = 36,
    kKeyLeft = 37,
    kKeyUp = 38,
    kKeyRight = 39,
    kKeyDown = 40,
    kKeyInsert = 45,
    kKeyDelete = 46,
    kKey3 = 51,
    kKeyA = 65,
    kKeyD = 68,
    kKeyF = 70,
    kKeyK = 75,
    kKeyN = 78,
    kKeyO = 79,
    kKeyR = 82,
    kKeyS = 83,
    kKeyV = 86,
    kKeyW = 87,
    kKeyY = 89,
    kKeyZ = 90,
    kKeyF1 = 112,  // to F12 = 123
    kKeyLeftShift = 160,
    kKeyRightShift = 161,
    kKeyLeftControl = 162,
    kKeyRightControl = 163,
    kKeyLeftAlt = 164,
    kKeyRightAlt = 165,
};

// The modifier keys held at a key press, as bits.
enum Modifier : int {
    kModControl = 1,
    kModShift = 2,
    kModAlt = 4,
};

// The polled input state both hosts keep. The window host feeds it from the
// window system's events, the headless host from its script.
class InputState {
public:
    static constexpr int kKeys = 256;
    static constexpr size_t kQueueSize = 256;

    int pointer_x = 0, pointer_y = 0;
    bool buttons[4] = {false, false, false, false};  // 1 left, 2 right, 3 middle
    int wheel = 0;

    // A press, and held until KeyUp. Each press keeps the modifiers held at
    // that moment: those of the keys held here, or the ones the window
    // system gives with the press (mods >= 0), so a modifier let go before
    // the frame looks still counts for the press.
    void KeyDown(int code, int mods = -1);
    void KeyUp(int code);
    void TypeChar(int code);       // dropped when the queue is full
    void ButtonDown(int button);
    void ButtonUp(int button);

    int KeyPresses(int code);      // consumes the count
    // Presses of the key whose modifiers, masked by mask, are exactly mods;
    // consumes those only.
    int KeyPresses(int code, int mods, int mask);
    int HeldModifiers() const;     // the modifiers held now
    bool KeyHeld(int code) const;
    int NextTypedChar();           // 0 when empty
    void ClearKeys();
    void ClearPointer();
    size_t QueuedChars() const { return queue_.size(); }

private:
    static constexpr int kModCombos = 8;
    int presses_[kKeys][kModCombos] = {};
    bool held_[kKeys] = {};
    std::vector<int> queue_;       // oldest first
};

// Paces frames in software: the next frame is due 1000/hertz ms after the
// previous one, and the remainder of the division is spread over the second
// by adding one millisecond whenever the accumulated remainder reaches hertz
// (at 60 Hz: 16, 17, 17 ms, repeating). A due time that has
// already passed is reset to now, so a slow frame is never caught up.
class FramePacer {
public:
    void Start(int hertz, int64_t now);
    // Returns how long to sleep before presenting (0 when the frame is late).
    int64_t Next(int64_t now);
    int64_t Due() const { return due_; }

private:
    int hertz_ = 60;
    int64_t step_ = 16;
    int64_t remainder_ = 40;
    int64_t acc_ = 0;
    int64_t due_ = 0;
    bool started_ = false;
};

// FatalError in a host that must not end the process (tests) throws this.
class FatalErrorRaised : public std::runtime_error {
public:
    explicit FatalErrorRaised(const std::string& text) : std::runtime_error(text) {}
};

// EndProgram in a host that must not end the process throws this.
class ProgramEnded : public std::runtime_error {
public:
    ProgramEnded() : std::runtime_error("program ended") {}
};

// The file dialog: (title, filter, save, initial path) -> chosen path or ""
// when cancelled. The filter lists groups separated by ';', each a
// description, ':' and an extension without its dot ("*" for all files).
using FileRequester = std::function<std::string(const std::string& title, const std::string& filter,
                                                bool save, const std::string& initial)>;

// How Flip ends a frame.
enum class Pace { kHertz, kNow };

class Host {
public:
    explicit Host(Clock& clock) : clock_(clock) {}
    virtual ~Host() = default;
    Host(const Host&) = delete;
    Host& operator=(const Host&) = delete;

    // ---- window and frame
    virtual void SetWindowTitle(const std::string& title) { title_ = title; }
    const std::string& WindowTitle() const { return title_; }
    // Opens the one window with a client area of width x height pixels;
    // hertz paces Flip(Pace::kHertz). False when it failed.
    virtual bool OpenWindow(int width, int height, int hertz) = 0;
    int WindowWidth() const { return window_w_; }
    int WindowHeight() const { return window_h_; }
    virtual void ClearScreen() = 0;
    // Ends the frame: kHertz paces the loop to the hertz of OpenWindow (see
    // FramePacer), kNow ends it at once. The frame is shown only when
    // its picture differs from the one shown last (see FrameRecord) or the
    // window system asked for it (the window was exposed, resized, restored,
    // or gained or lost the focus); otherwise the window keeps showing the
    // same picture and nothing is drawn. Input is sampled here.
    virtual void Flip(Pace pace) = 0;
    // Waits up to ms milliseconds, taking the window system's input as it
    // comes so that the next frame sees it, and stops early once input the
    // program answers has arrived (see TakeFreshInput); true then. Blocks,
    // never spins. Without a window system, input arrives only with Flip.
    virtual bool WaitInput(int64_t ms) {
        if (!fresh_) clock_.SleepMs(ms);
        return fresh_;
    }
    // True once after input arrived that the program may answer with a new
    // picture: a mouse button pressed or let go, a key pressed, a character
    // typed, the wheel turned, or a request to close the window. Moving the
    // pointer is none of these.
    bool TakeFreshInput() {
        const bool fresh = fresh_;
        fresh_ = false;
        return fresh;
    }
    // The next frame is shown whatever it holds (as when the window system
    // asks for it).
    void RequestRedraw() { redraw_ = true; }
    int PresentedFrames() const { return presented_frames_; }
    int SkippedFrames() const { return skipped_frames_; }
    // True once per request of the user to close the window.
    bool CloseRequested();
    // Whether such a request is waiting, looked at now instead of at the next
    // Flip, for long work to check between its steps; it stays pending for
    // CloseRequested.
    virtual bool CloseWaiting() { return close_pending_; }
    [[noreturn]] virtual void EndProgram() = 0;
    // Asked before a close request met inside a nested loop (a popup, a
    // prompt) ends the program: false keeps the program running and the
    // loop goes on. A close request while the guard itself is asking is not
    // taken. The main loop answers its own close requests.
    void SetCloseGuard(std::function<bool()> guard) { close_guard_ = std::move(guard); }
    // The end of one frame of a nested loop: presents it (Flip(Pace::kHertz)), then
    // answers a close request: the program ends unless the close guard keeps it.
    void ModalFlip();
    // Shows the text to the user and ends the program with a failure status.
    [[noreturn]] virtual void FatalError(const std::string& text) = 0;
    // A message that does not end the program, usable before the window
    // opens (stderr and a message box).
    virtual void ShowMessage(const std::string& title, const std::string& text) = 0;

    // ---- drawing state and calls (pixels from the top-left, as floats)
    void SetMaskRGB(int r, int g, int b);
    // Draws rectangles and image frames in order (see Quad).
    virtual void DrawQuads(const Quad* quads, size_t count) = 0;
    // Draws a grid view (see GridView). This implementation sends its
    // GridQuads through DrawQuads.
    virtual void DrawGrid(const GridView& view);
    // Draws all of an image (its first frame) stretched over w x h pixels at
    // (x, y), nearest texel, without the current colour or scale; texels
    // with alpha below one half are left out. Drawing an image whose pixels
    // did not change since it was last drawn costs no upload.
    virtual void DrawImage(const Image& image, float x, float y, float w, float h) = 0;
    // Window pixels per pixel of the program's picture (the picture is
    // scaled into the window): an image drawn over w x h shows all its
    // detail when it has w x h times this squared pixels. 1 without a window.
    virtual float PixelScale() const { return 1; }

    // ---- images
    // The whole picture, only to learn its size; null when unreadable.
    virtual ImagePtr LoadImageFile(const std::string& path);
    // The picture cut into count frames of cellw x cellh from source cell
    // first, masked and sampled nearest. Null on failure.
    virtual ImagePtr LoadImageCells(const std::string& path, int cellw, int cellh, int first, int count);
    PixelBufferPtr LoadPixelBuffer(const std::string& path);
    // An image of pixels the program made (ARGB, one frame, nothing masked),
    // for DrawImage; null when the buffer's sizes do not agree with its
    // pixels or it is empty.
    ImagePtr MakeImage(PixelBuffer pixels);
    // New pixels for an image, which the window uploads the next time it is
    // drawn; false (and the image unchanged) for a buffer MakeImage refuses.
    bool SetImagePixels(Image& image, PixelBuffer pixels);

    // ---- input, sampled between frames
    int PointerX() const { return input_.pointer_x; }
    int PointerY() const { return input_.pointer_y; }
    int ButtonHeld(int button) const;
    int WheelPosition() const { return input_.wheel; }
    int KeyPresses(int code) { return input_.KeyPresses(code); }
    // Presses made with exactly these modifiers (see InputState).
    int KeyPresses(int code, int mods, int mask) { return input_.KeyPresses(code, mods, mask); }
    int NextTypedChar() { return input_.NextTypedChar(); }
    void ClearKeys() { input_.ClearKeys(); }
    void ClearPointer() { input_.ClearPointer(); }

    // ---- dialog
    std::string RequestFile(const std::string& title, const std::string& filter, bool save,
                            const std::string& initial);
    void SetFileRequester(FileRequester requester) { requester_ = std::move(requester); }

    // ---- clock
    Clock& clock() { return clock_; }
    int64_t ClockMs() { return clock_.ClockMs(); }
    void SleepMs(int64_t ms) { clock_.SleepMs(ms); }

protected:
    // Pixels of the mask colour get alpha 0.
    void ApplyMask(PixelBuffer& pixels) const;
    // The frame pacing of Flip(Pace::kHertz): sleeps on the host's clock as needed.
    void PaceFrame();
    // Whether the frame composed so far must be shown.
    bool FrameChanged() const { return redraw_ || !(composed_ == presented_); }
    // The frame was shown (or skipped): its record becomes the one to
    // compare the next with.
    void FramePresented();
    void FrameSkipped();

    FrameRecord composed_;   // what the frame being composed has drawn
    FrameRecord presented_;  // what the frame shown last drew
    bool redraw_ = true;
    int presented_frames_ = 0, skipped_frames_ = 0;

    Clock& clock_;
    InputState input_;
    FramePacer pacer_;
    std::string title_;
    int window_w_ = 0, window_h_ = 0;
    int hertz_ = 60;
    uint8_t mask_[3] = {0, 0, 0};
    bool close_pending_ = false;  // set by the implementations
    bool fresh_ = false;          // set by the implementations (TakeFreshInput)
    std::function<bool()> close_guard_;
    bool guarding_ = false;  // the close guard is asking
    FileRequester requester_;
};

// Decodes a PNG file into ARGB pixels. False (and an empty buffer) when the
// file is missing or not a readable PNG.
bool LoadPng(const std::string& path, PixelBuffer& out);
// Writes ARGB pixels as an RGBA PNG file.
bool SavePng(const std::string& path, const PixelBuffer& pixels);
// The bytes of that file, in memory (for a caller that writes them through
// AtomicFile). False, out empty, for an empty or inconsistent buffer.
bool EncodePng(const PixelBuffer& pixels, std::vector<uint8_t>& out);

}  // namespace host
