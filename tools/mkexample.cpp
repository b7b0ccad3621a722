// Writes the example mesh shipped in examples/: a textured cube hanging under
// an empty root model, with a scene header, two materials and every chunk a
// game mesh needs, so that a first look at the editor shows a real tree.
//
// usage: mkexample OUTPUT.msh
#include <cmath>
#include <cstdint>
#include <cstdio>
#include <cstring>
#include <string>
#include <vector>

#include "files/files.h"

namespace {

// One chunk: a name and either raw bytes or children.
struct Node {
    std::string name;
    std::vector<uint8_t> data;
    std::vector<Node> kids;
    bool count_prefix = false;  // material lists store their entry count first
};

class Bytes {
public:
    Bytes& Int(int32_t v) {
        uint32_t u = static_cast<uint32_t>(v);
        for (int i = 0; i < 4; ++i) b_.push_back(static_cast<uint8_t>(u >> (8 * i)));
        return *this;
    }
    Bytes& Short(uint16_t v) {
        b_.push_back(static_cast<uint8_t>(v));
        b_.push_back(static_cast<uint8_t>(v >> 8));
        return *this;
    }
    Bytes& Float(float f) {
        uint32_t u;
        std::memcpy(&u, &f, 4);
        return Int(static_cast<int32_t>(u));
    }
    Bytes& Byte(uint8_t v) {
        b_.push_back(v);
        return *this;
    }
    std::vector<uint8_t> Get() const { return b_; }

private:
    std::vector<uint8_t> b_;
};

// A null-terminated text padded with zeros to a multiple of four bytes.
std::vector<uint8_t> Text(const std::string& s) {
    std::vector<uint8_t> out(s.begin(), s.end());
    out.push_back(0);
    while (out.size() % 4 != 0) out.push_back(0);
    return out;
}

Node Leaf(const std::string& name, std::vector<uint8_t> data) { return Node{name, std::move(data), {}, false}; }
Node Box(const std::string& name, std::vector<Node> kids) { return Node{name, {}, std::move(kids), false}; }

std::vector<uint8_t> Encode(const Node& n) {
    std::vector<uint8_t> body;
    if (n.kids.empty()) {
        body = n.data;
    } else {
        if (n.count_prefix) body = Bytes().Int(static_cast<int32_t>(n.kids.size())).Get();
        for (const Node& k : n.kids) {
            std::vector<uint8_t> e = Encode(k);
            body.insert(body.end(), e.begin(), e.end());
        }
    }
    std::vector<uint8_t> out(n.name.begin(), n.name.end());
    std::vector<uint8_t> size = Bytes().Int(static_cast<int32_t>(body.size())).Get();
    out.insert(out.end(), size.begin(), size.end());
    out.insert(out.end(), body.begin(), body.end());
    return out;
}

// Bounding box: rotation quaternion, centre, half extents, sphere radius.
std::vector<uint8_t> BoundingBox(float half) {
    return Bytes()
        .Float(0).Float(0).Float(0).Float(1)
        .Float(0).Float(0).Float(0)
        .Float(half).Float(half).Float(half)
        .Float(half * std::sqrt(3.0f))
        .Get();
}

// Transform: scale, rotation quaternion, translation.
std::vector<uint8_t> Transform(float tx, float ty, float tz) {
    return Bytes()
        .Float(1).Float(1).Float(1)
        .Float(0).Float(0).Float(0).Float(1)
        .Float(tx).Float(ty).Float(tz)
        .Get();
}

Node Material(const std::string& name, float r, float g, float b, const std::string& texture) {
    std::vector<Node> kids;
    kids.push_back(Leaf("NAME", Text(name)));
    Bytes colours;
    colours.Float(r).Float(g).Float(b).Float(1);        // diffuse
    colours.Float(1).Float(1).Float(1).Float(1);        // specular
    colours.Float(0.2f).Float(0.2f).Float(0.2f).Float(1);  // ambient
    colours.Float(20);                                  // specular exponent
    kids.push_back(Leaf("DATA", colours.Get()));
    kids.push_back(Leaf("ATRB", Bytes().Byte(0).Byte(0).Byte(0).Byte(0).Get()));
    if (!texture.empty()) kids.push_back(Leaf("TX0D", Text(texture)));
    return Box("MATD", std::move(kids));
}

// One face of the cube as a segment: four corners, their normal and texture
// coordinates, drawn as one triangle strip.
Node Face(int material, const float normal[3], const float corners[4][3]) {
    Bytes pos, nrm, uv, strip;
    pos.Int(4);
    nrm.Int(4);
    uv.Int(4);
    static const float kUv[4][2] = {{0, 0}, {1, 0}, {0, 1}, {1, 1}};
    for (int i = 0; i < 4; ++i) {
        pos.Float(corners[i][0]).Float(corners[i][1]).Float(corners[i][2]);
        nrm.Float(normal[0]).Float(normal[1]).Float(normal[2]);
        uv.Float(kUv[i][0]).Float(kUv[i][1]);
    }
    // A strip starts with two indices whose top bit is set.
    strip.Int(4).Short(0x8000).Short(0x8001).Short(2).Short(3);
    return Box("SEGM", {Leaf("MATI", Bytes().Int(material).Get()), Leaf("POSL", pos.Get()),
                        Leaf("NRML", nrm.Get()), Leaf("UV0L", uv.Get()), Leaf("STRP", strip.Get())});
}

Node Cube() {
    std::vector<Node> geom;
    geom.push_back(Leaf("BBOX", BoundingBox(1)));
    // Corners of each face in strip order (two triangles sharing an edge).
    struct F {
        float n[3];
        float c[4][3];
    };
    static const F kFaces[6] = {
        {{0, 0, 1}, {{-1, 1, 1}, {1, 1, 1}, {-1, -1, 1}, {1, -1, 1}}},
        {{0, 0, -1}, {{1, 1, -1}, {-1, 1, -1}, {1, -1, -1}, {-1, -1, -1}}},
        {{1, 0, 0}, {{1, 1, 1}, {1, 1, -1}, {1, -1, 1}, {1, -1, -1}}},
        {{-1, 0, 0}, {{-1, 1, -1}, {-1, 1, 1}, {-1, -1, -1}, {-1, -1, 1}}},
        {{0, 1, 0}, {{-1, 1, -1}, {1, 1, -1}, {-1, 1, 1}, {1, 1, 1}}},
        {{0, -1, 0}, {{-1, -1, 1}, {1, -1, 1}, {-1, -1, -1}, {1, -1, -1}}},
    };
    for (int i = 0; i < 6; ++i) geom.push_back(Face(i < 4 ? 0 : 1, kFaces[i].n, kFaces[i].c));
    return Box("GEOM", std::move(geom));
}

Node Model(const std::string& name, int index, const std::string& parent, int type, bool hidden,
           float ty, bool withgeometry) {
    std::vector<Node> kids;
    kids.push_back(Leaf("MTYP", Bytes().Int(type).Get()));
    kids.push_back(Leaf("MNDX", Bytes().Int(index).Get()));
    kids.push_back(Leaf("NAME", Text(name)));
    if (!parent.empty()) kids.push_back(Leaf("PRNT", Text(parent)));
    kids.push_back(Leaf("FLGS", Bytes().Int(hidden ? 1 : 0).Get()));
    kids.push_back(Leaf("TRAN", Transform(0, ty, 0)));
    if (withgeometry) kids.push_back(Cube());
    return Box("MODL", std::move(kids));
}

Node Example() {
    Node sinf = Box("SINF", {Leaf("NAME", Text("example_cube")),
                             Leaf("FRAM", Bytes().Int(0).Int(1).Float(29.97f).Get()),
                             Leaf("BBOX", BoundingBox(1))});
    Node matl = Box("MATL", {Material("crate", 0.8f, 0.6f, 0.4f, "crate.tga"),
                             Material("metal", 0.6f, 0.6f, 0.7f, "metal.tga")});
    matl.count_prefix = true;
    Node msh2 = Box("MSH2", {sinf, matl, Model("dummyroot", 1, "", 0, true, 0, false),
                             Model("cube", 2, "dummyroot", 4, false, 1, true),
                             Model("p_cube", 3, "cube", 4, true, 1, true)});
    return Box("HEDR", {msh2, Leaf("CL1L", {})});
}

}  // namespace

int main(int argc, char** argv) {
    if (argc != 2) {
        std::fprintf(stderr, "usage: %s OUTPUT.msh\n", argv[0]);
        return 2;
    }
    std::vector<uint8_t> bytes = Encode(Example());
    host::AtomicFile out(argv[1]);
    if (!out.Ok() || !out.stream()->WriteBytes(bytes.data(), bytes.size()) || !out.Commit()) {
        std::fprintf(stderr, "%s: cannot write %s\n", argv[0], argv[1]);
        return 1;
    }
    return 0;
}
