#pragma once
// The few file operations the presets need, behind an interface so that tests can
// make a write fail half-way (a full disk) without filling a real one.
#include <cstddef>
#include <cstdint>
#include <memory>
#include <optional>
#include <string>
#include <vector>

namespace tavrin {

enum class file_kind { missing, regular, directory, other };

// A file being written; closing it is part of writing it.
class file_writer {
  public:
    virtual ~file_writer() = default;
    virtual const std::string& path() const = 0;
    // True when all n bytes were written.
    virtual bool write_all(const uint8_t* bytes, size_t n) = 0;
    // Pushes the bytes to the disk.
    virtual bool flush() = 0;
    virtual bool close() = 0;
};

class file_layer {
  public:
    virtual ~file_layer() = default;
    // Follows symbolic links.
    virtual file_kind kind_of(const std::string& path) = 0;
    // True when the folder was created or already exists as a folder.
    virtual bool make_folder(const std::string& path) = 0;
    // Names of the regular files in `folder` (no folders, devices or pipes), unsorted;
    // empty when the folder is missing.
    virtual std::vector<std::string> plain_files(const std::string& folder) = 0;
    // At most `limit` bytes of a regular file; nothing when it cannot be opened or read.
    virtual std::optional<std::vector<uint8_t>> read_file(const std::string& path,
                                                          size_t limit) = 0;
    // A new file of its own name in `folder`, for writing; null when none can be made.
    virtual std::unique_ptr<file_writer> create_temporary(const std::string& folder) = 0;
    // Atomically puts `from` in the place of `to`, replacing a file there.
    virtual bool rename_over(const std::string& from, const std::string& to) = 0;
    virtual bool remove_file(const std::string& path) = 0;
    // Removes the temporary files in `folder` that saves which ended without
    // finishing left behind; those of saves still running stay.
    virtual void remove_stale_temporaries(const std::string& folder) = 0;
};

// Temporary files are named ".preset-<process id>-<count>.tmp".
inline constexpr char temporary_prefix[] = ".preset-";
inline constexpr char temporary_suffix[] = ".tmp";
// True for a name of the temporary files' pattern (".preset-*.tmp"): not a preset.
bool is_temporary_name(const std::string& name);

// The real file system (POSIX).
file_layer& system_files();

// Writes `bytes` to `target` in `folder` without ever leaving it half-written: the
// bytes go to a temporary file in the same folder, are flushed, and the file is
// renamed over the target. On failure the temporary file is removed and the old
// target, if any, is left as it was.
bool replace_file(file_layer& files, const std::string& folder, const std::string& target,
                  const uint8_t* bytes, size_t n);

}  // namespace tavrin
