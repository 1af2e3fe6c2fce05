#include "presets/file_layer.h"

namespace tavrin {

bool is_temporary_name(const std::string& name) {
    const size_t prefix = sizeof temporary_prefix - 1, suffix = sizeof temporary_suffix - 1;
    return name.size() >= prefix + suffix && name.compare(0, prefix, temporary_prefix) == 0 &&
           name.compare(name.size() - suffix, suffix, temporary_suffix) == 0;
}

bool replace_file(file_layer& files, const std::string& folder, const std::string& target,
                  const uint8_t* bytes, size_t n) {
    files.remove_stale_temporaries(folder);
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
