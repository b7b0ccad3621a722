// Display configuration, tile set and palette loading.
#include <algorithm>
#include <cctype>

#include "display/display.h"
#include "display/textint.h"
#include "files/files.h"

namespace display {

namespace {

// Characters that a configuration line may hold outside quotes.
bool AcceptedConfigChar(unsigned char c) {
    if (std::isalnum(c) || c == ' ' || c == '"') return true;
    static const std::string symbols = "~`/\\.!@#$%^&*()[]{}|:'_-+;";
    return c < 127 && symbols.find(static_cast<char>(c)) != std::string::npos;
}

// Trims characters with codes below 33 from both ends.
std::string Trim(const std::string& s) {
    size_t a = 0, b = s.size();
    while (a < b && static_cast<unsigned char>(s[a]) < 33) a++;
    while (b > a && static_cast<unsigned char>(s[b - 1]) < 33) b--;
    return s.substr(a, b - a);
}

std::string Lower(std::string s) {
    for (char& c : s) c = static_cast<char>(std::tolower(static_cast<unsigned char>(c)));
    return s;
}

}  // namespace

void Display::LoadDisplay(const std::string& configpath, const std::string& title) {
    if (host::PathKind(configpath) == host::EntryKind::File)
        ReadDisplayConfig(configpath);
    else if (!configloaded)
        host.FatalError("Failed to read " + configpath);
    std::string caption = title == kUseDefaultTitle ? settings.title : title;
    LoadTileSet(kUseDefaultPath);
    LoadPalette(kUseDefaultPath);
    int64_t w = int64_t(settings.width) * tilew * settings.scale;
    int64_t h = int64_t(settings.height) * tileh * settings.scale;
    // A size that no window can have would otherwise wrap around or open
    // nothing and leave the program drawing into the void.
    if (w <= 0 || h <= 0 || w > 16384 || h > 16384)
        host.FatalError("Failed to open a window of " + std::to_string(w) + " x " + std::to_string(h) + " pixels");
    windoww = static_cast<int32_t>(w);
    windowh = static_cast<int32_t>(h);
    host.SetWindowTitle(caption);
    if (!host.OpenWindow(windoww, windowh, 60))
        host.FatalError("Failed to open a window of " + std::to_string(w) + " x " + std::to_string(h) + " pixels");
}

void Display::ReadDisplayConfig(const std::string& path) {
    auto stream = host::OpenRead(path);
    if (!stream) host.FatalError("Failed to read " + path);
    int n = 0;
    do {
        n++;
        std::string line = stream->ReadLine();
        if (line.size() <= 3 || line.compare(0, 2, "//") == 0) continue;
        std::string where = "on line " + std::to_string(n) + " of " + path;
        std::string keyword = SplitConfigLine(line, where);
        std::string key = Lower(keyword);
        if (key == "width")
            settings.width = TextToInt(slots[0]);
        else if (key == "height")
            settings.height = TextToInt(slots[0]);
        else if (key == "scale")
            settings.scale = TextToInt(slots[0]);
        else if (key == "tileset")
            settings.tileset = slots[0];
        else if (key == "palette")
            settings.palette = slots[0];
        else if (key == "title")
            settings.title = slots[0];
        else
            host.FatalError("Unrecognized keyword '" + keyword + "' " + where);
        if (slotcount != 1) host.FatalError("Incorrect number of arguments " + where);
    } while (!stream->Eof());
    configloaded = true;
}

std::string Display::SplitConfigLine(const std::string& rawline, const std::string& where) {
    std::string line = rawline;
    std::replace(line.begin(), line.end(), '\t', ' ');
    line = Trim(line);
    for (auto& s : slots) s.clear();
    slotcount = 0;
    if (line.compare(0, 2, "//") == 0) return "";

    int slot = -1;
    std::string keyword;
    const size_t comment = line.find("//");
    auto finish = [&] {
        for (int i = 0; i < std::min(slotcount, 16); i++) {
            std::string& s = slots[i];
            std::replace(s.begin(), s.end(), '\t', ' ');
            std::replace(s.begin(), s.end(), '"', ' ');
            s = Trim(s);
        }
    };
    for (size_t p = 0; p < line.size(); p++) {
        unsigned char ch = static_cast<unsigned char>(line[p]);
        bool consumed = false;
        if (ch == ' ' && slot == -1) {
            slot = 0;
            slotcount = 1;
            consumed = true;
        }
        if (ch == ',') {
            slot++;
            slotcount++;
            consumed = true;
        }
        if (slot > 15) break;
        if (p == comment) break;
        if (consumed || !AcceptedConfigChar(ch)) continue;
        if (slot == -1) {
            if (ch != '"') keyword += static_cast<char>(ch);
        } else if (ch == '"') {
            size_t close = line.find('"', p + 1);
            if (close == std::string::npos) {
                slots[slot] += line.substr(p + 1);
                finish();
                host.ShowMessage("Improperly teminated string " + where + " ( " + slots[slot] + " )", "1");
                return keyword;
            }
            slots[slot] += line.substr(p + 1, close - p - 1);
            p = close;
        } else {
            slots[slot] += static_cast<char>(ch);
        }
    }
    finish();
    if (slotcount == 1 && slots[0].empty()) slotcount = 0;
    return Trim(keyword);
}

std::string Display::FromRoot(const std::string& path) const {
    if (root.empty() || path.empty() || path[0] == '/' || path[0] == '\\') return path;
    return root + path;
}

void Display::LoadTileSet(const std::string& path) {
    const std::string configured = FromRoot(path == kUseDefaultPath ? settings.tileset : path);
    std::string base = host::PathWithoutExtension(configured);
    std::string fgpath = base + "_fg.png", bgpath = base + "_bg.png";
    host::ImagePtr whole = host.LoadImageFile(fgpath);
    if (!whole) host.FatalError("Failed to load " + fgpath);
    int tw = whole->width / 16, th = whole->height / 16;
    host.SetMaskRGB(0, 0, 0);
    // A tile size must fit its byte; a picture too small has no tiles.
    if (tw <= 0 || th <= 0 || tw > 255 || th > 255) host.FatalError("Failed to load tileset image " + fgpath);
    fgtiles = host.LoadImageCells(fgpath, tw, th, 0, 256);
    if (!fgtiles) host.FatalError("Failed to load tileset image " + fgpath);
    bgtiles = host.LoadImageCells(bgpath, tw, th, 0, 256);
    if (!bgtiles) host.FatalError("Failed to load tileset image " + bgpath);
    tilew = static_cast<uint8_t>(tw);
    tileh = static_cast<uint8_t>(th);
}

void Display::LoadPalette(const std::string& path) {
    const std::string configured = FromRoot(path == kUseDefaultPath ? settings.palette : path);
    host::PixelBufferPtr buffer = host.LoadPixelBuffer(configured);
    if (!buffer) host.FatalError("Failed to load " + configured);
    size_t entry = 0;
    for (int y = 0; y < buffer->height; y++)
        for (int x = 0; x < buffer->width; x++) {
            if (entry >= 256)
                host.FatalError("Too many colors in palette " + configured + ", 256 is the proper amount.");
            uint32_t argb = host::ReadPixel(*buffer, x, y);
            palette[entry] = uint8_t(argb >> 16);
            palette[256 + entry] = uint8_t(argb >> 8);
            palette[512 + entry] = uint8_t(argb);
            entry++;
        }
}


}  // namespace display
