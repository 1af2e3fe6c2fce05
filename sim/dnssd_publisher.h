#pragma once
// DNS-SD service registrations of the lab. All registrations of a process share one
// Avahi client (one bus connection, one poll thread) held by a dnssd_registrar; each
// dnssd_publisher is one service in its own Avahi entry group, so it can be withdrawn
// and restored on its own.
#include <cstdint>
#include <string>
#include <utility>
#include <vector>

struct AvahiClient;
struct AvahiThreadedPoll;
struct AvahiEntryGroup;

namespace tavrin::sim {

using txt_entries = std::vector<std::pair<std::string, std::string>>;

class dnssd_publisher;

// The shared client. It connects at the first publish and lives until destroyed,
// which must happen after every publisher using it is gone. When avahi-daemon goes
// away the client waits for it and registers every wanted service again once it is
// back.
class dnssd_registrar {
  public:
    dnssd_registrar() = default;
    dnssd_registrar(const dnssd_registrar&) = delete;
    dnssd_registrar& operator=(const dnssd_registrar&) = delete;
    ~dnssd_registrar();

    // Call now and then from the owner's loop: replaces a client that failed for good
    // (one that will not wait for the daemon by itself).
    void recover();

  private:
    // With the poll lock held. 0 or an Avahi error.
    int connect();
    void lock();
    void unlock();
    void on_client_state(AvahiClient* client, int state);
    // Every wanted service waits to be registered again (the daemon lost them).
    void requeue_all();
    void forget(dnssd_publisher* p);

    AvahiThreadedPoll* poll_ = nullptr;
    AvahiClient* client_ = nullptr;
    bool running_ = false;  // the daemon accepts registrations
    // Publishers waiting for the daemon to come up, and every wanted one; touched with
    // the poll lock held.
    std::vector<dnssd_publisher*> waiting_;
    std::vector<dnssd_publisher*> wanted_;
    bool lost_ = false;    // the daemon went away since the last registration
    bool failed_ = false;  // poll thread sets, recover() reads under the lock

    friend class dnssd_publisher;
    friend struct dnssd_avahi_callbacks;
};

class dnssd_publisher {
  public:
    explicit dnssd_publisher(dnssd_registrar& registrar) : registrar_(registrar) {}
    dnssd_publisher(const dnssd_publisher&) = delete;
    dnssd_publisher& operator=(const dnssd_publisher&) = delete;
    ~dnssd_publisher() { withdraw(); }

    // Registers name.type.local on port (host order). Returns 0 or an Avahi error
    // (negative). A registration already in place is withdrawn first. With resolvable
    // false only the instance is announced (its PTR record): browses see it, but
    // resolving it gets no answer until make_resolvable() adds its SRV and TXT records.
    int publish(const std::string& name, const std::string& type, uint16_t port,
                const txt_entries& txt, bool resolvable = true);
    // Adds the SRV and TXT records to an instance announced without them.
    int make_resolvable();
    void withdraw();

    bool published() const;
    // The daemon confirmed the registration.
    bool confirmed() const;
    // True once after the daemon withdrew the registration because another host
    // has its name; the owner registers under another name.
    bool take_collision();

  private:
    // With the poll lock held.
    int commit();
    int commit_records();
    void release_group();

    dnssd_registrar& registrar_;
    AvahiEntryGroup* group_ = nullptr;
    AvahiEntryGroup* records_group_ = nullptr;  // SRV and TXT added later
    bool resolvable_ = true;
    bool wanted_ = false;
    bool confirmed_ = false;
    bool collided_ = false;
    std::string name_;
    std::string type_;
    uint16_t port_ = 0;
    std::vector<uint8_t> txt_;

    friend class dnssd_registrar;
    friend struct dnssd_avahi_callbacks;
};

// The TXT record bytes (length-prefixed "key=value" strings); entries over 255
// bytes are cut. Exposed for tests.
std::vector<uint8_t> build_txt_record(const txt_entries& txt);

// Makes Avahi's dns_sd.h compatibility library quiet; call before its first use.
void dnssd_quiet();

}  // namespace tavrin::sim
