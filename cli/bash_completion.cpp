#include "cli/bash_completion.h"

#include "cli/cli_command.h"
#include "pages/settings.h"

namespace tavrin::cli {

std::string bash_completion_script() {
    std::string commands;
    for (const cli_command& c : cli_commands())
        commands += (commands.empty() ? "" : " ") + std::string(c.name);
    std::string settings;
    for (const setting_def& s : all_settings())
        settings += (settings.empty() ? "" : " ") + s.name + "=";

    return "# bash completion for tavrin-cli (made by tavrin-cli --bash-completion)\n"
           "_tavrin_cli() {\n"
           "    local cur=${COMP_WORDS[COMP_CWORD]} prev=${COMP_WORDS[COMP_CWORD-1]}\n"
           "    local commands=\"" +
           commands +
           "\"\n"
           "    local settings=\"" +
           settings +
           "\"\n"
           "    local i command=\n"
           "    for ((i = 1; i < COMP_CWORD; i++)); do\n"
           "        case ${COMP_WORDS[i]} in\n"
           "            --iface) ((i++)) ;;\n"
           "            -*) ;;\n"
           "            *) command=${COMP_WORDS[i]}; break ;;\n"
           "        esac\n"
           "    done\n"
           "    if [[ -z $command ]]; then\n"
           "        [[ $prev == --iface ]] && return 0\n"
           "        COMPREPLY=($(compgen -W \"$commands --iface --verbose --help --version\" "
           "-- \"$cur\"))\n"
           "        return 0\n"
           "    fi\n"
           "    case $command in\n"
           "        set)\n"
           "            compopt -o nospace 2>/dev/null\n"
           "            COMPREPLY=($(compgen -W \"$settings --all --names --help\" -- \"$cur\")) "
           ";;\n"
           "        preset|firmware|diff|apply|capture)\n"
           "            COMPREPLY=($(compgen -f -- \"$cur\")) ;;\n"
           "        *)\n"
           "            COMPREPLY=($(compgen -W \"--help\" -- \"$cur\")) ;;\n"
           "    esac\n"
           "}\n"
           "complete -F _tavrin_cli tavrin-cli\n";
}

}  // namespace tavrin::cli
