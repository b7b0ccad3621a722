// Asking for a file: the desktop's dialog program, or a path typed into a prompt.
#include "editor/file_request.h"

#include "display/lineedit.h"
#include "display/palette.h"
#include "display/tilemap.h"
#include "files/files.h"

namespace editor {

namespace pal = display::palette;

std::string PromptPath(display::Display& display, const std::string& title, const std::string& initial,
                       bool save) {
    host::Host& host = display.host;
    const int width = display.settings.width - 4;
    display::tilemap bar(width > 1 ? width : 1, 3);
    std::string typed = host::NativePath(initial);
    bool asking = false;  // whether to replace the existing file typed
    host.ClearKeys();
    long frame = 0;
    for (;;) {
        // Every character typed since the last frame, so pasting is quick.
        for (int c = host.NextTypedChar(); c != 0; c = host.NextTypedChar()) {
            if (asking) {
                if (c == 'y' || c == 'Y') {
                    host.ClearKeys();
                    return typed;
                }
                if (c == 'n' || c == 'N') asking = false;  // back to the path
                continue;
            }
            if (display::TypeInto(typed, c, display::LineChars::Any) == display::LineKey::Enter) {
                if (save && host::PathKind(typed) == host::EntryKind::File) {
                    asking = true;
                    continue;
                }
                host.ClearKeys();
                return typed;
            }
        }
        if (host.KeyPresses(host::kKeyEscape) > 0) {
            if (asking) {
                asking = false;
            } else {
                host.ClearKeys();
                return "";
            }
        }

        host.ClearScreen();
        bar.Fill(0, pal::kText, pal::kPanel, 1);
        bar.InsertString(0, 0, title + " - type a path:", pal::kText, pal::kPanel, 0, 1, 0, -1);
        std::string shown = typed + (frame % 80 < 40 ? "_" : " ");
        // A long path shows its end, where the typing happens.
        if (static_cast<int>(shown.size()) > bar.tmapw) shown = shown.substr(shown.size() - bar.tmapw);
        bar.InsertString(0, 1, shown, pal::kText, pal::kScreen, 0, 1, 0, -1);
        bar.InsertString(0, 2,
                         asking ? "The file exists. Replace it?   Y: replace   N or Escape: change the path"
                                : "Enter: accept   Escape: cancel",
                         pal::kLabel, pal::kPanel, 0, 1, 0, -1);
        bar.Draw(display, 2, 2, 0, 0, -1, -1);
        ++frame;
        host.ModalFlip();
    }
}

host::FileRequester MakeFileRequester(display::Display& display, std::shared_ptr<host::FileDialog> dialog) {
    return [&display, dialog](const std::string& title, const std::string& filter, bool save,
                              const std::string& initial) -> std::string {
        host::DialogResult r = dialog->Request(title, filter, save, initial);
        if (r.status == host::DialogStatus::Chosen) return r.path;
        if (r.status == host::DialogStatus::Cancelled) return "";
        return PromptPath(display, title, initial, save);
    };
}

}  // namespace editor
