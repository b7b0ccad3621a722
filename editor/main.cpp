// vornabel: the mesh editor in its window.
//
// usage: vornabel [MESH]
// mdata/ and data/image/ are read from the working folder, beside the program
// or from the installed data folder (host::DataRoot).
#include <memory>
#include <string>
#include <vector>

#include "display/display.h"
#include "editor/editor.h"
#include "editor/file_request.h"
#include "host/file_dialog.h"
#include "files/files.h"
#include "host/sdl_host.h"

int main(int argc, char** argv) {
    host::Arguments arguments(argc, argv);
    const std::vector<std::string>& all = arguments.ProgramArguments();
    std::vector<std::string> args(all.size() > 1 ? all.begin() + 1 : all.end(), all.end());

    host::SdlHost host;
    display::Display display(host);
    // Files are asked for through the desktop's dialog, or typed into a
    // prompt when the desktop has none.
    // The window keeps answering its window system while a dialog is open.
    auto dialog = std::make_shared<host::FileDialog>();
    dialog->SetIdle([&host] { host.PumpEvents(); });
    host.SetFileRequester(editor::MakeFileRequester(display, dialog));

    editor::Editor editor(host, display);
    editor.Startup(args);
    editor.Run();
    return 0;
}
