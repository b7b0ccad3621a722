// The inspector's view mode: the 3D preview (preview/) of the model that
// holds the selected chunk, or of the whole mesh, drawn by the host into the
// inspector window at the window's own resolution. Left drag orbits, right
// drag pans, the wheel zooms; a click on a triangle selects its segment. A
// finding of the check that names a vertex or a triangle is highlighted and
// looked at. The picture is rendered again only when the view, the
// selection or the mesh changed.
#pragma once

#include <cstdint>
#include <functional>
#include <memory>
#include <optional>
#include <string>

#include "check/check.h"
#include "display/tilemap.h"
#include "editor/panel.h"
#include "host/host.h"
#include "preview/locate.h"
#include "widgets/gadget.h"

namespace editor {

class PreviewPanel {
public:
    // window and grid: the inspector's window and its contents.
    PreviewPanel(Desk& ed, widgets::gadget& window, display::tilemap& grid);

    // Makes the mode's tick box and the buttons (hidden while the view is off).
    void Build();
    // Appends "home view" and "enlarge view" to the editor's table.
    void AddCommands();
    // One frame: with on, follows the selection, takes the pointer and
    // renders when something changed; off, hides the buttons.
    void View(bool on);
    // After the screen grid is drawn: the picture over its rectangle.
    void Draw();
    // The camera fitted again to what is shown.
    void Home();
    // The preview over the check window too, and back.
    void Enlarge(bool big);

    // What the check window gives it, set by the editor: the finding last
    // clicked there (null: none), and the hiding of the window under the
    // enlarged picture (none without a check window).
    std::function<const check::Finding*()> chosen;
    std::function<void(bool covered)> cover;

    // ---- open to tests
    widgets::gadget* viewbox = nullptr;  // the mode's tick box, beside "hex"
    widgets::gadget* homebutton = nullptr;
    widgets::gadget* bigbutton = nullptr;
    widgets::gadget* wirebox = nullptr;
    widgets::gadget* collisionbox = nullptr;
    widgets::gadget* shadowbox = nullptr;
    widgets::gadget* hiddenbox = nullptr;
    bool on = false;
    bool enlarged = false;
    preview::Camera camera;
    preview::Highlight mark;       // what the picture marks
    preview::Frame frame;          // the last picture
    int renders = 0;               // pictures rendered so far
    int builds = 0;                // geometry built so far
    // The picture's rectangle on the screen, in cells.
    int cx = 0, cy = 0, cw = 0, ch = 0;
    // The screen pixel of a world point; false when it is not in the picture.
    bool ScreenPixel(preview::Vec3 p, int& x, int& y) const;
    const preview::Geometry& geometry() const { return geom_; }
    int focus() const { return focus_; }

private:
    // What the picture depends on besides the geometry.
    struct Key {
        int64_t revision = -1;
        preview::Camera camera;
        preview::Highlight mark;
        int focus = -2, width = 0, height = 0;
        bool wire = false, collision = false, shadow = false, hidden = false;
        bool operator==(const Key& o) const;
    };
    void Follow();   // geometry, focus, highlight, camera after a change
    void Pointer();  // drags, the wheel, a click
    void Pick(int px, int py);
    void Render();
    preview::Visibility Kinds() const;

    Desk& ed_;
    widgets::gadget& window_;
    display::tilemap& grid_;
    int inspectorh_ = 0;  // the inspector window's own height
    preview::Geometry geom_;
    std::vector<uint8_t> shown_;
    int64_t revision_ = -1;       // the geometry's number (builds)
    const void* mesh_ = nullptr;  // the mesh it was built from, at this step
    uint64_t top_ = 0;
    size_t steps_ = 0;
    const mesh::chunk* selected_ = nullptr;
    int focus_ = -2;              // the model shown with its children, -1 all
    std::optional<int> fitted_;   // the focus the camera was fitted for; none: fit again
    preview::Visibility fittedkinds_;
    std::string finding_;         // the finding last looked at
    bool picked_ = false;         // the selection came from a click here
    bool failed_ = false;         // memory ran out for the picture
    bool empty_ = false;          // nothing shown has a triangle or a marker
    Key last_;
    bool relisted_ = false;       // the check window was given a new list
    host::ImagePtr image_;
    // A drag: its button (0 none), the last pointer pixel, whether it moved.
    int drag_ = 0, lastx_ = 0, lasty_ = 0, travel_ = 0;
    bool held_ = false;
};

}  // namespace editor
