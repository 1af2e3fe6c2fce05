#pragma once
// conmon-server's view of DNS-SD: browses one service type and resolves every
// instance to its address, port and TXT record through dns_sd.h. Services seen on
// the loopback interface live on this host and are reached at 127.0.0.1.
#include <netinet/in.h>

#include <functional>
#include <map>
#include <memory>
#include <set>
#include <string>
#include <vector>

namespace tavrin::sim {

class dnssd_browser {
  public:
    struct resolved {
        std::string name;
        sockaddr_in address{};
        std::vector<uint8_t> txt;
    };
    using up_callback = std::function<void(const resolved&)>;
    using down_callback = std::function<void(const std::string& name)>;
    // The set of sockets to watch changed.
    using sockets_callback = std::function<void()>;

    dnssd_browser(std::string type, up_callback up, down_callback down, sockets_callback sockets);
    ~dnssd_browser();
    dnssd_browser(const dnssd_browser&) = delete;
    dnssd_browser& operator=(const dnssd_browser&) = delete;

    // Returns the DNS-SD error (0 = ok).
    int start();
    void stop();
    // The browse failed (avahi-daemon went away, say); stop() and start() again.
    bool failed() const { return failed_; }
    // Resolves again, now and then, the instances whose resolve got no answer.
    void tick(uint64_t now_ms);
    std::vector<int> sockets() const;
    // Reads the replies waiting on fd.
    void process(int fd);

  private:
  public:
    struct resolve_context {
        dnssd_browser* browser;
        std::string name;
    };

  private:
    struct instance {
        std::set<uint32_t> interfaces;
        void* resolve = nullptr;  // DNSServiceRef while resolving
        std::unique_ptr<resolve_context> context;
        uint32_t resolve_interface = 0;
        bool resolved = false;
        bool resolve_done = false;  // ended after its reply; freed once out of its callback
        uint64_t retry_at = 0;      // unresolved: when to try again (0: not yet due)
    };

    void on_browse(uint32_t flags, uint32_t interface, int error, const char* name);
    void on_resolve(const std::string& name, uint32_t interface, int error, const char* host,
                    uint16_t port, uint16_t txt_len, const unsigned char* txt);
    void start_resolve(const std::string& name, instance& inst, uint32_t interface);
    void end_resolve(instance& inst);
    void sweep_resolves();

    std::string type_;
    up_callback up_;
    down_callback down_;
    sockets_callback sockets_changed_;
    void* browse_ = nullptr;
    std::map<std::string, instance> instances_;
    uint32_t loopback_ = 0;
    bool failed_ = false;

    friend struct dnssd_browser_access;
};

}  // namespace tavrin::sim
