// The lab's processes going away and coming back, and the library's ConMon client
// living through it: conmon-server restarted, a client killed next to another,
// avahi-daemon restarted, and the lab script's own exec, status and restart.
#include <gtest/gtest.h>
#include <signal.h>
#include <sys/wait.h>
#include <unistd.h>

#include <chrono>
#include <cstring>
#include <fstream>
#include <functional>
#include <sstream>
#include <string>
#include <thread>
#include <vector>

#include "dante/conmon/conmon_client.h"
#include "dante/runtime/dapi.h"
#include "lab_session.h"

namespace {

using tavrin::sim::testing::lab;

class lab_environment : public ::testing::Environment {
  public:
    void SetUp() override {
        why_ = tavrin::sim::testing::lab_session::is_root() ? lab().open() : "the lab needs root";
    }
    void TearDown() override { lab().close(); }
    static std::string why_;
};
std::string lab_environment::why_;

const auto* registered = ::testing::AddGlobalTestEnvironment(new lab_environment);

#define REQUIRE_LAB()                                            \
    do {                                                         \
        if (!lab().joined()) {                                   \
            GTEST_SKIP() << "no lab: " << lab_environment::why_; \
        }                                                        \
    } while (0)

const uint8_t k_query[] = {0x07, 0x24, 0x00, 0xC1, 0x00, 0x0F, 0x42, 0x40};

// A ConMon client of the library, registered for incoming STATUS messages and
// subscribed to every device, counting what it hears.
class watching_client {
  public:
    watching_client() {
        EXPECT_EQ(dapi_new(&api_), AUD_SUCCESS);
        conmon_client_config_t* config = conmon_client_config_new("lab-recovery");
        conmon_client_config_set_reconnect_interval(config, 200);
        EXPECT_EQ(conmon_client_new(api_, config, &client_), AUD_SUCCESS);
        conmon_client_config_delete(config);
        conmon_client_set_context(client_, this);
        conmon_client_set_disconnected_callback(client_,
                                                [](conmon_client_t* c) { ++self(c)->disconnects; });
        conmon_client_set_event_callback(client_, [](const conmon_client_event_t* ev) {
            if (ev->flags & CONMON_CLIENT_EVENT_FLAG_RECONNECTED) {
                ++self(ev->client)->reconnects;
            }
        });
    }
    ~watching_client() {
        conmon_client_delete(client_);
        dapi_delete(api_);
    }

    bool run_until(const std::function<bool()>& done, int ms = 5000) {
        const auto end = std::chrono::steady_clock::now() + std::chrono::milliseconds(ms);
        while (!done()) {
            if (std::chrono::steady_clock::now() > end) {
                return false;
            }
            dante_runtime_run_once(dapi_get_runtime(api_), 20);
        }
        return true;
    }

    void connect_and_subscribe() {
        ASSERT_EQ(conmon_client_connect(client_, on_response, &id_), AUD_SUCCESS);
        ASSERT_TRUE(run_until([&] { return conmon_client_is_connected(client_); }));
        ASSERT_EQ(wait(conmon_client_register_monitoring_messages(
                      client_, on_response, &id_, CONMON_CHANNEL_TYPE_STATUS,
                      CONMON_CHANNEL_DIRECTION_RX, on_message)),
                  AUD_SUCCESS);
        ASSERT_EQ(wait(conmon_client_subscribe_global(client_, on_response, &id_,
                                                      CONMON_CHANNEL_TYPE_STATUS)),
                  AUD_SUCCESS);
    }

    // Sends the manufacturer query and returns the server's answer to the request.
    aud_error_t query(const char* device) {
        conmon_vendor_id_t audinate;
        conmon_vendor_id_from_string(&audinate, "Audinate");
        return wait(conmon_client_send_control_message(client_, on_response, &id_, device, 0xFFFF,
                                                       &audinate, k_query, sizeof k_query,
                                                       nullptr));
    }

    conmon_client_t* client() const { return client_; }
    int disconnects = 0;
    int reconnects = 0;
    int messages = 0;

  private:
    static watching_client* self(conmon_client_t* c) {
        return static_cast<watching_client*>(conmon_client_get_context(c));
    }
    static void on_response(conmon_client_t* c, conmon_client_request_id_t, aud_error_t e) {
        self(c)->answered_ = true;
        self(c)->result_ = e;
    }
    static void on_message(conmon_client_t* c, conmon_channel_type_t, conmon_channel_direction_t,
                           const conmon_message_head_t*, const uint8_t*) {
        ++self(c)->messages;
    }
    aud_error_t wait(aud_error_t sent) {
        if (sent != AUD_SUCCESS) {
            return sent;
        }
        answered_ = false;
        return run_until([&] { return answered_; }) ? result_ : AUD_ERR_TIMEDOUT;
    }

