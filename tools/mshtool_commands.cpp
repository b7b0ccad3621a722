// The table of mshtool's commands, in the order of the help. Each entry names
// the command, its operands, what it does, its options besides --format and
// --no-matl, its exit codes and the function that runs it.
#include <cstdint>

#include "tools/mshtool_basic.h"
#include "tools/mshtool_check.h"
#include "tools/mshtool_cli.h"
#include "tools/mshtool_fix.h"
#include "tools/mshtool_text.h"
#include "tools/mshtool_render.h"

namespace tools {

const std::vector<Command>& Commands() {
    static const std::vector<Command> table = {
        {"tree", "MESH", 1, 1, "the tree of chunks, one a line",
         "Prints one line a chunk, depth first: two spaces a level, the four-letter\n"
         "name, a space and the size in bytes; past 32 levels the level is written\n"
         "as a number instead (@40 MODL 8). The root chunk and what is below it\n"
         "only; bytes after the root are not listed.",
         {},
         "0  done\n"
         "2  the mesh cannot be read, or the call is wrong\n"
         "3  the output cannot be written\n",
         RunTree},
        {"resave", "IN OUT", 2, 2, "open a mesh and save it, as the editor does",
         "Reads IN and writes it to OUT the way the editor saves: through a temporary\n"
         "file beside OUT that replaces it only once complete, a symbolic link\n"
         "followed, the mode of the old file kept. Unchanged parts are written\n"
         "straight from the bytes read.",
         {},
         "0  saved\n"
         "2  IN cannot be read, or the call is wrong\n"
         "3  OUT cannot be written (an existing file is left as it was)\n",
         RunResave},
        {"verify", "MESH", 1, 1, "the structural findings, one a line",
         "Verifies the root chunk against the structural rules of the format and\n"
         "prints each finding on a line, in the order of the editor's log.",
         {},
         "0  no finding\n"
         "1  at least one finding\n"
         "2  the mesh cannot be read, or the call is wrong\n"
         "3  the output cannot be written\n",
         RunVerify},
        {"check", "PATH...", 0, SIZE_MAX, "the deep check of files and folders",
         "Checks each file, and every *.msh below each folder (sorted), for what\n"
         "breaks the model compiler or the game, reading each by the format's\n"
         "schema, with the option file NAME.msh.option beside it. One finding a line:\n"
         "  FILE: SEVERITY: PATH: [RULE] MESSAGE\n"
         "and a summary on stderr. A file or folder that cannot be read gives the\n"
         "rule `unreadable`; the others are still checked. A folder that holds .odf\n"
         "or .tga files is a mod tree: the ODFs' references to meshes, nodes and\n"
         "other ODFs, the meshes' textures and the TGA headers are checked too, the\n"
         "ODF findings printed as FILE:LINE: SEVERITY: PROPERTY: [RULE] MESSAGE,\n"
         "and the summary counts the findings by rule. --rules (without\n"
         "paths) prints what every rule means, why it matters and how to fix it.",
         {{"--json", nullptr, "one JSON object a line (file, severity, rule, path, message, offset, size, element; "
                              "a mod tree's also line, property, target, target_file)"},
          {"--jobs", "N", "files checked at once, 1 to 1024 (default: one a core)"},
          {"--base", "DIR", "a folder of the game's stock assets: names found there resolve (again for more)"},
          {"--rules", nullptr, "print the reference of every rule instead of checking"}},
         "0  no error (warnings allowed)\n"
         "1  at least one error\n"
         "2  a file or folder cannot be read, or the call is wrong\n"
         "3  the output cannot be written\n",
         RunCheckCommand},
        {"fix", "IN [OUT]", 1, 2, "repair the faults whose mending is certain",
         "Applies every repair of the deep check (or those of the rules named with\n"
         "--rule) and writes the mesh to OUT, or over IN when something changed,\n"
         "through the editor's safe save; then checks it again. Each repair prints as\n"
         "  FILE: PATH: [RULE] WHAT\n"
         "and the findings left as check prints them. A folder repairs every *.msh\n"
         "below it, each over itself. Repairs: segment-empty (remove the segment),\n"
         "list-count (the count the bytes hold), model-index (number the models\n"
         "1..N, envelopes following), material-index (0 when there is one\n"
         "material), name-case (hp_, sv_, p_ in lower case, references following),\n"
         "shadow-visible (the hidden flag), bbox (boxes from the positions),\n"
         "chunk-layout (padding to four bytes; sizes that left it out re-laid; sizes\n"
         "and counts that disagree with their data written as it holds them).\n"
         "--rename OLD=NEW renames a model (its PRNTs and cloth names following) or\n"
         "a texture (in every material and cloth) to a name of any length.",
         {{"--rule", "ID", "only the repairs of this rule (may be given again)"},
          {"--rename", "OLD=NEW", "rename a model or texture, every reference following (may be given again)"},
          {"--dry-run", nullptr, "print the repairs and what would be left; write nothing"},
          {"--json", nullptr, "one JSON object a line (repairs: file, repair, path, what; findings as check)"}},
         "0  no error left (warnings allowed)\n"
         "1  errors left\n"
         "2  a mesh or a folder cannot be read, a --rename is refused, or the call is wrong\n"
         "3  a mesh cannot be written (an existing file is left as it was)\n",
         RunFix},
        {"dump", "MESH [OUT.txt]", 1, 2, "the text form of a mesh, to read, edit and compare",
         "Writes the chunks of MESH as text, one a line, indented by level: records\n"
         "decoded into named fields, list elements one a line, anything else as\n"
         "hexadecimal bytes (see the README). `mshtool build` turns it back into\n"
         "the same bytes. Without OUT.txt the text goes to stdout. Only --format\n"
         "matters: the file is written as it is, material lists included.",
         {},
         "0  done\n"
         "2  the mesh cannot be read, or the call is wrong\n"
         "3  the text cannot be written (an existing file is left as it was)\n",
         RunDump},
        {"build", "TXT OUT.msh", 2, 2, "the mesh a text form describes",
         "Reads a text form (as `mshtool dump` writes it, edited or not) and writes\n"
         "the mesh file it describes, every size and count worked out anew (save\n"
         "those the text gives with size= and count=). A line that does not read\n"
         "is reported with its number, and nothing is written.",
         {},
         "0  built\n"
         "2  the text cannot be read or has a wrong line, or the call is wrong\n"
         "3  OUT.msh cannot be written (an existing file is left as it was)\n",
         RunBuild, false},
        {"diff", "A B", 2, 2, "the differences between two meshes, one a line",
         "Compares A and B as chunk trees and prints one line a difference, with the\n"
         "path of its chunk in A: a chunk only in A or only in B, a moved or renamed\n"
         "model or material (matched by name, not by place), a record's fields, a\n"
         "text, a list's count and its first differing elements, other data as bytes.\n"
         "One changed vertex is one line.",
         {{"--json", nullptr, "one JSON object a line (kind, path, what, a, b)"},
          {"--tolerance", "E", "floats closer than E are equal (default 0: every bit counts)"}},
         "0  no difference\n"
         "1  at least one difference\n"
         "2  a mesh cannot be read, or the call is wrong\n"
         "3  the output cannot be written\n",
         RunDiff},
        {"render", "MESH OUT.png", 2, 2, "a picture of the mesh or of one model, as a PNG file",
         "Draws the whole mesh, or the model named by --model with its children,\n"
         "fitted into the picture, as the game shows it: each material's diffuse\n"
         "colour, its texture (TX0D, looked up beside the mesh, in its PC folder,\n"
         "then in the --textures folders, names compared without case), vertex\n"
         "colours, smooth shading from the normals, transparency, hard-edged alpha,\n"
         "additive and glowing materials; cloths with their CTEX. A texture that\n"
         "cannot be found or read is named on stderr and drawn magenta. Collision\n"
         "models (see-through, p_ primitives by their shape), shadow volumes (their\n"
         "open edges marked) and hidden models are left out unless asked for, named,\n"
         "or nothing else has triangles. The file is written through a temporary\n"
         "file beside OUT.png that replaces it only once complete.\n"
         "With a folder for MESH, every *.msh below it is drawn into the folder\n"
         "OUT.png names, at the same relative path with .png, several at once.",
         {{"--model", "NAME", "only this model and its children"},
          {"--size", "WxH", "the picture's size in pixels, 1 to 8192 each (default: 640x480)"},
          {"--yaw", "DEG", "the camera turned about the vertical axis (default: 30)"},
          {"--pitch", "DEG", "the camera raised above the horizon, -90 to 90 (default: 20)"},
          {"--wireframe", nullptr, "the triangles' edges drawn over them"},
          {"--textures", "DIR", "a folder to look for textures in (again for more)"},
          {"--bones", nullptr, "bones as lines from their parents"},
          {"--hardpoints", nullptr, "hardpoints (hp_ models) as red crosses"},
          {"--collision", nullptr, "collision models and primitives, see-through"},
          {"--shadow", nullptr, "shadow volumes, their open edges marked"},
          {"--jobs", "N", "meshes of a folder drawn at once (default: one a core)"}},
         "0  written\n"
         "2  a mesh cannot be read, no model has that name, or the call is wrong\n"
         "3  a picture cannot be written (an existing file is left as it was)\n",
         RunRender},
    };
    return table;
}

}  // namespace tools
