// The inspector's view mode: the preview of the selected model, its camera,
// its buttons, the pick of a segment and the look at a finding's element.
#include "editor/previewpanel.h"

#include <algorithm>
#include <cmath>
#include <new>

#include "display/palette.h"
#include "editor/checkpanel.h"
#include "editor/panel.h"
#include "mesh/walk.h"

namespace editor {

using widgets::gadget;
namespace pal = display::palette;

namespace {

constexpr float kPi = 3.14159265358979f;
constexpr float kDegreesPerPixel = 0.5f;  // orbit speed of a left drag
constexpr float kZoomStep = 1.2f;         // distance factor of a wheel notch
constexpr int kClickTravel = 3;           // pixels a click may move and stay one
constexpr int kMostSide = 4096;           // the picture's largest side in pixels
// The rows the check window and the gap above it take below the inspector.
constexpr int kCheckRows = 15;

bool Same(const preview::Camera& a, const preview::Camera& b) {
    return a.target.x == b.target.x && a.target.y == b.target.y && a.target.z == b.target.z &&
           a.distance == b.distance && a.yaw == b.yaw && a.pitch == b.pitch && a.fov == b.fov && a.span == b.span;
}

bool Same(const preview::Highlight& a, const preview::Highlight& b) {
    return a.model == b.model && a.segment == b.segment && a.faces == b.faces && a.at == b.at &&
           a.vertex == b.vertex;
}

}  // namespace

bool PreviewPanel::Key::operator==(const Key& o) const {
    return revision == o.revision && Same(camera, o.camera) && Same(mark, o.mark) && focus == o.focus &&
           width == o.width && height == o.height && wire == o.wire && collision == o.collision &&
           shadow == o.shadow && hidden == o.hidden;
}

PreviewPanel::PreviewPanel(Desk& ed, gadget& window, display::tilemap& grid)
    : ed_(ed), window_(window), grid_(grid), inspectorh_(window.h) {}

// ---- building -------------------------------------------------------------------

void PreviewPanel::Build() {
    ed_.doc.findingschanged.Subscribe([this](const FindingsChanged&) { relisted_ = true; });
    viewbox = gadget::CreateCheckbox("view", 18, 0, window_);
    // The second row of the window: home, the four kinds of models, big.
    homebutton = gadget::CreateButton("home", 1, 2, 4, 1, window_);
    wirebox = gadget::CreateCheckbox("wire", 6, 2, window_);
    collisionbox = gadget::CreateCheckbox("coll", 13, 2, window_);
    shadowbox = gadget::CreateCheckbox("shdw", 20, 2, window_);
    hiddenbox = gadget::CreateCheckbox("hidn", 27, 2, window_);
    bigbutton = gadget::CreateButton("big", 34, 2, 3, 1, window_);
    for (gadget* g : {homebutton, wirebox, collisionbox, shadowbox, hiddenbox, bigbutton}) g->hidden = 1;
}

void PreviewPanel::AddCommands() {
    Command home;
    home.name = "home view";
    home.button = homebutton;
    home.enabled = [this] { return on; };
    home.run = [this] { Home(); };
    ed_.commands.push_back(std::move(home));
    Command big;
    big.name = "enlarge view";
    big.button = bigbutton;
    big.shortcuts = {{host::kKey3}};
    big.run = [this] { Enlarge(!enlarged); };
    ed_.commands.push_back(std::move(big));
}

void PreviewPanel::Enlarge(bool big) {
    // Over the check window, which is hidden meanwhile; the view comes on.
    enlarged = big && cover != nullptr;
    if (enlarged) viewbox->state = 1;
    window_.h = inspectorh_ + (enlarged ? kCheckRows : 0);
    grid_ = display::tilemap(window_.w - 3, window_.h - 2);
    if (cover) cover(enlarged);
    fitted_.reset();  // fitted again to the new shape
}

void PreviewPanel::Home() {
    fitted_.reset();
    Follow();
}

// ---- one frame --------------------------------------------------------------------

void PreviewPanel::View(bool shown) {
    on = shown;
    for (gadget* g : {homebutton, wirebox, collisionbox, shadowbox, hiddenbox, bigbutton}) g->hidden = on ? 0 : 1;
    // New findings or differences are not left hidden under the preview.
    if (enlarged && relisted_) Enlarge(false);
    relisted_ = false;
    if (!on) {
        if (enlarged) Enlarge(false);
        drag_ = 0;
        return;
    }
    cx = window_.dx + 1;
    cy = window_.dy + 3;
    cw = window_.w - 2;
    ch = window_.h - 4;
    // The buttons' row shows through the contents.
    grid_.SetTiles(0, 1, grid_.tmapw, 1, pal::kKeep, pal::kKeep, pal::kKeep, 1);
    Follow();
    Pointer();
    Render();
    if (failed_)
        grid_.InsertString(0, 2, "Not enough memory for the picture.", pal::kText, pal::kPanel, 0, 1, 0, -1);
    else if (!ed_.doc.mesh)
        grid_.InsertString(0, 2, "No mesh.", pal::kText, pal::kPanel, 0, 1, 0, -1);
    else if (empty_)
        grid_.InsertString(0, 2, "No triangles to show.", pal::kText, pal::kPanel, 0, 1, 0, -1);
}

preview::Visibility PreviewPanel::Kinds() const {
    return {collisionbox->state != 0, shadowbox->state != 0, hiddenbox->state != 0};
}

void PreviewPanel::Follow() {
    // The geometry is built again after every change of the mesh (each is a
    // step of its history, undone and redone ones too), not after a refresh
    // that only moved the selection.
    const mesh::msh* m = ed_.doc.mesh.get();
    const History::Step* last = ed_.doc.history.ToUndo();
    const uint64_t top = last ? last->id : 0;
    const size_t steps = ed_.doc.history.Steps();
    const bool rebuild = m != mesh_ || top != top_ || steps != steps_ || revision_ < 0;
    if (rebuild) {
        geom_ = preview::Geometry();
        failed_ = false;
        if (m && m->hedr) {
            try {
                geom_ = preview::Build(*m->hedr);
            } catch (const std::bad_alloc&) {
                geom_ = preview::Geometry();
                failed_ = true;
            }
        }
        mesh_ = m;
        top_ = top;
        steps_ = steps;
        revision_ = ++builds;
    }
    // The finding last clicked in the check window, while its chunk is the
    // selected one.
    const mesh::chunk* sel = ed_.doc.selchunk.get();
    std::optional<uint32_t> element;
    std::string finding;
    if (const check::Finding* f = chosen ? chosen() : nullptr) {
        if (sel && f->where.lock().get() == sel && f->element) {
            element = f->element;
            finding = f->rule + '\n' + f->path + '\n' + std::to_string(*f->element);
        }
    }
    const preview::Visibility kinds = Kinds();
    const bool kindschanged = kinds.collision != fittedkinds_.collision || kinds.shadow != fittedkinds_.shadow ||
                              kinds.hidden != fittedkinds_.hidden;
    if (!rebuild && sel == selected_ && finding == finding_ && !kindschanged && fitted_) return;

    focus_ = geom_.ModelOf(sel);
    const preview::Spot spot = preview::Locate(geom_, sel, element);
    mark = spot.mark;
    shown_ = preview::Shown(geom_, focus_, kinds);
    empty_ = true;
    for (size_t i = 0; i < geom_.models.size() && empty_; ++i) empty_ = !(shown_[i] && geom_.models[i].hardpoint);
    for (size_t i = 0; i < geom_.triangles.size() && empty_; ++i)
        empty_ = !shown_[size_t(geom_.segments[geom_.triangles[i].segment].model)];
    // A model alone on the screen is not marked: it would be all highlight.
    if (mark.model >= 0 && std::count(shown_.begin(), shown_.end(), uint8_t(1)) < 2) mark.model = -1;
    if ((fitted_ != focus_ && !picked_) || kindschanged || !fitted_) {
        const float aspect = float(std::max(1, cw * ed_.display.CellPixelWidth())) /
                             float(std::max(1, ch * ed_.display.CellPixelHeight()));
        camera = preview::Fit(geom_, shown_, camera.yaw, camera.pitch, aspect);
    }
    if (spot.found && !finding.empty() && finding != finding_) camera = preview::LookAt(camera, spot.point);
    fitted_ = focus_;
    fittedkinds_ = kinds;
    picked_ = false;
    selected_ = sel;
    finding_ = finding;
}

void PreviewPanel::Pointer() {
    const widgets::Toolkit& ui = ed_.ui;
    const int px = ed_.host.PointerX(), py = ed_.host.PointerY();
    const int pw = ed_.display.CellPixelWidth(), ph = ed_.display.CellPixelHeight();
    const bool inside = px >= cx * pw && px < (cx + cw) * pw && py >= cy * ph && py < (cy + ch) * ph;
    const bool held = ui.mousedown[1] || ui.mousedown[2];
    // A drag starts with a press on the picture and ends with its release.
    if (!drag_ && held && !held_ && inside) {
        drag_ = ui.mousedown[1] ? 1 : 2;
        lastx_ = px, lasty_ = py, travel_ = 0;
    }
    held_ = held;
    if (drag_ && ui.mousedown[drag_]) {
        const int dx = px - lastx_, dy = py - lasty_;
        travel_ += std::abs(dx) + std::abs(dy);
        lastx_ = px, lasty_ = py;
        if (travel_ > kClickTravel && (dx || dy)) {
            if (drag_ == 1) {
                camera.yaw = std::fmod(camera.yaw - float(dx) * kDegreesPerPixel, 360.0f);
                camera.pitch = std::clamp(camera.pitch + float(dy) * kDegreesPerPixel, -89.0f, 89.0f);
            } else {
                // The target moves with the pointer at its own depth.
                const float yaw = camera.yaw * kPi / 180, pitch = camera.pitch * kPi / 180;
                const preview::Vec3 back{std::cos(pitch) * std::sin(yaw), std::sin(pitch), std::cos(pitch) * std::cos(yaw)};
                const preview::Vec3 right = preview::Normalize(preview::Cross(back * -1, {0, 1, 0}));
                const preview::Vec3 up = preview::Cross(right, back * -1);
                const float height = float(std::max(1, ch * ph));
                const float unit = camera.fov > 0
                                       ? 2 * camera.distance * std::tan(camera.fov * kPi / 360) / height
                                       : camera.span / height;
                const preview::Vec3 target = camera.target - right * (float(dx) * unit) + up * (float(dy) * unit);
                if (preview::Finite(target)) camera.target = target;
            }
        }
    } else if (drag_) {
        if (drag_ == 1 && travel_ <= kClickTravel && inside) Pick(px, py);
        drag_ = 0;
    }
    if (ui.mousezdelta != 0 && inside) {
        const float d = camera.distance * std::pow(kZoomStep, float(ui.mousezdelta));
        if (std::isfinite(d) && d > 1e-6f && d < 1e12f) camera.distance = d;
        const float s = camera.span * std::pow(kZoomStep, float(ui.mousezdelta));
        if (std::isfinite(s) && s > 1e-6f && s < 1e12f) camera.span = s;
    }
}

void PreviewPanel::Pick(int px, int py) {
    // The picture must be of the geometry at hand.
    if (last_.revision != revision_ || frame.width <= 0 || cw <= 0 || ch <= 0) return;
    const int pw = ed_.display.CellPixelWidth(), ph = ed_.display.CellPixelHeight();
    const int fx = int(int64_t(px - cx * pw) * frame.width / (cw * pw));
    const int fy = int(int64_t(py - cy * ph) * frame.height / (ch * ph));
    const uint32_t t = frame.Pick(fx, fy);
    if (t == preview::Frame::kNone || t >= geom_.triangles.size()) return;
    const mesh::chunk* target = geom_.segments[geom_.triangles[t].segment].chunk;
    if (!target || !ed_.doc.mesh || !ed_.doc.mesh->hedr) return;
    // Found in the tree (segments are never below another segment), so only
    // a chunk that is still there is selected.
    mesh::chunkptr found;
    mesh::PreOrder(*ed_.doc.mesh->hedr, [&](mesh::chunk& c) {
        if (&c != target) return c.name == "SEGM" || c.name == "CLTH" ? mesh::walk::over : mesh::walk::into;
        found = c.shared_from_this();
        return mesh::walk::stop;
    });
    // The segment is selected and shown in the tree; the camera stays.
    if (found) picked_ = ed_.Reveal(found);
}

void PreviewPanel::Render() {
    const float scale = ed_.host.PixelScale() > 0 ? ed_.host.PixelScale() : 1;
    Key key;
    key.revision = revision_;
    key.camera = camera;
    key.mark = mark;
    key.focus = focus_;
    key.width = std::clamp(int(float(cw * ed_.display.CellPixelWidth()) * scale), 1, kMostSide);
    key.height = std::clamp(int(float(ch * ed_.display.CellPixelHeight()) * scale), 1, kMostSide);
    key.wire = wirebox->state != 0;
    const preview::Visibility kinds = Kinds();
    key.collision = kinds.collision, key.shadow = kinds.shadow, key.hidden = kinds.hidden;
    if (key == last_ && image_) return;
    try {
        preview::Render(geom_, shown_, camera, {key.wire}, mark, key.width, key.height, frame);
        host::PixelBuffer pixels{frame.width, frame.height, frame.pixels};
        if (!image_ || !ed_.host.SetImagePixels(*image_, pixels)) image_ = ed_.host.MakeImage(std::move(pixels));
        if (!image_) failed_ = true;
    } catch (const std::bad_alloc&) {
        failed_ = true;
        image_.reset();
        frame = preview::Frame();
    }
    ++renders;
    last_ = key;
}

void PreviewPanel::Draw() {
    if (!on || !image_ || failed_ || empty_ || !ed_.doc.mesh) return;
    const float pw = float(ed_.display.CellPixelWidth()), ph = float(ed_.display.CellPixelHeight());
    ed_.host.DrawImage(*image_, float(cx) * pw, float(cy) * ph, float(cw) * pw, float(ch) * ph);
}

bool PreviewPanel::ScreenPixel(preview::Vec3 p, int& x, int& y) const {
    float fx = 0, fy = 0;
    if (frame.width <= 0 || !preview::Project(camera, frame.width, frame.height, p, fx, fy)) return false;
    if (fx < 0 || fy < 0 || fx >= float(frame.width) || fy >= float(frame.height)) return false;
    const int pw = ed_.display.CellPixelWidth(), ph = ed_.display.CellPixelHeight();
    x = cx * pw + int(fx * float(cw * pw) / float(frame.width));
    y = cy * ph + int(fy * float(ch * ph) / float(frame.height));
    return true;
}

}  // namespace editor
