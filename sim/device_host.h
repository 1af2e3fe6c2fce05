#pragma once
// device-sim's body: every configured device with its two UDP sockets (ConMon and
// ARCP), its two DNS-SD registrations, and the ctl socket through which
// `scripts/lab ctl` changes devices at run time. All of it runs on one lab_loop.
#include <netinet/in.h>

#include <memory>
#include <string>
#include <vector>

#include "sim/dnssd_publisher.h"
#include "sim/lab_device.h"
#include "sim/lab_loop.h"

namespace tavrin::sim {

class device_host {
  public:
    device_host(lab_loop& loop, std::string lab_dir);
    ~device_host();

    // Opens the sockets and registers the services of every device. Returns an
    // error text, empty on success.
    std::string start(const std::vector<lab_device_config>& devices);
    // Withdraws every registration and closes every socket.
    void stop();

    lab_device* find(const std::string& name);
    // One ctl line: "DEVICE ACTION ARGS..." -> "ok ..." or "error: ...". Words carry
    // DNS-SD escapes ("\032" for a blank, "\\" for a backslash), so that device
    // names with blanks and any other bytes travel as one word.
    std::string handle_ctl_line(const std::string& line);
    // Call from the loop now and then: keeps the DNS-SD registrations alive across
    // an avahi-daemon restart.
    void tick();

  private:
    struct hosted {
        explicit hosted(dnssd_registrar& r) : conmon_service(r), arcp_service(r) {}
        std::unique_ptr<lab_device> device;
        int conmon_fd = -1;
        int arcp_fd = -1;
        uint16_t conmon_port = 0;
        uint16_t arcp_port = 0;
        bool resolvable = true;    // ctl "resolve off": announced, but resolves go unanswered
        unsigned alternative = 0;  // 0: advertised under its name; n: "<name>-n"
        dnssd_publisher conmon_service;
        dnssd_publisher arcp_service;
    };

    // Registers both services under the device's name or, while another device has
    // that name, under the next name of its own.
    void publish(hosted& h);
    // Both services under `name`: false when the daemon says another has it.
    bool publish_as(hosted& h, const std::string& name);
    void withdraw(hosted& h);
    void on_readable(hosted& h, int fd, bool conmon);
    void send(int fd, const std::vector<lab_output>& outputs);
    void on_ctl_connection();

    lab_loop& loop_;
    std::string lab_dir_;
    // Outlives the publishers in hosted_.
    dnssd_registrar registrar_;
    int ctl_fd_ = -1;
    std::string ctl_path_;
    std::vector<std::unique_ptr<hosted>> hosted_;
};

// The first IPv4 address of a non-loopback interface that is up (network order),
// or 127.0.0.1.
uint32_t lab_host_address();

// The name a device goes on with when another device has `name` (DNS-SD names
// collide whatever their case): "<name>-<n>" for n = 2, 3 ..., the name cut so that
// the whole stays a Dante name of at most 31 characters.
std::string alternative_device_name(const std::string& name, unsigned n);

// ctl client: sends one line to the socket, prints the answer. Returns the exit code.
int lab_ctl_client(const std::string& socket_path, const std::vector<std::string>& words);

// A ctl word with the DNS-SD escapes the ctl line uses, and back.
std::string escape_ctl_word(const std::string& word);
std::string unescape_ctl_word(const std::string& word);

}  // namespace tavrin::sim
