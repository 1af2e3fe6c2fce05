#include "presets/preset_folder.h"

#include <algorithm>

#include "platform/text_order.h"
#include "presets/preset_texts.h"

namespace tavrin {

preset_folder::preset_folder(std::string work_dir, file_layer& files)
    : path_(std::move(work_dir)), files_(files) {
    if (path_.empty())
        path_ = ".";
    if (path_.back() != '/')
        path_ += '/';
    path_ += preset_text::folder_name;
}

std::string preset_folder::file_path(std::string_view name) const {
    return path_ + "/" + std::string(name);
}

bool preset_folder::ensure() const {
    return files_.make_folder(path_);
}

std::vector<std::string> preset_folder::listing() const {
    std::vector<std::string> names = files_.plain_files(path_);
    std::erase_if(names, is_temporary_name);
    // In the drop-down's own order, so that its indexes name these files.
    std::sort(names.begin(), names.end(),
              [](const std::string& a, const std::string& b) { return sorts_before(a, b); });
    return names;
}

}  // namespace tavrin
