// Discovery time against the lab: from db_browse_start_config until every device of
// the lab's devices.conf has been reported added, repeated over several fresh
// browses, each as the application makes it (one ConMon type, 18 sockets, network 0
// adopted, loopback accepted, 30 s resolves). Runs inside the lab (scripts/lab exec,
// or bench/browse_lab.sh which also brings the lab up); prints one line per run and
// the p50 and max of each figure.
#include <net/if.h>
#include <poll.h>
#include <stdio.h>
#include <stdlib.h>
#include <string.h>

#include <algorithm>
#include <chrono>
#include <fstream>
#include <set>
#include <string>
#include <string_view>
#include <vector>

#include "bench/browse_lab_timing.h"
#include "dante/browse/db_browse.h"
#include "dante/runtime/dapi.h"

namespace {

using bench_clock = std::chrono::steady_clock;

struct options {
    int runs = 5;
    unsigned sockets = 18;
    double timeout_s = 90.0;
    std::string config;  // devices.conf; default $LAB_DIR/devices.conf
    bool verbose = false;
    bool timing = true;
    bool browse_only = false;
};

// What one browse saw. Times are milliseconds after the start call; -1: never.
struct run_result {
    double first_ms = -1;
    double all_added_ms = -1;  // every expected device reported added
    double all_lo_ms = -1;     // every expected device also resolved on loopback
    size_t added = 0;          // expected devices reported added
    size_t on_lo = 0;          // expected devices known on the loopback network
    int resolves_started = 0;
    int resolved = 0;
    int timeouts = 0;
    int wrong_interface = 0;  // resolve answers from another interface, ignored
    int ignored_adverts = 0;  // advertisements on an interface outside the configuration
    int errors = 0;           // log lines at error level or worse
    int active = 0;           // resolves running now, and the most at once
    int max_active = 0;
    std::vector<std::string> missing;
    browse_lab::dnssd_timing dnssd;  // filled when timing is on
};

struct run_state {
    const std::set<std::string>* expected = nullptr;
    bench_clock::time_point start;
    std::set<std::string> added;
    run_result result;
    bool verbose = false;

