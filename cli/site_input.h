#pragma once
// The site file named on the command line, read and checked whole before anything is
// sent; its presets are read beside it.
#include <string>

#include "sites/site_file.h"

namespace tavrin::cli {

// Every problem is printed on standard error as "SITE:LINE:COLUMN: what is wrong";
// false then (exit_bad_input_file).
bool load_site(const std::string& path, site_file& site);

}  // namespace tavrin::cli
