#include "cli/lab_hint.h"

#include <dirent.h>
#include <sys/stat.h>

#include <cstring>

namespace tavrin::cli {

lab_place find_lab_place(const std::string& netns_dir, const std::string& self) {
    struct stat own {};
    const bool known = ::stat(self.c_str(), &own) == 0;
    DIR* dir = ::opendir(netns_dir.c_str());
    if (dir == nullptr)
        return lab_place::no_lab;
    bool any = false;
    bool mine = false;
    while (const dirent* entry = ::readdir(dir)) {
        if (std::strncmp(entry->d_name, "tavrin-lab-", 11) != 0)
            continue;
        any = true;
        struct stat ns {};
        const std::string path = netns_dir + "/" + entry->d_name;
        if (known && ::stat(path.c_str(), &ns) == 0 && ns.st_dev == own.st_dev &&
            ns.st_ino == own.st_ino)
            mine = true;
    }
    ::closedir(dir);
    if (mine)
        return lab_place::inside;
    return any ? lab_place::outside : lab_place::no_lab;
}

std::string lab_hint(lab_place place) {
    switch (place) {
        case lab_place::outside:
            return "hint: a lab is up, but this command runs outside it: run it inside, "
                   "scripts/lab exec tavrin-cli ...";
        case lab_place::inside:
            return "hint: scripts/lab status tells which of the lab's processes is not "
                   "answering";
        case lab_place::no_lab:
            break;
    }
    return "hint: is the lab up? scripts/lab up, then run the command inside it: "
           "scripts/lab exec tavrin-cli ...";
}

}  // namespace tavrin::cli
