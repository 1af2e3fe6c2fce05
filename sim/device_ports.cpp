#include "sim/device_ports.h"

#include <cstdio>
#include <fstream>
#include <sstream>

namespace tavrin::sim {

std::map<std::string, device_ports> read_device_ports(const std::string& path) {
    std::map<std::string, device_ports> ports;
    std::ifstream in(path);
    std::string line;
    while (std::getline(in, line)) {
        std::istringstream fields(line);
        unsigned conmon = 0, arcp = 0;
        if (!(fields >> conmon >> arcp) || conmon == 0 || arcp == 0 || conmon > 65535 ||
            arcp > 65535 || fields.get() != ' ') {
            continue;
        }
        std::string name;
        std::getline(fields, name);
        if (!name.empty()) {
            ports[name] = {static_cast<uint16_t>(conmon), static_cast<uint16_t>(arcp)};
        }
    }
    return ports;
}

bool write_device_ports(const std::string& path, const std::map<std::string, device_ports>& ports) {
    const std::string temporary = path + ".new";
    {
        std::ofstream out(temporary, std::ios::trunc);
        for (const auto& [name, p] : ports) {
            out << p.conmon << ' ' << p.arcp << ' ' << name << '\n';
        }
        out.flush();
        if (!out) {
            std::remove(temporary.c_str());
            return false;
        }
    }
    return std::rename(temporary.c_str(), path.c_str()) == 0;
}

}  // namespace tavrin::sim
