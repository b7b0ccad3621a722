// The rule table of the deep check and its look-up, with the model
// compiler's codes each rule stands for.
#include "check/rules.h"

namespace check {

namespace {

constexpr Severity E = Severity::error;
constexpr Severity W = Severity::warning;

constexpr const char* kOverrun = "MSH_UCFB_CHUNK_READ_OVERRUN";

constexpr Rule kRules[] = {
    // ---- Chunks and records ----
    {"truncated", E, "The file ends inside this chunk: it declares more data than the file still holds.",
     "The compiler refuses a file shorter than its root chunk says; everything after the cut is lost.",
     "Export the mesh again, or restore the file from a copy; the cut bytes cannot be guessed.",
     "MSH_UCFB_MEMORY_TOO_SMALL_MINIMUM, MSH_UCFB_MEMORY_TOO_SMALL_CHUNK, MSH_UCFB_CHUNK_READ_OVERRUN"},
    {"chunk-layout", E,
     "A chunk's size runs past its parent, a container holds bytes that form no chunk, or a chunk's data is not "
     "padded to a multiple of 4 bytes. Inside a chunk the compiler never reads (SINF, CAMR, ANM2) it is a warning.",
     "The compiler reads children by their sizes and refuses a child that overruns its parent. It reads the next "
     "child right after an unpadded one, but the game's own mod tools, the exporters' importers and this editor go "
     "on at the next multiple of 4 and read the padding and the next header as a chunk that is not there.",
     "mshtool fix pads the data and re-lays the sizes; otherwise correct the sizes in the editor (every change "
     "there rebuilds them), or remove the stray bytes.",
     kOverrun},
    {"version", E, "The scene is an MSH1 chunk, a version the tools do not read.",
     "The model compiler only reads MSH2 scenes.", "Export the model again with an exporter that writes MSH2.",
     "MSH_READ_VERSION_NOT_SUPPORTED"},
    {"unknown-chunk", W, "A chunk name the format does not define.",
     "The tools skip it; it is most likely a typo or left over from another tool.",
     "Rename it to the chunk it was meant to be, or delete it.", ""},
    {"placement", W, "A known chunk stands where the format does not put it (a NAME in a SEGM).",
     "The compiler ignores children it does not expect, so its data is not used.",
     "Move the chunk under the container it belongs to, or delete it.", ""},
    {"duplicate-chunk", W, "A container holds a chunk twice that it reads once (two FLGS in a MODL).",
     "The compiler keeps the last one and ignores the others.", "Delete the copy that is not meant.", ""},
    {"record-size", E,
     "A record's size is not that of its layout. Shorter is an error where the compiler reads the record, a "
     "warning in records it never reads (SINF, BBOX, CAMR, FRAM); longer is a warning (the rest is ignored).",
     "The compiler reads the fields at fixed offsets and refuses a record that ends before them; other tools may "
     "read the records it skips.",
     "Set the record's data to the layout's size (the inspector shows the fields).", kOverrun},
    {"list-count", E,
     "A list's leading count disagrees with its data size: the message gives the declared count and the count "
     "the bytes hold. Fewer bytes than the count needs is an error in lists the compiler reads, a warning in those "
     "it never reads (NDXT, NDXL, UV1L-UV3L, KFR3); more bytes is a warning. A MATL's count that is not its number of "
     "materials is a warning, an error when negative or above 1,048,576.",
     "The compiler reads as many entries as the count says and refuses a list that ends before them (a count too "
     "large to hold is its unknown error); other tools read the lists it skips.",
     "Write the count the data holds, or restore the missing entries.", "MSH_UCFB_CHUNK_READ_OVERRUN, MSH_UNKNOWN"},
    {"text", W,
     "A text record has no terminating zero byte. An error in the texts the compiler reads (a model's NAME and "
     "PRNT, a material's NAME, TX0D-TX3D, CTEX), where an empty record counts as one without it too.",
     "The compiler reads a text up to its zero byte and refuses one that runs to the end of its chunk; other readers "
     "run on and take garbage.",
     "Type the text again in the inspector: it is written with its zero byte and padding.", kOverrun},
    {"closing-chunk", W, "The file does not end with an empty CL1L chunk, inside or after the root.",
     "Exporters always write it; its absence suggests a file cut short by another tool.",
     "Append an empty CL1L chunk as the root's last child.", ""},
    {"animation", W, "The skeleton chunks SKL2, BLN2 and ANM2 do not come together, or their bone counts differ.",
     "The compiler reads the bone list of BLN2 on its own; the others are for animation tools.",
     "Export the model again with its skeleton, or delete the incomplete chunks.", ""},
    // ---- Scene ----
    {"scene-empty", E,
     "The root is not HEDR, the file has no MSH2 scene, the scene has no model, or no model holds mesh data: a "
     "triangle of a STRP (of a model of any type), a cloth's CMSH, or a p_ collision primitive.",
     "The compiler refuses a file without a scene, without models or without anything to draw. It takes triangles "
     "from STRP only: NDXT and NDXL are for other tools.",
     "Export the model with its geometry (a mesh with triangle strips, cloth or a p_ collision primitive).",
     "MSH_UCFB_STRICT_READER_ID_MISMATCH, MSH_VALIDATION_FAIL_NOT_EMPTY, MSH_VALIDATION_FAIL_NODE_MESH_DATA"},
    {"bbox", W, "A bounding box (of SINF or a GEOM) holds a value that is not a finite number.",
     "The compiler computes its own boxes and ignores these; the exporter writes them for scenes without visible "
     "geometry. Other tools may trust them.",
     "Write a box around the geometry, or zeros.", ""},
    {"material-index", E, "A segment's MATI names a material the MATL does not have (no MATI is material 0).",
     "The compiler refuses segments whose material is out of range.",
     "Set MATI to the index of an existing MATD (0-based), or add the missing material.",
     "MSH_VALIDATION_FAIL_GEOMETRY_SEGMENT_MATERIAL_INDEX"},
    {"render-type", W, "A material's render type (ATRB byte 1) is none the compiler knows.",
     "The material still works, but renders as a plain one; most likely not what was meant.",
     "Set a known render type: 0, 3, 4, 6, 7, 11, 22 or 24 to 29.", "MATERIAL_INVALID_RENDERTYPE"},
    {"texture-name", E,
     "A material's texture name (TX0D-TX3D, without its extension) holds a double quote, a line break, \"//\" or "
     "'=' followed by text.",
     "The compiler compiles the model, but lists its textures in its .req file, one quoted name a line; the level "
     "build reads \"//\" as a comment, '=' as a property and a quote or line break as the end of the name, and "
     "stops on the file: the level does not build.",
     "Rename the texture and its file: rename all (Control+R) in the editor on the texture record, or mshtool fix "
     "--rename OLD=NEW.",
     ""},
    // ---- Models ----
    {"model-index", E, "A model has no MNDX, or two models have the same MNDX.",
     "Envelopes name bones by MNDX; the compiler refuses a model without one or two with the same.",
     "Give every model a unique MNDX (exporters number them from 1).",
     "MSH_READ_MNDX_MISSING, MSH_READ_MNDX_DUPLICATE"},
    {"model-name", E, "Two models have the same name.",
     "Parents, envelopes and hardpoints name models; the compiler refuses duplicates.", "Rename one of them.",
     "MSH_VALIDATION_FAIL_NODE_NAME_UNIQUE"},
    {"model-type", E, "A model type (MTYP) none of null, skin, cloth, bone, static, shadow volume (0-4, 6).",
     "The compiler refuses unknown node types.", "Set MTYP to the model's type.",
     "MSH_VALIDATION_FAIL_NODE_TYPE_VALID"},
    {"parent-missing", E, "A PRNT names a model that does not exist; the message names it.",
     "The compiler refuses a node whose parent is missing.",
     "Rename the PRNT to the parent's name, or delete it to make the model a root.",
     "MSH_VALIDATION_FAIL_NODE_PARENTS_VALID"},
    {"parent-loop", E, "Following the parents from this model comes back to it.",
     "A loop has no root; the compiler refuses it.", "Break the loop by pointing one PRNT at a model outside it.",
     "MSH_VALIDATION_FAIL_NODE_PARENTS_NONCIRCULAR"},
    {"rotation", W, "A transform's rotation (TRAN) is a quaternion whose length is not 1 (off by more than 1%).",
     "The tools and the game turn the model by the four values as they are; a quaternion that is not of unit "
     "length scales and skews the model and everything below it as it turns it.",
     "Type the rotation again in degrees (the euler row of the TRAN in the inspector writes a unit quaternion), or "
     "divide the four values by their length.",
     ""},
    {"parent-order", W, "A model stands before its parent in the file.",
     "Some tools build the hierarchy in file order and need parents first.", "Move the model after its parent.",
     ""},
    {"name-case", W, "A name starts with HP_, SV_ or P_ in other than lower case.",
     "Only lower-case hp_, sv_ and p_ mark hardpoints, shadow volumes and collision primitives; this model is an "
     "ordinary one.",
     "Write the prefix in lower case, or rename the model if no marker was meant.",
     "POSSIBLE_TYPO_HP, POSSIBLE_TYPO_SHADOW_VOLUME, COLLISION_PRIMITIVE_WRONG_PREFIX"},
    {"lod-suffix", W, "A name carries a level-of-detail suffix the exporter does not know (_lod1, _lod4).",
     "Only lod2, lod3, lowres and lowrez mark levels of detail; the model is drawn at every distance.",
     "Use _lod2, _lod3 or _lowres.", ""},
    {"shadow-visible", W, "A shadow volume (a model named sv_, whatever its type) is not hidden (FLGS bit 0).",
     "The compiler also draws it as an ordinary mesh.", "Set FLGS to 1.", "UNHIDDEN_SHADOW_VOLUME"},
    {"skeleton-size", E, "The skeleton has more than 64 bones (bones, roots, hardpoints, kept and envelope models).",
     "The compiler refuses skeletons of more than 64 bones.",
     "Remove bones, or stop keeping models with -keep/-keepall.", "SKELETON_TOO_MANY_BONES"},
    // ---- Geometry ----
    {"segment-empty", W, "A segment has no vertices or no triangles.",
     "The compiler skips it; nothing of it is drawn.", "Delete the segment, or export the geometry again.", ""},
    {"vertex-limit", E,
     "A segment has more than 32768 vertices, or a collision mesh more than 65536: the collision models "
     "(collision...), or without them, without p_ primitives and without -nocollision, every model of the first "
     "level of detail that is drawn, from which the compiler builds the collision mesh itself.",
     "The compiler refuses segments and collision meshes it cannot index with 16 bits.",
     "Split the mesh into smaller pieces, add a collision model, or give -nocollision in the option file.",
     "MSH_VALIDATION_FAIL_GEOMETRY_SEGMENT_VERTEX_COUNT_LIMIT, COLLISION_MESH_TOO_MANY_VERTICES"},
    {"segment-counts", E, "A vertex list of a segment (NRML, UV0L, CLRL, WGHT) has another count than POSL.",
     "The compiler refuses segments whose vertex attributes disagree.",
     "Export the segment again; the message names the list and both counts.",
     "MSH_VALIDATION_FAIL_GEOMETRY_SEGMENT_ATTIBUTES_COUNT_MATCHES"},
    {"index-range", E,
     "A triangle index is not below the segment's vertex count: an error in STRP, a warning in NDXT and NDXL, "
     "which the compiler does not read.",
     "The compiler refuses triangles that name vertices that do not exist; other tools read NDXT and NDXL.",
     "Export the segment again.", "MSH_VALIDATION_FAIL_GEOMETRY_SEGMENT_TRIANGLES_INDEX_VALID"},
    {"not-finite", E,
     "A value that is NaN or infinite: an error in positions and cloth, and in weights when the option file asks "
     "for -softskin; a warning elsewhere (transforms, normals, weights of hard skins).",
     "The compiler refuses NaN positions; an infinite one makes the model's box infinite in game. Soft skins blend "
     "by the weights; a hard skin uses only each vertex's first bone.",
     "Clean the geometry of degenerate faces and export again.", "MSH_VALIDATION_FAIL_GEOMETRY_SEGMENT_NO_NANS"},
    {"uv-range", W, "A texture coordinate the compiler cannot pack into 16 bits: u or 1 - v outside [-16, 16).",
     "The compiler packs coordinates into 16 bits and cuts larger ones unless -largetexcoords is given.",
     "Keep coordinates in range, or give -largetexcoords in the option file.", "MODEL_MESH_LARGE_TEXCOORDS"},
    {"weight-bone", E, "A weight names a bone slot that the GEOM's ENVL does not have (every slot, weight 0 too), "
                       "or the segment has weights and the GEOM no ENVL.",
     "The compiler refuses bone indices beyond the envelope.", "Export the skin again with its envelope.",
     "MSH_VALIDATION_FAIL_GEOMETRY_SEGMENT_WEIGHTS_BONE_INDICES_VALID"},
    {"envelope", E, "An ENVL entry is no model's MNDX.",
     "The compiler maps envelope entries to models by MNDX and refuses one that names none.",
     "Write the MNDX of the bone the entry is meant for.",
     "MSH_READ_ENVL_ENTRY_OUT_OF_RANGE, MSH_READ_ENVL_ENTRY_MISSING_NODE"},
    {"envelope-bone", W, "An ENVL entry names a model that is not a bone, root, hardpoint or kept model.",
     "The compiler puts an unnamed bone with an identity transform in its place; the vertices stay still.",
     "Make the model a bone (MTYP 3), or keep it with -keep in the option file.", "BONE_MAP_USED_UNKEPT_NODE"},
    {"bones-per-segment", W, "A segment's weights use more than 15 bones.",
     "The compiler splits the segment, which costs draw calls.", "Use fewer bones for the segment's vertices.", ""},
    {"shadow-edges", E, "A shadow volume's (SHDW) half edges are broken: an index out of range, a twin that does "
                        "not point back, or an edge on no closed loop.",
     "The compiler refuses broken shadow volumes; the game would draw garbage.",
     "Delete the SHDW segment and let the compiler build the volume (sv_ model or -hiresshadow).",
     "MSH_VALIDATION_FAIL_SHADOW_VOLUME_EDGES_VALID"},
    {"shadow-closed", W,
     "The triangles the compiler builds a shadow volume from (those of an sv_ model, or with -hiresshadow of the "
     "level of detail it names) do not close: edges used by one triangle (open), edges used by more than two, "
     "triangles of no area, or corners within 1 mm of each other that it welds although they differ (in position "
     "or bones). The message counts them; the element is the first open edge (3 x triangle + corner).",
     "The compiler welds the corners, drops triangles of no area and fills the holes it can; where it cannot, it "
     "builds an open copy of every triangle, which costs twice the triangles and leaks shadow.",
     "Close the mesh in the modelling tool (merge vertices, fill holes, remove faces of no area and faces that "
     "share an edge with two others), or mark the open edges in the preview and export again.",
     "MODEL_SHADOW_MESH_DISCARDED_DEGENERATE_TRIANGLE, MODEL_SHADOW_MESH_MERGED_NONIDENTICAL_VERTICES, "
     "MODEL_SHADOW_MESH_MERGED_NONIDENTICAL_VERTICES_BONE_WEIGHTS, "
     "MODEL_SHADOW_MESH_MERGED_NONIDENTICAL_VERTICES_BONE_INDICES, MODEL_SHADOW_MESH_NON_MANIFOLD_EDGE_DETECTED, "
     "MODEL_SHADOW_MESH_CLOSE_UNABLE_TO_LOOP_BACK_TO_START, MODEL_SHADOW_MESH_CLOSE_STILL_OPEN_AFTER_FILL"},
    // ---- Cloth ----
    {"cloth", E,
     "Cloth data is inconsistent: CPOS and CUV0 counts differ, an index is not below the vertex count, a fixed "
     "weight names no model or one that is not a bone (MTYP 3), or a collision object has no parent or an unknown "
     "shape.",
     "The compiler refuses the cloth. It lets an index equal to the vertex count through, then reads past its "
     "vertices and may crash.",
     "Export the cloth again; the message names the list and the entry.",
     "MSH_VALIDATION_FAIL_CLOTH_ATTIBUTES_COUNT_MATCHES, MSH_VALIDATION_FAIL_CLOTH_FIXED_INDEX_VALID, "
     "MSH_VALIDATION_FAIL_CLOTH_FIXED_WEIGHT_VALID, MSH_VALIDATION_FAIL_CLOTH_TRIANGLES_INDEX_VALID, "
     "MSH_VALIDATION_FAIL_CLOTH_CONSTRAINTS_VALID, MSH_VALIDATION_FAIL_CLOTH_COLLISION_PARENT_VALID, "
     "MSH_VALIDATION_FAIL_CLOTH_COLLISION_SHAPE_VALID"},
    {"cloth-weights", W, "The fixed cloth vertices (FIDX) and their bones (FWGT) differ in count.",
     "The tools pair them up to the shorter list.", "Give every fixed vertex one bone name.",
     "CLOTH_FIXED_WEIGHT_UNKEPT_NODE"},
    // ---- Collision ----
    {"collision-shape", W, "A collision primitive's shape (SWCI) is none of sphere, cylinder, box (0, 2, 4).",
     "The game treats other shapes as spheres.", "Set the shape to 0, 2 or 4.", ""},
    {"collision", W,
     "A collision model looks wrong: p_ without SWCI, SWCI without p_, unknown collision flags, a collision mesh "
     "with weights or below a bone (also the one the compiler builds from the drawn models).",
     "The compiler skips or changes such collision; it is rarely what was meant.",
     "Name primitives p_-flags-name with an SWCI; keep collision meshes unskinned below the root.",
     "COLLISION_PRIMITIVE_MISSING_DATA, COLLISION_INVALID_FLAG, COLLISION_MESH_PARENT_NOT_ROOT, "
     "COLLISION_MESH_HAS_VERTEX_WEIGHTS"},
    {"collision-empty", E,
     "The collision mesh has no vertices or no triangles: the collision models (collision...), or without them the "
     "drawn models of the first level of detail the compiler builds it from.",
     "The compiler refuses a collision mesh without vertices or triangles (it takes triangles from STRP only).",
     "Give the collision model its geometry, delete it, or give -nocollision in the option file.",
     "COLLISION_MESH_BAD_VERTEX_COUNT, COLLISION_MESH_BAD_TRIANGLE_COUNT"},
    // ---- Option files ----
    {"option", E,
     "An option in NAME.msh.option has a value the compiler refuses (-scale, -maxbones, -lodgroup, -lodbias, "
     "-lodcostdivisor, -hiresshadow, bounding-box and lighting options, -attachlight), or the file cannot be read. "
     "A value it accepts in part (\"1.5x\" read as 1.5), an option without the names it takes and an unknown "
     "option are warnings.",
     "The compiler stops on a bad value. It takes every word that starts with '-' for an option, so a negative "
     "number must be quoted (\"-1\"); it ignores unknown options, which are most likely typos.",
     "Correct the value on the line the finding names.",
     "MSH_OPTION_LOAD_BAD_SCALE, MSH_OPTION_LOAD_BAD_MAX_BONES, MSH_OPTION_LOAD_BAD_LOD_GROUP, "
     "MSH_OPTION_LOAD_BAD_LOD_BIAS, MSH_OPTION_LOAD_BAD_LOD_COST_DIVISOR, MSH_OPTION_LOAD_BAD_HI_RES_SHADOW, "
     "MSH_OPTION_LOAD_BAD_BOUNDING_BOX_SCALE, MSH_OPTION_LOAD_BAD_BOUNDING_BOX_OFFSET, "
     "MSH_OPTION_LOAD_BAD_AMBIENT_LIGHTING, MSH_OPTION_LOAD_BAD_ATTACH_LIGHT, MSH_OPTION_LOAD_IO_OPEN_ERROR, "
     "MSH_OPTION_LOAD_IO_GENERIC_ERROR"},
    {"option-name", W, "A name given to -keep, -keepmaterial or -attachlight is no model, or a -bump texture is "
                       "the first texture of no material.",
     "The option does nothing; most likely a typo.", "Write the model's or texture's name as in the mesh.",
     "MISSING_KEEP_NODE, MISSING_KEEP_MATERIAL, MISSING_ATTACH_LIGHT, MISSING_BUMP_MAP"},
    // ---- Mod trees (mshtool check DIR) ----
    {"odf-user", Severity::note,
     "An ODF of the mod tree that uses the mesh (names it, itself or through ClassParent): the editor's check "
     "lists them for the open mesh, followed by the references of theirs that fail.",
     "The ODFs' node properties name the mesh's nodes: renaming or deleting one breaks them.",
     "Nothing to fix; keep the nodes the ODFs name.",
     ""},
    {"texture-missing", W,
     "A material's texture (TX0D-TX3D) or a cloth's (CTEX) is no .tga in any folder of the tree (or of --base). "
     "Without --base it is a note: it may be one of the game's stock textures.",
     "The build finds no file for the texture; the game draws the surface untextured.",
     "Put the .tga beside the mesh (or in its PC folder), correct the name (rename all, Control+R), or give the "
     "stock asset folders with --base.",
     ""},
    {"texture-elsewhere", W,
     "A texture is found neither beside the mesh (its folder, its PC subfolder) nor in the part of the mod whose "
     "build takes the mesh (its side or world, Sides/NAME or Worlds/NAME, and Common), but only in another side or "
     "world; the message says where.",
     "A side's or world's build munges the textures of its own folders and of Common: the file in another side is "
     "not found, and the surface is drawn untextured.",
     "Copy the .tga beside the mesh (or into its PC folder).",
     ""},
    {"tga-format", E,
     "A .tga the texture build does not read: run-length compressed, colour-mapped, another image type than true "
     "colour or greyscale, another pixel depth than 16, 24, 32 (8 for greyscale), interleaved rows, no pixels, or "
     "a file that ends inside its header or pixels.",
     "The texture build stops on the file; the textures that use it are missing in the game.",
     "Save the image again as an uncompressed true-colour TGA (24 bits, or 32 with alpha).",
     "TGA_LOAD_FAIL, TGA_LOAD_UNEXPECTED_FORMAT, TGA_LOAD_BAD_CUBE_SOURCE_ASPECT_RATIO"},
    {"tga-size", W, "A .tga whose sides are not powers of two, or larger than 4096 pixels.",
     "The build cannot compress or mip-map such a texture as the game expects; cards the game runs on take no "
     "textures larger than 4096.",
     "Scale the image to sides that are powers of two, at most 4096.",
     ""},
    {"odf-mesh", W,
     "An ODF property that names a mesh (GeometryName, DestroyedGeometryName, ChunkGeometryName, "
     "UnbuiltGeometryName, CarriedGeometryName, HoloImageGeometry, HighResGeometry, LowResModel, FirstPersonModel, "
     "AttachedMesh) names one that no folder holds. Without --base it is a note: it may be a stock mesh.",
     "The level build finds no model for the object; it is invisible or the build stops.",
     "Correct the name, add the mesh to the side's msh folder, or give the stock asset folders with --base.",
     ""},
    {"odf-class", W,
     "ClassParent or ClothODF names an ODF the tree does not hold. Without --base it is a note: it may be a stock "
     "class.",
     "The object inherits nothing, or the cloth is missing; the level build may stop.",
     "Correct the name, add the ODF, or give the stock asset folders with --base.",
     ""},
    {"odf-node", W,
     "An ODF property that names a node (FirePointName, BarrelNodeName, TurretNodeName, AimerNodeName, "
     "DamageAttachPoint, PilotPosition, ChunkNodeName, AttachToHardPoint, HitLocation, ...) or a collision object "
     "(SoldierCollision, OrdnanceCollision, VehicleCollision, BuildingCollision, TargetableCollision, "
     "TerrainCollision) names one that none of the object's meshes has (its own and those it inherits through "
     "ClassParent; the message lists them). A property inherited from ClassParent is checked in the child.",
     "The game finds no such node: effects, fire points, turrets and pilots sit at the object's origin, and "
     "collision that names a missing primitive does not collide.",
     "Write the node's name as in the mesh, or add the node (an hp_ hardpoint, a p_ primitive) to the mesh.",
     ""},
    {"odf-node-dropped", W,
     "An ODF property names a node that its mesh has, but the model compiler merges away: it is not an hp_ "
     "hardpoint, not a bone, not a root, and -keep in the mesh's option file does not name it.",
     "The game model holds only the nodes the compiler keeps; the game finds no node of that name.",
     "Add -keep NAME to the mesh's .msh.option file, or rename the node to start with hp_.",
     ""},
};

constexpr UntriggeredCode kUntriggered[] = {
    {"MSH_UCFB_CHUNK_READ_CHILD_ID_MISMATCH", "the compiler reads no child by an expected name"},
    {"MSH_UCFB_UNKNOWN", "every failure of its chunk reader has a code of its own"},
    {"MODEL_SPLIT_SEGMENT_UNSKINNED, MODEL_SPLIT_SEGMENT_BAD_VERTEX_COUNT, MODEL_SPLIT_SEGMENT_UNEXPECTED_FAILURE",
     "it splits only skinned segments with vertices and triangles it has checked"},
    {"MODEL_GENERATE_TANGENTS_MISSING_INPUTS, MODEL_GENERATE_TANGENTS_UNKNOWN_FAILURE, "
     "MODEL_GENERATE_TANGENTS_BAD_VERTEX_COUNT",
     "it makes tangents only for segments it has built with vertices, normals and triangles"},
    {"MODEL_OPTIMIZE_MERGE_SEGMENTS_BAD_VERTEX_COUNT, MODEL_OPTIMIZE_VERTEX_CACHE_BAD_TRIANGLE_COUNT, "
     "MODEL_OPTIMIZE_VERTEX_CACHE_BAD_VERTEX_COUNT, MODEL_OPTIMIZE_VERTEX_FETCH_REORDER_BAD_VERTEX_COUNT",
     "segments without vertices or triangles are left out before"},
    {"MODEL_SHADOW_MESH_MISSING_INPUTS, MODEL_SHADOW_MESH_UNEXPECTED_FAILURE",
     "its shadow segments always have their positions and room for their triangles"},
    {"COLLISION_MESH_SIMPLIFIED_FACE_INVALID", "a merged face keeps the corners of its triangles"},
    {"REQ_WRITE_IO_OPEN_ERROR, REQ_WRITE_IO_GENERIC_ERROR, WRITE_IO_OPEN_ERROR, WRITE_IO_GENERIC_ERROR",
     "writing its output files, not the mesh"},
};

}  // namespace

const char* SeverityName(Severity s) {
    return s == Severity::error ? "error" : s == Severity::warning ? "warning" : "note";
}

std::span<const Rule> Rules() { return kRules; }

std::span<const UntriggeredCode> UntriggeredCodes() { return kUntriggered; }

const Rule* FindRule(std::string_view id) {
    for (const Rule& r : kRules)
        if (id == r.id) return &r;
    return nullptr;
}

}  // namespace check
