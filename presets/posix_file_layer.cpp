// The file layer on POSIX calls. Reads never block on a pipe or device and never
// take more than they were asked for.
#include <dirent.h>
#include <fcntl.h>
#include <signal.h>
#include <sys/stat.h>
#include <unistd.h>

#include <atomic>
#include <cerrno>
#include <charconv>
#include <optional>
#include <string>

#include "presets/file_layer.h"

namespace tavrin {
namespace {

class posix_writer : public file_writer {
  public:
    posix_writer(int fd, std::string path) : fd_(fd), path_(std::move(path)) {}
    ~posix_writer() override { close(); }

    const std::string& path() const override { return path_; }

    bool write_all(const uint8_t* bytes, size_t n) override {
        while (n > 0) {
            ssize_t w = ::write(fd_, bytes, n);
            if (w < 0 && errno == EINTR)
                continue;
            if (w <= 0)
                return false;
            bytes += w;
            n -= static_cast<size_t>(w);
        }
        return true;
    }

    bool flush() override { return fd_ >= 0 && ::fsync(fd_) == 0; }

    bool close() override {
        if (fd_ < 0)
            return true;
        int fd = fd_;
        fd_ = -1;
        return ::close(fd) == 0;
    }

  private:
    int fd_;
    std::string path_;
};

class posix_files : public file_layer {
  public:
    file_kind kind_of(const std::string& path) override {
        struct stat st {};
        if (::stat(path.c_str(), &st) != 0)
            return file_kind::missing;
        if (S_ISREG(st.st_mode))
            return file_kind::regular;
        if (S_ISDIR(st.st_mode))
            return file_kind::directory;
        return file_kind::other;
    }

    bool make_folder(const std::string& path) override {
        if (::mkdir(path.c_str(), 0777) == 0)
            return true;
        return errno == EEXIST && kind_of(path) == file_kind::directory;
    }

    std::vector<std::string> plain_files(const std::string& folder) override {
        std::vector<std::string> names;
        DIR* dir = ::opendir(folder.c_str());
        if (dir == nullptr)
            return names;
        while (const dirent* e = ::readdir(dir)) {
            std::string name = e->d_name;
            if (name == "." || name == "..")
                continue;
            if (kind_of(folder + "/" + name) == file_kind::regular)
                names.push_back(std::move(name));
        }
        ::closedir(dir);
        return names;
    }

    std::optional<std::vector<uint8_t>> read_file(const std::string& path, size_t limit) override {
        // Non-blocking so that a pipe in the folder cannot hang the open.
        int fd = ::open(path.c_str(), O_RDONLY | O_NONBLOCK | O_CLOEXEC);
        if (fd < 0)
            return std::nullopt;
        struct stat st {};
        if (::fstat(fd, &st) != 0 || !S_ISREG(st.st_mode)) {
            ::close(fd);
            return std::nullopt;
        }
        std::vector<uint8_t> bytes(limit);
        size_t got = 0;
        while (got < limit) {
            ssize_t r = ::read(fd, bytes.data() + got, limit - got);
            if (r < 0 && errno == EINTR)
                continue;
            if (r < 0) {
                ::close(fd);
                return std::nullopt;
            }
            if (r == 0)
                break;
            got += static_cast<size_t>(r);
        }
        ::close(fd);
        bytes.resize(got);
        return bytes;
    }

    std::unique_ptr<file_writer> create_temporary(const std::string& folder) override {
        static std::atomic<unsigned> counter{0};
        // A name of fixed length, so that it fits wherever the target's name fits.
        for (int attempt = 0; attempt < 100; ++attempt) {
            std::string path = folder + "/" + temporary_prefix + std::to_string(::getpid()) + "-" +
                               std::to_string(counter.fetch_add(1)) + temporary_suffix;
            int fd = ::open(path.c_str(), O_WRONLY | O_CREAT | O_EXCL | O_CLOEXEC, 0666);
            if (fd >= 0)
                return std::make_unique<posix_writer>(fd, std::move(path));
            if (errno != EEXIST)
                return nullptr;
        }
        return nullptr;
    }

    bool rename_over(const std::string& from, const std::string& to) override {
        return ::rename(from.c_str(), to.c_str()) == 0;
    }

    bool remove_file(const std::string& path) override { return ::unlink(path.c_str()) == 0; }

    void remove_stale_temporaries(const std::string& folder) override {
        for (const std::string& name : plain_files(folder)) {
            const std::optional<pid_t> writer = writer_of(name);
            // Only a file whose process has ended: another save may be writing the rest.
            if (writer && ::kill(*writer, 0) != 0 && errno == ESRCH)
                ::unlink((folder + "/" + name).c_str());
        }
    }

  private:
    // The process that made a temporary file ".preset-<pid>-<count>.tmp".
    static std::optional<pid_t> writer_of(const std::string& name) {
        if (!is_temporary_name(name))
            return std::nullopt;
        const size_t prefix = sizeof temporary_prefix - 1, suffix = sizeof temporary_suffix - 1;
        const std::string_view middle(name.data() + prefix, name.size() - prefix - suffix);
        const char* end = middle.data() + middle.size();
        pid_t pid = 0;
        auto r = std::from_chars(middle.data(), end, pid);
        if (r.ec != std::errc() || pid <= 0 || r.ptr == end || *r.ptr != '-')
            return std::nullopt;
        unsigned long count = 0;
        r = std::from_chars(r.ptr + 1, end, count);
        if (r.ec != std::errc() || r.ptr != end)
            return std::nullopt;
        return pid;
    }
};

}  // namespace

file_layer& system_files() {
    static posix_files files;
    return files;
}

}  // namespace tavrin
