# Text forms (mshtool build) of three meshes for pictures of the preview: a
# skinned arm with its bones and a hardpoint, a crate with its collision,
# shadow volume and a collision primitive, a cloth flag on a pole.
#   usage: awk -v which=skinned|collision|cloth -f tools/preview_meshes.awk > MESH.txt
function modl(type, idx, name, parent, tx, ty, tz, flags) {
  print "    MODL"; print "      MTYP"; print "        .type " type
  print "      MNDX"; print "        .index " idx
  print "      NAME \"" name "\""
  if (parent != "") print "      PRNT \"" parent "\""
  print "      FLGS"; print "        .flags " flags
  print "      TRAN"; print "        .scale 1 1 1"; print "        .rotation 0 0 0 1"
  print "        .translation " tx " " ty " " tz
}
function geom() {
  print "      GEOM"; print "        BBOX"; print "          .rotation 0 0 0 1"
  print "          .centre 0 0 0"; print "          .extents 1 1 1"; print "          .radius 1"
}
# A box segment: centre, half sizes.
function box(cx, cy, cz, hx, hy, hz,   i, q, k) {
  print "        SEGM"; print "          MATI"; print "            .material 0"
  print "          POSL count"
  for (i = 0; i < 8; i++)
    print "            - " cx + (i % 2 ? hx : -hx) " " cy + (int(i / 2) % 2 ? hy : -hy) " " cz + (int(i / 4) ? hz : -hz)
  print "          NDXT count"
  split("4 5 7 6 0 2 3 1 1 3 7 5 0 4 6 2 2 6 7 3 0 1 5 4", q, " ")
  for (k = 0; k < 6; k++) {
    print "            - " q[4*k+1] " " q[4*k+2] " " q[4*k+3]
    print "            - " q[4*k+1] " " q[4*k+3] " " q[4*k+4]
  }
}
# A cylinder along y from y0 to y1 of radius r, n sides, rings rings; with
# weights: the lower half to bone 0, the upper to bone 1, blended between.
function cylinder(y0, y1, r, n, rings, skin,   i, j, a, y, t, w) {
  print "        SEGM"; print "          MATI"; print "            .material 0"
  print "          POSL count"
  for (j = 0; j <= rings; j++) {
    y = y0 + (y1 - y0) * j / rings
    for (i = 0; i < n; i++) { a = 2 * 3.14159265 * i / n; print "            - " r * cos(a) " " y " " r * sin(a) }
  }
  if (skin) {
    print "          WGHT count"
    for (j = 0; j <= rings; j++) {
      t = j / rings; w = (t < 0.4) ? 0 : (t > 0.6) ? 1 : (t - 0.4) / 0.2
      for (i = 0; i < n; i++) print "            - 0 1 0 0 " 1 - w " " w " 0 0"
    }
  }
  print "          NDXT count"
  for (j = 0; j < rings; j++)
    for (i = 0; i < n; i++) {
      a = j * n + i; b = j * n + (i + 1) % n
      print "            - " a " " b " " a + n; print "            - " b " " b + n " " a + n
    }
}
function head(name) {
  print "HEDR"; print "  MSH2"; print "    SINF"; print "      NAME \"" name "\""
  print "    MATL count"; print "      MATD"; print "        NAME \"plain\""; print "        DATA"
  print "          .diffuse 0.8 0.8 0.8 1"; print "          .specular 1 1 1 1"
  print "          .ambient 0.2 0.2 0.2 1"; print "          .exponent 20"
}
BEGIN {
  if (which == "skinned") {
    head("arm")
    modl(0, 1, "root", "", 0, 0, 0, 0)
    modl(3, 2, "bone_upper", "root", 0, 0, 0, 1)
    modl(3, 3, "bone_lower", "bone_upper", 0, 2, 0, 1)
    modl(0, 4, "hp_hand", "bone_lower", 0, 2.2, 0, 0)
    modl(1, 5, "arm", "root", 0, 0, 0, 0)
    geom(); print "        ENVL count"; print "          - 2"; print "          - 3"
    cylinder(0, 4, 0.5, 16, 8, 1)
  } else if (which == "collision") {
    head("crate")
    modl(4, 1, "crate", "", 0, 0, 0, 0)
    geom(); box(0, 1, 0, 1, 1, 1); box(0, 2.3, 0, 0.6, 0.3, 0.6)
    modl(4, 2, "collision_crate", "crate", 0, 0, 0, 0)
    geom(); box(0, 1.15, 0, 1.1, 1.15, 1.1)
    modl(6, 3, "sv_crate", "crate", 0, 0, 0, 1)
    geom(); box(0, 1, 0, 1, 1, 1)
    modl(0, 4, "p_ground", "crate", 2, 0, 0, 1)
    print "      SWCI"; print "        .shape 0"; print "        .radius 0.5"; print "        .height 0"; print "        .length 0"
    geom(); box(0, 0.5, 0, 0.5, 0.5, 0.5)
  } else {
    head("flag")
    modl(4, 1, "pole", "", 0, 0, 0, 0)
    geom(); cylinder(0, 5, 0.08, 8, 1, 0)
    modl(2, 2, "flag", "pole", 0.08, 3, 0, 0)
    print "      GEOM"; print "        BBOX"; print "          .rotation 0 0 0 1"; print "          .centre 0 0 0"
    print "          .extents 1 1 1"; print "          .radius 1"
    print "        CLTH"; print "          CTEX \"flag.tga\""; print "          CPOS count"
    W = 12; H = 8
    for (j = 0; j <= H; j++) for (i = 0; i <= W; i++)
      print "            - " 3 * i / W " " 2 * j / H - 1 " " 0.25 * sin(i / W * 6.3) * (i / W)
    print "          CUV0 count"
    for (j = 0; j <= H; j++) for (i = 0; i <= W; i++) print "            - " i / W " " j / H
    print "          FIDX count"
    for (j = 0; j <= H; j++) print "            - " j * (W + 1)
    print "          CMSH count"
    for (j = 0; j < H; j++) for (i = 0; i < W; i++) {
      a = j * (W + 1) + i
      print "            - " a " " a + 1 " " a + W + 1; print "            - " a + 1 " " a + W + 2 " " a + W + 1
    }
  }
  print "CL1L"
}