    double now_ms() const {
        return std::chrono::duration<double, std::milli>(bench_clock::now() - start).count();
    }
};

bool contains(const char* text, size_t length, const char* part) {
    return std::string_view(text, length).find(part) != std::string_view::npos;
}

void on_log(aud_log_t*, const char*, aud_log_level_t level, const char* message, size_t length,
            void* user) {
    run_state* s = static_cast<run_state*>(user);
    run_result& r = s->result;
    if (contains(message, length, "initiated using socket")) {
        ++r.resolves_started;
        r.max_active = std::max(r.max_active, ++r.active);
    } else if (contains(message, length, ": Resolved '")) {
        ++r.resolved;
        --r.active;
    } else if (contains(message, length, "timed out, removing")) {
        ++r.timeouts;
        --r.active;
    } else if (contains(message, length, "ignoring resolve for")) {
        ++r.wrong_interface;
    } else if (contains(message, length, "on invalid interface index")) {
        ++r.ignored_adverts;
    }
    if (level <= AUD_LOG_ERROR) {
        ++r.errors;
    }
    if (s->verbose && level <= AUD_LOG_WARNING) {
        fprintf(stderr, "  [%8.1f ms] %.*s\n", s->now_ms(), static_cast<int>(length), message);
    }
}

void on_node(db_browse_t* browse, const db_node_ref_t* ref, db_node_change_t change) {
    run_state* s = static_cast<run_state*>(db_browse_get_context(browse));
    if (change != DB_NODE_CHANGE_ADDED || ref->kind != DB_NODE_KIND_DEVICE) {
        return;
    }
    const std::string name = db_node_get_name(ref->node);
    if (!s->expected->count(name) || !s->added.insert(name).second) {
        return;
    }
    const double t = s->now_ms();
    if (s->added.size() == 1) {
        s->result.first_ms = t;
    }
    if (s->added.size() == s->expected->size()) {
        s->result.all_added_ms = t;
    }
}

// Expected devices known on the loopback network (network 1 with one configured).
size_t count_on_loopback(db_browse_t* browse, const std::set<std::string>& expected) {
    size_t n = 0;
    for (const std::string& name : expected) {
        db_node_t* node = db_browse_find_device(browse, name.c_str());
        if (node && (db_device_get_network_types(node, 1) & DB_TYPE_CONMON_DEVICE)) {
            ++n;
        }
    }
    return n;
}

bool one_run(const options& opt, const std::set<std::string>& expected, run_result* out) {
    dapi_t* api = nullptr;
    if (dapi_new(&api) != AUD_SUCCESS) {
        fprintf(stderr, "browse_lab: dapi_new failed\n");
        return false;
    }
    run_state s;
    s.expected = &expected;
    s.verbose = opt.verbose;
    aud_log_t* log = aud_env_get_log(dapi_get_env(api));
    aud_log_set_level(log, AUD_LOG_DEBUG);
    aud_log_set_dest_level(log, AUD_LOG_DEST_CALLBACK, AUD_LOG_DEBUG);
    aud_log_set_callback(log, on_log, &s);

    db_browse_t* browse = nullptr;
    bool ok = db_browse_new(api, DB_TYPE_CONMON_DEVICE, &browse) == AUD_SUCCESS &&
              db_browse_set_max_sockets(browse, opt.sockets) == AUD_SUCCESS;
    if (ok) {
        db_browse_set_context(browse, &s);
        db_browse_set_node_changed_callback(browse, on_node);
        db_browse_config_t config;
        db_browse_config_init(&config);
        s.start = bench_clock::now();
        if (opt.timing) {
            browse_lab::install_timing(s.start);
        }
        ok = db_browse_start_config(browse, &config) == AUD_SUCCESS;
    }
    if (!ok) {
        fprintf(stderr, "browse_lab: the browse did not start\n");
    }
    dante_runtime_t* rt = dapi_get_runtime(api);
    const double limit_ms = opt.timeout_s * 1000.0;
    while (ok && s.now_ms() < limit_ms) {
        if (dante_runtime_run_once(rt, 20) != AUD_SUCCESS) {
            fprintf(stderr, "browse_lab: the event loop failed\n");
            ok = false;
            break;
        }
        if (s.result.all_added_ms >= 0 && s.result.all_lo_ms < 0 &&
            count_on_loopback(browse, expected) == expected.size()) {
            s.result.all_lo_ms = s.now_ms();
        }
        if (s.result.all_lo_ms >= 0) {
            break;
        }
    }
    if (browse) {
        s.result.added = s.added.size();
        s.result.on_lo = count_on_loopback(browse, expected);
        for (const std::string& name : expected) {
            if (!s.added.count(name)) {
                s.result.missing.push_back(name);
            }
        }
    }
    // The figures are complete; nothing from the teardown may count.
    aud_log_set_callback(log, nullptr, nullptr);
    if (opt.timing) {
        s.result.dnssd = browse_lab::timing();
    }
    db_browse_delete(browse);
    dapi_delete(api);
    *out = s.result;
    return ok;
}

std::string trim(const std::string& s) {
    const size_t b = s.find_first_not_of(" \t\r");
    const size_t e = s.find_last_not_of(" \t\r");
    return b == std::string::npos ? std::string() : s.substr(b, e - b + 1);
}

// Names of devices.conf: the first field of every line that has a '|'.
std::set<std::string> read_names(const std::string& path) {
    std::set<std::string> names;
    std::ifstream in(path);
    std::string line;
    while (std::getline(in, line)) {
        line = line.substr(0, line.find('#'));
        const size_t bar = line.find('|');
        if (bar == std::string::npos) {
            continue;
        }
        const std::string name = trim(line.substr(0, bar));
        if (!name.empty()) {
            names.insert(name);
        }
    }
    return names;
}

// Nearest rank: the smallest value with at least p of the values at or below it.
double percentile(std::vector<double> v, double p) {
    if (v.empty()) {
        return -1;
    }
    std::sort(v.begin(), v.end());
    size_t rank = static_cast<size_t>(p * static_cast<double>(v.size()) + 0.999999);
    rank = std::clamp<size_t>(rank, 1, v.size());
    return v[rank - 1];
}

bool parse_args(int argc, char** argv, options* opt) {
    for (int i = 1; i < argc; ++i) {
        const std::string a = argv[i];
        const bool has_value = i + 1 < argc;
        if (a == "--runs" && has_value) {
            opt->runs = atoi(argv[++i]);
        } else if (a == "--sockets" && has_value) {
            opt->sockets = static_cast<unsigned>(atoi(argv[++i]));
        } else if (a == "--timeout" && has_value) {
            opt->timeout_s = atof(argv[++i]);
        } else if (a == "--config" && has_value) {
            opt->config = argv[++i];
        } else if (a == "--verbose") {
            opt->verbose = true;
        } else if (a == "--browse-only") {
            opt->browse_only = true;
        } else if (a == "--no-timing") {
            opt->timing = false;
        } else {
            fprintf(stderr,
                    "usage: bench_browse_lab [--runs N] [--sockets N] [--timeout SECONDS] "
                    "[--config devices.conf] [--verbose] [--no-timing] [--browse-only]\n"
                    "Runs inside the lab: scripts/lab exec bench_browse_lab, or "
                    "bench/browse_lab.sh.\n");
            return false;
        }
    }
    return opt->runs > 0 && opt->timeout_s > 0;
}

void print_ms(double ms) {
    if (ms < 0) {
        printf(" %10s", "never");
    } else {
        printf(" %10.1f", ms);
    }
}

// The DNS-SD browse alone, without the library around it: how soon every expected
// instance has been announced on both lab interfaces (lab0 and loopback).
struct raw_browse {
    const std::set<std::string>* expected;
    std::set<std::pair<std::string, uint32_t>> seen;
};

void on_raw_browse(dt_dnssd_ref, uint32_t flags, uint32_t iface, dt_dnssd_error error,
                   const char* name, const char*, const char*, void* ctx) {
    raw_browse* b = static_cast<raw_browse*>(ctx);
    if (error == DT_DNSSD_NO_ERROR && (flags & DT_DNSSD_FLAG_ADD) && name &&
        b->expected->count(name)) {
        b->seen.insert({name, iface});
    }
}

double browse_only_run(const std::set<std::string>& expected, double timeout_s) {
    raw_browse b{&expected, {}};
    const bench_clock::time_point start = bench_clock::now();
    auto elapsed_ms = [&] {
        return std::chrono::duration<double, std::milli>(bench_clock::now() - start).count();
    };
    dt_dnssd_ref ref = nullptr;
    if (dt_dnssd_browse(&ref, 0, 0, "_netaudio-cmc._udp.", "local", on_raw_browse, &b) !=
        DT_DNSSD_NO_ERROR) {
        return -1;
    }
    double done = -1;
    while (elapsed_ms() < timeout_s * 1000) {
        pollfd p = {dt_dnssd_ref_sock_fd(ref), POLLIN, 0};
        if (poll(&p, 1, 20) > 0 && dt_dnssd_process_reply(ref) != DT_DNSSD_NO_ERROR) {
            break;
        }
        if (b.seen.size() == 2 * expected.size()) {
            done = elapsed_ms();
            break;
        }
    }
    dt_dnssd_ref_deallocate(ref);
    return done;
}

// Where the loop thread's time went, per run: DNS-SD calls made by the browse.
void print_timing(const std::vector<run_result>& results) {
    printf(
        "DNS-SD through the browse (ms; start/process/dealloc: time the loop thread spent "
        "in those calls)\n");
    printf("%4s %7s %10s %10s %10s %10s %10s %10s %10s %10s %10s\n", "run", "adverts", "last_adv",
           "answer_p50", "answer_max", "start_sum", "start_max", "proc_sum", "dealloc_sum",
           "dealloc_max", "max_active");
    for (size_t i = 0; i < results.size(); ++i) {
        const browse_lab::dnssd_timing& t = results[i].dnssd;
        printf("%4zu %7d", i + 1, t.browse_adds);
        print_ms(t.last_add_ms);
        print_ms(percentile(t.answer_ms, 0.5));
        print_ms(percentile(t.answer_ms, 1.0));
        print_ms(t.resolve_start.total_ms);
        print_ms(t.resolve_start.max_ms);
        print_ms(t.process.total_ms);
        print_ms(t.deallocate.total_ms);
        print_ms(t.deallocate.max_ms);
        printf(" %10d\n", results[i].max_active);
    }
}

}  // namespace

