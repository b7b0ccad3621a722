// The re-lay on opening: the file's bytes, re-laid when their sizes leave
// out padding, then read as any other.
#include "editor/open_relaid.h"

#include <memory>
#include <optional>
#include <vector>

#include "check/repair.h"

namespace editor {

mesh::mshptr OpenRelaid(const std::string& path, const mesh::namelist& list, int recognizematl, bool grouped,
                        std::string& why, std::string& note) {
    auto bytes = std::make_shared<std::vector<uint8_t>>();
    if (!mesh::msh::ReadBytes(path, *bytes, &why)) return nullptr;
    check::RelayNote relay;
    std::optional<std::vector<uint8_t>> relaid = check::RelayPadding(*bytes, &relay);
    if (relaid) *bytes = std::move(*relaid);
    mesh::mshptr m = grouped ? mesh::OpenBytes(bytes, list, recognizematl, &why)
                             : mesh::msh::FromBytes(bytes, list, recognizematl, &why);
    if (!m) return nullptr;
    note = m->cut;
    if (relaid)
        note = "re-laid: " + std::to_string(relay.chunks) + (relay.chunks == 1 ? " chunk" : " chunks") +
               " whose size left out its padding (the first at offset " + std::to_string(relay.first) +
               "); saving writes every size with its padding";
    return m;
}

}  // namespace editor
