// Reading the container-name list file.
#include "mesh/formatlist.h"

#include <memory>

#include "files/files.h"

namespace mesh {

namelist ReadFormatList(const std::string& path) {
    namelist list;
    std::unique_ptr<host::Stream> in = host::OpenRead(path);
    if (!in) return list;  // a missing list makes every chunk a leaf
    do {
        std::string line = in->ReadLine();
        std::string name;
        for (char c : line)
            if (c != '-') name.push_back(c);
        size_t b = 0, e = name.size();
        while (b < e && static_cast<unsigned char>(name[b]) < 33) ++b;
        while (e > b && static_cast<unsigned char>(name[e - 1]) < 33) --e;
        name = name.substr(b, e - b);
        for (char& c : name)
            if (c >= 'a' && c <= 'z') c = static_cast<char>(c - 'a' + 'A');
        list.push_back(name);
    } while (!in->Eof());
    in->Close();
    return list;
}

}  // namespace mesh
