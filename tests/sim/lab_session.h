#pragma once
// Lab tests run inside the lab's network namespace: the session joins the namespace
// of the lab that the CTest fixture brought up (LAB_DIR), or, when a lab test runs
// on its own, brings a lab up itself and takes it down at the end.
#include <string>
#include <vector>

namespace tavrin::sim::testing {

class lab_session {
  public:
    // Empty on success; otherwise why the lab cannot be used.
    std::string open();
    void close();

    bool joined() const { return joined_; }
    const std::string& lab_dir() const { return lab_dir_; }
    // Runs `scripts/lab ctl DEVICE ACTION...`; returns its exit code.
    int ctl(const std::vector<std::string>& words) const;
    // Runs `scripts/lab ARGS` (a shell command line: quote as needed); returns its
    // std::system status.
    int command(const std::string& args) const;
    // The command line that runs `scripts/lab` for this lab (to add arguments to).
    std::string script_command() const;
    // Contents of $LAB_DIR/<device>.wire.
    std::string wire_log(const std::string& device) const;

    static bool is_root();

  private:
    std::string run_lab(const std::string& args) const;

    std::string lab_dir_;
    std::string source_dir_;
    std::string build_dir_;
    int home_ns_ = -1;
    bool joined_ = false;
    bool owns_lab_ = false;
};

// The process-wide session; lab tests call GTEST_SKIP unless it joined.
lab_session& lab();

}  // namespace tavrin::sim::testing