int main(int argc, char** argv) {
    options opt;
    if (!parse_args(argc, argv, &opt)) {
        return 2;
    }
    if (opt.config.empty()) {
        const char* lab_dir = getenv("LAB_DIR");
        opt.config =
            std::string(lab_dir && *lab_dir ? lab_dir : "/tmp/tavrin-lab") + "/devices.conf";
    }
    const std::set<std::string> expected = read_names(opt.config);
    if (expected.empty()) {
        fprintf(stderr, "browse_lab: no devices in %s (is the lab up?)\n", opt.config.c_str());
        return 2;
    }
    if (if_nametoindex("lab0") == 0) {
        fprintf(stderr,
                "browse_lab: no interface lab0 here; run it inside the lab "
                "(scripts/lab exec or bench/browse_lab.sh)\n");
        return 2;
    }
    printf("browse_lab: %zu devices in %s, %d runs, %u sockets, resolve timeout 30 s\n",
           expected.size(), opt.config.c_str(), opt.runs, opt.sockets);
    if (opt.browse_only) {
        std::vector<double> t;
        for (int i = 1; i <= opt.runs; ++i) {
            t.push_back(browse_only_run(expected, opt.timeout_s));
            printf("%4d browse only: every instance announced on lab0 and lo", i);
            print_ms(t.back());
            printf("\n");
        }
        printf("browse_lab: browse only: p50 %.1f ms, max %.1f ms\n", percentile(t, 0.5),
               percentile(t, 1.0));
        return 0;
    }
    printf("%4s %10s %10s %10s %6s %6s %8s %8s %8s %8s %6s\n", "run", "first_ms", "all_ms",
           "all_lo_ms", "added", "on_lo", "resolves", "resolved", "timeouts", "wrong_if", "errors");
    std::vector<double> first, all, all_lo;
    std::vector<run_result> results;
    bool complete = true;
    for (int i = 1; i <= opt.runs; ++i) {
        run_result r;
        const bool ok = one_run(opt, expected, &r);
        printf("%4d", i);
        print_ms(r.first_ms);
        print_ms(r.all_added_ms);
        print_ms(r.all_lo_ms);
        printf(" %6zu %6zu %8d %8d %8d %8d %6d\n", r.added, r.on_lo, r.resolves_started, r.resolved,
               r.timeouts, r.wrong_interface, r.errors);
        if (!r.missing.empty()) {
            printf("     missing %zu:", r.missing.size());
            for (size_t k = 0; k < r.missing.size() && k < 12; ++k) {
                printf(" %s", r.missing[k].c_str());
            }
            printf("%s\n", r.missing.size() > 12 ? " ..." : "");
        }
        fflush(stdout);
        if (!ok || r.all_added_ms < 0) {
            complete = false;
        }
        // A run that never completed counts as the whole timeout.
        first.push_back(r.first_ms < 0 ? opt.timeout_s * 1000 : r.first_ms);
        all.push_back(r.all_added_ms < 0 ? opt.timeout_s * 1000 : r.all_added_ms);
        all_lo.push_back(r.all_lo_ms < 0 ? opt.timeout_s * 1000 : r.all_lo_ms);
        results.push_back(std::move(r));
    }
    printf(" p50");
    print_ms(percentile(first, 0.5));
    print_ms(percentile(all, 0.5));
    print_ms(percentile(all_lo, 0.5));
    printf("\n max");
    print_ms(percentile(first, 1.0));
    print_ms(percentile(all, 1.0));
    print_ms(percentile(all_lo, 1.0));
    printf("\n");
    if (opt.timing) {
        print_timing(results);
    }
    printf("browse_lab: all devices known: p50 %.1f ms, max %.1f ms%s\n", percentile(all, 0.5),
           percentile(all, 1.0), complete ? "" : " (NOT every device was found in every run)");
    return complete ? 0 : 1;
}
