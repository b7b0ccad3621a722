// How the editor asks for a file: the desktop's dialog program, and when
// there is none (or it fails to run), a path typed into a prompt of its own.
#pragma once

#include <memory>
#include <string>

#include "display/display.h"
#include "host/file_dialog.h"
#include "host/host.h"

namespace editor {

// A modal prompt for a path: the title, then the path, which starts as the
// initial one ('\' shown as '/') and can be edited at its end. Enter accepts
// the text, Escape cancels (the empty text). Every character from the space
// on is accepted, so any file name can be typed. For a file to save (save
// true), Enter on the name of an existing file asks first whether to replace
// it: Y accepts, N or Escape go back to the path.
std::string PromptPath(display::Display& display, const std::string& title, const std::string& initial,
                       bool save = false);

// The requester to install into the host: runs the dialog, and falls back to
// PromptPath when the dialog is unavailable.
host::FileRequester MakeFileRequester(display::Display& display, std::shared_ptr<host::FileDialog> dialog);

}  // namespace editor
