#pragma once
// The preset folder, "Preset" beneath the directory the tool started in, and the
// sorted list of the preset files in it.
#include <string>
#include <string_view>
#include <vector>

#include "presets/file_layer.h"

namespace tavrin {

class preset_folder {
  public:
    preset_folder(std::string work_dir, file_layer& files);

    const std::string& path() const { return path_; }
    // The path of a preset; `name` must have passed check_preset_name.
    std::string file_path(std::string_view name) const;
    file_layer& files() const { return files_; }

    // Creates the folder when it is missing; false when that is impossible.
    bool ensure() const;
    // Every regular file of the folder by its plain name but the tool's temporary
    // files, sorted as the sorted drop-down sorts; empty when the folder is missing.
    std::vector<std::string> listing() const;

  private:
    std::string path_;
    file_layer& files_;
};

}  // namespace tavrin
