// device-sim: hosts the lab's virtual devices.
//   device-sim --config FILE [--lab-dir DIR]     run the devices
//   device-sim --ctl SOCKET DEVICE ACTION...     change a running device
#include <csignal>
#include <cstdio>
#include <cstring>
#include <string>
#include <vector>

#include "sim/device_host.h"
#include "sim/dnssd_publisher.h"
#include "sim/lab_config.h"
#include "sim/lab_loop.h"

namespace {

volatile std::sig_atomic_t stop_requested = 0;
void on_signal(int) {
    stop_requested = 1;
}

int usage() {
    std::fprintf(stderr,
                 "usage: device-sim --config FILE [--lab-dir DIR]\n"
                 "       device-sim --ctl SOCKET DEVICE ACTION...\n");
    return 2;
}

}  // namespace

int main(int argc, char** argv) {
    std::vector<std::string> args(argv + 1, argv + argc);
    if (args.size() >= 3 && args[0] == "--ctl") {
        return tavrin::sim::lab_ctl_client(args[1],
                                           std::vector<std::string>(args.begin() + 2, args.end()));
    }
    std::string config_path, lab_dir;
    for (size_t i = 0; i < args.size(); ++i) {
        if (args[i] == "--config" && i + 1 < args.size()) {
            config_path = args[++i];
        } else if (args[i] == "--lab-dir" && i + 1 < args.size()) {
            lab_dir = args[++i];
        } else {
            return usage();
        }
    }
    if (config_path.empty()) {
        return usage();
    }
    tavrin::sim::lab_config_result config = tavrin::sim::load_lab_config(config_path);
    if (!config.error.empty()) {
        std::fprintf(stderr, "device-sim: %s: %s\n", config_path.c_str(), config.error.c_str());
        return 1;
    }
    tavrin::sim::dnssd_quiet();
    std::signal(SIGTERM, on_signal);
    std::signal(SIGINT, on_signal);
    std::signal(SIGPIPE, SIG_IGN);

    tavrin::sim::lab_loop loop;
    tavrin::sim::device_host host(loop, lab_dir);
    std::string error = host.start(config.devices);
    if (!error.empty()) {
        std::fprintf(stderr, "device-sim: %s\n", error.c_str());
        return 1;
    }
    while (!stop_requested) {
        loop.run_once(200);
        host.tick();
    }
    host.stop();
    return 0;
}
