// The display: its configuration (grid size, tile set, palette, title,
// scale), the tile images and palette, and the host it draws through. One
// Display is made at start-up; LoadDisplay fills it and opens the window.
#pragma once

#include <cstdint>
#include <string>

#include "display/lineedit.h"
#include "host/host.h"

namespace display {

// The settings of the configuration file, with their defaults.
class tilemap;

struct DisplaySettings {
    int32_t width = 96;   // grid width in cells
    int32_t height = 32;  // grid height in cells
    std::string tileset = "data\\image\\curses.png";
    std::string palette = "data\\image\\palette.png";
    std::string title = "Caldrith";
    int32_t scale = 1;
};

// Passed as title to LoadDisplay: take the configured title.
inline const std::string kUseDefaultTitle = "?USE_DEFAULT";
// Passed as path to LoadTileSet and LoadPalette: take the configured path.
inline const std::string kUseDefaultPath = "?USE_DEAFULT";

class Display {
public:
    explicit Display(host::Host& host) : host(host) {}

    host::Host& host;
    DisplaySettings settings;
    // The folder that relative image paths of the settings are read from
    // (with its trailing '/'); empty: the working folder.
    std::string root;
    uint8_t tilew = 0, tileh = 0;        // tile size in pixels, set by LoadTileSet
    int32_t windoww = 0, windowh = 0;    // window size in pixels, set by LoadDisplay
    host::ImagePtr fgtiles, bgtiles;     // 256 frames each, frame n = glyph n
    uint8_t palette[768] = {};           // all reds, then all greens, then all blues
    bool configloaded = false;
    std::string slots[16];               // arguments of the last line split
    int slotcount = 0;

    // Reads the configuration (unless it is missing and one was already
    // read), loads the tile set and palette and opens the window. title
    // kUseDefaultTitle takes the configured one. Failures are fatal.
    void LoadDisplay(const std::string& configpath, const std::string& title = kUseDefaultTitle);
    // Applies every "keyword argument" line of the file; later lines win.
    void ReadDisplayConfig(const std::string& path);
    // Returns the line's keyword and fills slots/slotcount with its
    // comma-separated arguments. where ("on line N of path") goes into the
    // message about an unterminated quote.
    std::string SplitConfigLine(const std::string& line, const std::string& where);
    // Loads base + "_fg.png" and base + "_bg.png" (base: path without its
    // extension) as 256 glyph frames each and sets the tile size.
    void LoadTileSet(const std::string& path = kUseDefaultPath);
    // A relative path of the settings as read from root.
    std::string FromRoot(const std::string& path) const;
    // Reads up to 256 colours from the picture, row by row.
    void LoadPalette(const std::string& path = kUseDefaultPath);

    uint8_t Red(int index) const { return palette[index & 255]; }
    uint8_t Green(int index) const { return palette[256 + (index & 255)]; }
    uint8_t Blue(int index) const { return palette[512 + (index & 255)]; }
    // 0xRRGGBB of a palette entry.
    uint32_t Rgb(int index) const {
        return (uint32_t(Red(index)) << 16) | (uint32_t(Green(index)) << 8) | Blue(index);
    }
    // One cell on screen in pixels (tile size times scale).
    int CellPixelWidth() const { return tilew * settings.scale; }
    int CellPixelHeight() const { return tileh * settings.scale; }
};

// A modal one-line prompt: a bar at window row 2 shows the prompt and the
// typed text (in colour) with a blinking cursor; returns the text when Enter
// is typed. It takes the characters of LineChars::Prompt (display/lineedit.h). row is accepted for compatibility and not used. A request to
// close the window ends the program.
std::string InputLine(Display& display, const std::string& prompt, int row, int colour);

// A prompt of two rows at window row 2 that starts with text and edits it
// with a caret (LineEdit, display/lineedit.h): the prompt and the line,
// then the keys it takes or why the last input was refused. True and the
// edited text on Enter; false on Escape, with text left as it was.
bool EditLine(Display& display, const std::string& prompt, int colour, std::string& text,
              LineChars set = LineChars::Prompt);

// Paints a line being edited into w cells of row y of grid from column x:
// its text in colour, the part around the caret when it is longer, the
// caret's cell inverted (blinking with frame), all of it inverted when it is
// selected whole.
void PaintLineEdit(tilemap& grid, int x, int y, int w, const LineEdit& line, long frame, int colour);

}  // namespace display
