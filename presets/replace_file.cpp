#include "presets/file_layer.h"

namespace tavrin {

bool replace_file(file_layer& files, const std::string& folder, const std::string& target,
                  const uint8_t* bytes, size_t n) {
    std::unique_ptr<file_writer> w = files.create_temporary(folder);
    if (!w)
        return false;
    const std::string temp = w->path();
    bool ok = w->write_all(bytes, n) && w->flush();
    ok = w->close() && ok;
    w.reset();
    if (ok)
        ok = files.rename_over(temp, target);
    if (!ok)
        files.remove_file(temp);
    return ok;
}

}  // namespace tavrin
