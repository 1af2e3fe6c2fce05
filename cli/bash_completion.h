#pragma once
// The bash completion of tavrin-cli, made from the command table and the setting
// names so it never falls behind them (`tavrin-cli --bash-completion`).
#include <string>

namespace tavrin::cli {

std::string bash_completion_script();

}  // namespace tavrin::cli