    dapi_t* api_ = nullptr;
    conmon_client_t* client_ = nullptr;
    conmon_client_request_id_t id_ = nullptr;
    bool answered_ = false;
    aud_error_t result_ = AUD_SUCCESS;
};

// Whether the lab's Amp-1 answers a query of this client (the answer reaching it
// within `ms`).
bool answers_through(watching_client& c, int ms = 5000) {
    const int before = c.messages;
    return c.query("Amp-1") == AUD_SUCCESS && c.run_until([&] { return c.messages > before; }, ms);
}

// Asks again until Amp-1 answers, for up to 10 s: a server that was just restarted,
// or whose avahi-daemon was, answers its clients before it has found the devices.
bool comes_to_answer(watching_client& c) {
    for (int i = 0; i < 10; ++i) {
        if (answers_through(c, 1000)) {
            return true;
        }
    }
    return false;
}

// ---------------------------------------------------------------------------
// The ConMon client through a server restart

TEST(lab_recovery, client_connects_registers_and_subscribes_again_after_a_server_restart) {
    REQUIRE_LAB();
    watching_client c;
    c.connect_and_subscribe();
    ASSERT_TRUE(answers_through(c));

    ASSERT_EQ(lab().command("restart conmon-server >/dev/null"), 0);
    // The restarted server does not know the client: the first request says so.
    const aud_error_t first = c.query("Amp-1");
    EXPECT_TRUE(first == AUD_ERR_INVALIDSTATE || first == AUD_ERR_NOTCONN ||
                first == AUD_ERR_CONNREFUSED)
        << aud_error_get_name(first);
    ASSERT_TRUE(c.run_until([&] { return c.reconnects == 1; })) << "no reconnection";
    EXPECT_EQ(c.disconnects, 1);
    // Registered and subscribed again by the client itself: answers reach it.
    EXPECT_TRUE(comes_to_answer(c));
    EXPECT_EQ(c.disconnects, 1);
}

// ---------------------------------------------------------------------------
// A killed client does not take another with it

TEST(lab_recovery, killing_one_client_leaves_the_other_known) {
    REQUIRE_LAB();
    watching_client alive;
    alive.connect_and_subscribe();

    // A second client in a process of its own, killed without a disconnect.
    int ready[2];
    ASSERT_EQ(pipe(ready), 0);
    const pid_t child = fork();
    ASSERT_GE(child, 0);
    if (child == 0) {
        {
            watching_client doomed;
            doomed.connect_and_subscribe();
            const char ok = conmon_client_is_connected(doomed.client()) ? 'y' : 'n';
            (void)!write(ready[1], &ok, 1);
            pause();  // killed here: its socket closes with the process
        }
        _exit(0);
    }
    char ok = 0;
    ASSERT_EQ(read(ready[0], &ok, 1), 1);
    ASSERT_EQ(ok, 'y');
    kill(child, SIGKILL);
    waitpid(child, nullptr, 0);
    close(ready[0]);
    close(ready[1]);

    // Every answer is sent to both; each one to the dead client draws an ICMP error.
    for (int i = 0; i < 6; ++i) {
        EXPECT_TRUE(answers_through(alive)) << "query " << i;
    }
    EXPECT_EQ(alive.disconnects, 0) << "the server forgot the live client";
}

// ---------------------------------------------------------------------------
// avahi-daemon restarted: the devices register again

TEST(lab_recovery, devices_register_again_when_avahi_comes_back) {
    REQUIRE_LAB();
    // Returns once every configured device is advertised again under both types.
    ASSERT_EQ(lab().command("restart avahi"), 0);
    EXPECT_EQ(lab().command("status >/dev/null"), 0);
    watching_client c;
    c.connect_and_subscribe();
    EXPECT_TRUE(comes_to_answer(c));
}

// ---------------------------------------------------------------------------
// device-sim restarted: its devices come back on the ports they had

std::string read_file(const std::string& path) {
    std::ifstream in(path);
    std::stringstream all;
    all << in.rdbuf();
    return all.str();
}

TEST(lab_recovery, restarted_devices_keep_their_ports_and_answer_at_once) {
    REQUIRE_LAB();
    // A quick restart announces the devices again before their old records expire,
    // so a browse may see no removal at all: only unchanged ports keep the server's
    // addresses right, as they do for a rebooted amplifier.
    const std::string ports = read_file(lab().lab_dir() + "/ports");
    ASSERT_NE(ports.find(" Amp-1\n"), std::string::npos) << ports;
    for (int round = 0; round < 3; ++round) {
        ASSERT_EQ(lab().command("restart device-sim >/dev/null"), 0);
        EXPECT_EQ(read_file(lab().lab_dir() + "/ports"), ports) << "round " << round;
        watching_client c;
        c.connect_and_subscribe();
        EXPECT_TRUE(answers_through(c)) << "round " << round;
    }
}

// Starts `scripts/lab exec ARGS` through `sh -c` in its own process; returns the pid.
pid_t spawn_shell(const std::string& line) {
    const pid_t pid = fork();
    if (pid == 0) {
        execl("/bin/sh", "sh", "-c", line.c_str(), static_cast<char*>(nullptr));
        _exit(127);
    }
    return pid;
}

bool running(const std::string& pattern) {
    return std::system(("pgrep -f '" + pattern + "' >/dev/null").c_str()) == 0;
}

bool eventually(const std::function<bool()>& done, int ms = 3000) {
    for (int waited = 0; waited < ms; waited += 50) {
        if (done()) {
            return true;
        }
        std::this_thread::sleep_for(std::chrono::milliseconds(50));
    }
    return done();
}

// ---------------------------------------------------------------------------
// A device whose first resolve goes unanswered

// The lines `tavrin-cli discover --brand all` prints, run inside the lab.
std::string discover() {
    const std::string cli = lab().lab_dir() + "/../cli/tavrin-cli";
    if (access(cli.c_str(), X_OK) != 0) {
        return "(no tavrin-cli next to the lab)";
    }
    FILE* p = popen(
        (lab().script_command() + " exec '" + cli + "' discover --brand all 2>/dev/null").c_str(),
        "r");
    std::string out;
    char buf[256];
    while (p && std::fgets(buf, sizeof buf, p)) {
        out += buf;
    }
    if (p) {
        pclose(p);
    }
    return out;
}

TEST(lab_recovery, discover_lists_a_device_once_it_answers_its_resolves) {
    REQUIRE_LAB();
    struct restore {
        ~restore() { lab().ctl({"Amp-2", "resolve", "on"}); }
    } guard;
    ASSERT_EQ(lab().ctl({"Amp-2", "resolve", "off"}), 0);
    // The withdrawn SRV and TXT records live one more second in the daemon's cache.
    std::this_thread::sleep_for(std::chrono::milliseconds(2500));
    // Announced, but its resolves go unanswered: not listed.
    EXPECT_EQ(discover().find("Amp-2\n"), std::string::npos);
    ASSERT_EQ(lab().ctl({"Amp-2", "resolve", "on"}), 0);
    // conmon-server tries its resolve again by itself; the next discover lists it.
    std::string listed;
    EXPECT_TRUE(eventually(
        [&] {
            listed = discover();
            return listed.find("Amp-2\n") != std::string::npos;
        },
        20000))
        << listed;
}

// ---------------------------------------------------------------------------
// The lab script

TEST(lab_recovery, exec_hands_signals_to_its_command_and_leaves_no_orphan) {
    REQUIRE_LAB();
    // exec: the script's process becomes the command, so a signal to it ends it.
    const pid_t direct = spawn_shell("exec " + lab().script_command() + " exec sleep 307");
    ASSERT_TRUE(eventually([] { return running("^sleep 307"); }));
    kill(direct, SIGTERM);
    int status = 0;
    waitpid(direct, &status, 0);
    EXPECT_TRUE(WIFSIGNALED(status) && WTERMSIG(status) == SIGTERM);
    EXPECT_TRUE(eventually([] { return !running("^sleep 307"); }));

    // Whoever ran it dies without passing anything on: the command ends with it.
    const pid_t shell = spawn_shell(lab().script_command() + " exec sleep 308; true");
    ASSERT_TRUE(eventually([] { return running("^sleep 308"); }));
    kill(shell, SIGKILL);
    waitpid(shell, nullptr, 0);
    EXPECT_TRUE(eventually([] { return !running("^sleep 308"); })) << "sleep 308 left orphaned";
}

TEST(lab_recovery, status_checks_that_the_processes_answer_and_restart_brings_one_back) {
    REQUIRE_LAB();
    ASSERT_EQ(lab().command("status >/dev/null"), 0);
    const std::string pid_file = lab().lab_dir() + "/pids/conmon-server.pid";
    FILE* f = std::fopen(pid_file.c_str(), "r");
    ASSERT_NE(f, nullptr);
    int pid = 0;
    ASSERT_EQ(std::fscanf(f, "%d", &pid), 1);
    std::fclose(f);
    // Stopped, the server still exists but does not answer.
    kill(pid, SIGSTOP);
    const int stopped = lab().command("status >/dev/null");
    kill(pid, SIGCONT);
    EXPECT_NE(stopped, 0);
    EXPECT_EQ(lab().command("status >/dev/null"), 0);

    ASSERT_EQ(lab().command("restart device-sim >/dev/null"), 0);
    EXPECT_EQ(lab().command("status >/dev/null"), 0);
    EXPECT_EQ(lab().ctl({"Amp-1", "status"}), 0);
    watching_client c;
    c.connect_and_subscribe();
    EXPECT_TRUE(answers_through(c));
    EXPECT_NE(lab().command("restart dbus 2>/dev/null"), 0);
}

}  // namespace
