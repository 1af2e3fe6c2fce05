#pragma once
// Load, Delete, Save and Save As of the main window's "Preset File" area, without the
// window: the window and `tavrin-cli preset` both call these. Questions and log lines
// go through the events port of the page context.
#include <string>
#include <string_view>
#include <vector>

#include "app/page_context.h"
#include "presets/file_layer.h"
#include "presets/preset_folder.h"

namespace tavrin {

enum class preset_outcome {
    done,            // loaded, deleted or saved
    ignored,         // empty name: nothing happens
    refused,         // the name is not a plain file name (a message box said why)
    declined,        // the question was answered No
    not_connected,   // Load without a connection ("No connection.")
    missing,         // Delete of a file that is not there
    folder_error,    // the preset folder cannot be created
    file_error,      // Load: unreadable, wrong size or wrong first bytes
    checksum_error,  // Load: the checksum does not match
    ring_full,       // Load: the command ring refused the write frame
    write_error,     // Save: the file could not be written; any old file is intact
    delete_error,    // Delete: the file could not be removed
};

// Whether the Save As window closes after `save_as` gave this outcome: it stays open
// for an empty, refused or declined name so that the user can change it.
bool save_as_window_closes(preset_outcome outcome);

class preset_actions {
  public:
    explicit preset_actions(page_context& ctx, file_layer& files = system_files());

    const preset_folder& folder() const { return folder_; }
    // The sorted listing for the drop-down.
    std::vector<std::string> listing() const { return folder_.listing(); }

    // "Load a File": after a Yes, the stored block goes to the amplifier as one
    // parameter-write frame (whether or not the version gate holds) and into the
    // mirror. Pages are not told: they show it when next created.
    preset_outcome load(std::string_view name);
    // "Delete a File": after a Yes, removes the file. The window then relists the
    // drop-down (preset_picker::relist_after_delete).
    preset_outcome remove(std::string_view name);
    // "Save": writes the mirror over the named file without asking.
    preset_outcome save(std::string_view name);
    // "OK" of the Save As window: asks before replacing an existing file.
    preset_outcome save_as(std::string_view name);

  private:
    bool name_acceptable(std::string_view name, preset_outcome& outcome);
    bool ask_yes(std::string text, std::string_view caption);
    preset_outcome write_preset(std::string_view name);

    page_context& ctx_;
    preset_folder folder_;
};

}  // namespace tavrin
