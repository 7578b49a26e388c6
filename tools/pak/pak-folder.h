// Packs a folder into package bytes: every regular file below the folder
// becomes an entry named by its path inside the folder ('/' separators),
// in sorted order so that the same folder always gives the same package.
#ifndef KODO_PAK_FOLDER_H
#define KODO_PAK_FOLDER_H

#include <algorithm>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <string>
#include <utility>
#include <vector>

#include "kd-pak-format.h"

inline bool KDPak_PackFolder(const std::string& folder, std::vector<unsigned char>& out, std::string* error) {
    namespace fs = std::filesystem;
    std::error_code ec;
    if (!fs::is_directory(folder, ec)) {
        if (error) *error = "not a folder: " + folder;
        return false;
    }
    std::vector<std::string> names;
    for (fs::recursive_directory_iterator it(folder, ec), end; !ec && it != end; it.increment(ec)) {
        if (!it->is_regular_file(ec)) continue;
        names.push_back(fs::relative(it->path(), folder, ec).generic_string());
    }
    if (ec) {
        if (error) *error = "cannot list " + folder + ": " + ec.message();
        return false;
    }
    std::sort(names.begin(), names.end());
    std::vector<std::pair<std::string, std::string> > entries;
    for (const std::string& name : names) {
        std::ifstream in(fs::path(folder) / name, std::ios::binary);
        if (!in) {
            if (error) *error = "cannot read " + name;
            return false;
        }
        std::string bytes((std::istreambuf_iterator<char>(in)), std::istreambuf_iterator<char>());
        entries.emplace_back(name, std::move(bytes));
    }
    return KDPak_Build(entries, out, error);
}

#endif
