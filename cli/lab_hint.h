#pragma once
// When the ConMon server or avahi-daemon cannot be reached, the likeliest reason on a
// developer's machine is a command run beside the lab instead of inside it. The lab
// lives in network namespaces named tavrin-lab-*, listed in /run/netns.
#include <string>

namespace tavrin::cli {

enum class lab_place {
    no_lab,   // no lab namespace exists
    outside,  // a lab is up, this process is not in it
    inside,   // this process runs in a lab's namespace
};

// Compares this process's network namespace (`self`, /proc/self/ns/net) with the lab
// namespaces found in `netns_dir`.
lab_place find_lab_place(const std::string& netns_dir = "/run/netns",
                         const std::string& self = "/proc/self/ns/net");

// The hint line for a place.
std::string lab_hint(lab_place place);

}  // namespace tavrin::cli
