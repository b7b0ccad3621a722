// Reading and writing the remembered settings (mdata/prefs.dat).
#include "editor/prefs.h"

#include "files/files.h"

namespace editor {

void ReadPrefs(const std::string& path, Prefs& prefs) {
    std::unique_ptr<host::Stream> in = host::OpenRead(path);
    if (!in || in->Eof()) return;
    prefs.lastdir = in->ReadLine();
    int b = in->ReadByte();
    if (b < 0) return;
    prefs.recognizematl = b != 0 ? 1 : 0;
    b = in->ReadByte();
    if (b < 0) return;
    prefs.handleflag = b != 0 ? 1 : 0;
}

bool WritePrefs(const std::string& path, const Prefs& prefs) {
    // The program names this file itself: a link planted in its place is
    // replaced, never followed to a file elsewhere.
    host::AtomicFile file(path, host::AtomicFile::Links::Replace);
    if (!file.Ok()) return false;
    host::Stream* out = file.stream();
    if (!out->WriteLine(prefs.lastdir) || !out->WriteByte(prefs.recognizematl ? 1 : 0) ||
        !out->WriteByte(prefs.handleflag ? 1 : 0))
        return false;
    return file.Commit();
}

}  // namespace editor
