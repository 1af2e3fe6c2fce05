#include "dante/runtime/dapi.h"

#include <gtest/gtest.h>
#include <sys/socket.h>
#include <unistd.h>

#include <string>
#include <vector>

#include "dante/browse/db_browse.h"
#include "dante/conmon/conmon_client.h"
#include "dante/routing/dr_devices.h"
#include "dante/runtime/internal/aud_platform.h"
#include "dante/runtime/internal/dapi_component.h"

namespace {

TEST(Dapi, LifecycleSharesThePlatformAndFreesInReverse) {
    int before = aud_platform_users();
    dapi_t* a = nullptr;
    dapi_t* b = nullptr;
    ASSERT_EQ(dapi_new(&a), AUD_SUCCESS);
    ASSERT_EQ(dapi_new(&b), AUD_SUCCESS);
    EXPECT_EQ(aud_platform_users(), before + 2);
    aud_env_t* env = dapi_get_env(a);
    ASSERT_NE(env, nullptr);
    EXPECT_NE(aud_env_get_log(env), nullptr);
    EXPECT_NE(aud_env_get_event_loop(env), nullptr);
    EXPECT_NE(aud_env_get_event_loop(env), aud_env_get_event_loop(dapi_get_env(b)));
    dante_runtime_t* rt = dapi_get_runtime(a);
    ASSERT_NE(rt, nullptr);
    EXPECT_EQ(dante_runtime_get_env(rt), env);
    EXPECT_EQ(dante_runtime_from_env(env), rt);
    EXPECT_NE(dapi_get_domain_handler(a), nullptr);
    EXPECT_EQ(dapi_get_env(nullptr), nullptr);
    EXPECT_EQ(dapi_get_runtime(nullptr), nullptr);
    EXPECT_EQ(dapi_get_domain_handler(nullptr), nullptr);
    EXPECT_EQ(dapi_delete(a), AUD_SUCCESS);
    EXPECT_EQ(dapi_delete(b), AUD_SUCCESS);
    EXPECT_EQ(aud_platform_users(), before);
    EXPECT_EQ(dapi_delete(nullptr), AUD_SUCCESS);
    EXPECT_EQ(dapi_new(nullptr), AUD_ERR_INVALIDPARAMETER);
}

// Every delete of the library has one shape: null is harmless and reports success.
TEST(Dapi, EveryDeleteAcceptsNull) {
    EXPECT_EQ(aud_log_delete(nullptr), AUD_SUCCESS);
    EXPECT_EQ(aud_event_loop_delete(nullptr), AUD_SUCCESS);
    EXPECT_EQ(aud_timer_delete(nullptr), AUD_SUCCESS);
    EXPECT_EQ(conmon_client_config_delete(nullptr), AUD_SUCCESS);
    EXPECT_EQ(conmon_client_delete(nullptr), AUD_SUCCESS);
    EXPECT_EQ(db_browse_delete(nullptr), AUD_SUCCESS);
    EXPECT_EQ(dr_devices_delete(nullptr), AUD_SUCCESS);
    EXPECT_EQ(dr_device_config_delete(nullptr), AUD_SUCCESS);
}

TEST(Dapi, EnvReleaseRefusesAnApiEnvironment) {
    dapi_t* api = nullptr;
    ASSERT_EQ(dapi_new(&api), AUD_SUCCESS);
    testing::internal::CaptureStderr();
    EXPECT_EQ(aud_env_release(dapi_get_env(api)), AUD_ERR_INVALIDPARAMETER);
    EXPECT_EQ(testing::internal::GetCapturedStderr(),
              "Error: This env cannot be cleaned up using aud_env_release!\n");
    // Still usable afterwards.
    EXPECT_NE(aud_env_get_event_loop(dapi_get_env(api)), nullptr);
    EXPECT_EQ(dapi_delete(api), AUD_SUCCESS);
}

TEST(Dapi, DefaultEnvironmentIsCounted) {
    int before = aud_platform_users();
    aud_env_t* e1 = nullptr;
    aud_env_t* e2 = nullptr;
    ASSERT_EQ(aud_env_setup(&e1), AUD_SUCCESS);
    ASSERT_EQ(aud_env_setup(&e2), AUD_SUCCESS);
    EXPECT_EQ(e1, e2);
    EXPECT_NE(aud_env_get_log(e1), nullptr);
    EXPECT_EQ(aud_env_get_event_loop(e1), nullptr);
    EXPECT_EQ(aud_platform_users(), before + 1);
    EXPECT_EQ(aud_env_release(e1), AUD_SUCCESS);
    EXPECT_EQ(aud_platform_users(), before + 1);
    EXPECT_EQ(aud_env_release(e2), AUD_SUCCESS);
    EXPECT_EQ(aud_platform_users(), before);
}

TEST(Dapi, RuntimeProcessingGuards) {
    EXPECT_EQ(dante_runtime_process_sockets(nullptr, nullptr, nullptr), AUD_ERR_INVALIDPARAMETER);
    EXPECT_EQ(dante_runtime_get_sockets(nullptr, nullptr, nullptr, nullptr, nullptr),
              AUD_ERR_INVALIDPARAMETER);
    dapi_t* api = nullptr;
    ASSERT_EQ(dapi_new(&api), AUD_SUCCESS);
    struct ctx {
        dante_runtime_t* rt;
        aud_error_t nested = AUD_SUCCESS;
        int runs = 0;
    } c{dapi_get_runtime(api)};
    aud_event_loop_defer(
        aud_env_get_event_loop(dapi_get_env(api)),
        [](void* user) {
            auto* st = static_cast<ctx*>(user);
            ++st->runs;
            st->nested = dante_runtime_process_sockets(st->rt, nullptr, nullptr);
        },
        &c, nullptr);
    // Deferred work makes the wait zero, so run_once does not block.
    ASSERT_EQ(dante_runtime_run_once(c.rt, 5000), AUD_SUCCESS);
    EXPECT_EQ(c.runs, 1);
    EXPECT_EQ(c.nested, AUD_ERR_INVALIDSTATE);
    EXPECT_EQ(dapi_delete(api), AUD_SUCCESS);
}

TEST(Dapi, RunOnceDeliversASocketEvent) {
    dapi_t* api = nullptr;
    ASSERT_EQ(dapi_new(&api), AUD_SUCCESS);
    int sv[2];
    ASSERT_EQ(socketpair(AF_UNIX, SOCK_DGRAM, 0, sv), 0);
    int got = -1;
    aud_event_loop_watch_socket(
        aud_env_get_event_loop(dapi_get_env(api)), sv[0], AUD_SOCKET_SET_READ,
        [](int sock, aud_socket_set_t, int, void* user) {
            char c;
            (void)!read(sock, &c, 1);
            *static_cast<int*>(user) = c;
        },
        &got, AUD_WATCH_ADD_OR_CHANGE);
    ASSERT_EQ(write(sv[1], "Z", 1), 1);
    ASSERT_EQ(dante_runtime_run_once(dapi_get_runtime(api), 1000), AUD_SUCCESS);
    EXPECT_EQ(got, 'Z');
    aud_event_loop_watch_socket(aud_env_get_event_loop(dapi_get_env(api)), sv[0],
                                AUD_SOCKET_SET_READ, nullptr, nullptr, AUD_WATCH_ADD_OR_CHANGE);
    close(sv[0]);
    close(sv[1]);
    EXPECT_EQ(dapi_delete(api), AUD_SUCCESS);
}

struct domain_events {
    std::vector<int> kinds;
    dapi_domain_handler_t* handler = nullptr;
    dapi_domain_registration_t* self = nullptr;
    dapi_domain_identity_t seen{};
    bool unregister_on_event = false;
};

void on_domain(dapi_domain_handler_t* handler, dapi_domain_event_t kind, void* user) {
    auto* ev = static_cast<domain_events*>(user);
    ev->kinds.push_back(kind);
    dapi_domain_handler_get_identity(handler, &ev->seen);
    if (ev->unregister_on_event && ev->self) {
        EXPECT_EQ(dapi_domain_handler_unregister(handler, ev->self), AUD_SUCCESS);
        ev->self = nullptr;
    }
}

TEST(Dapi, DomainHandlerStartsAdhocAndNotifiesChanges) {
    dapi_t* api = nullptr;
    ASSERT_EQ(dapi_new(&api), AUD_SUCCESS);
    dapi_domain_handler_t* h = dapi_get_domain_handler(api);
    dapi_domain_identity_t id{};
    ASSERT_EQ(dapi_domain_handler_get_identity(h, &id), AUD_SUCCESS);
    EXPECT_TRUE(dapi_domain_identity_is_adhoc(&id));
    EXPECT_EQ(id.flags, DAPI_DOMAIN_FLAGS_ADHOC);

    domain_events a;
    domain_events b;
    ASSERT_EQ(dapi_domain_handler_register(h, on_domain, &a, &a.self), AUD_SUCCESS);
    ASSERT_EQ(dapi_domain_handler_register(h, on_domain, &b, &b.self), AUD_SUCCESS);
    // The information provider reports kind 2 to each newcomer.
    EXPECT_EQ(a.kinds, std::vector<int>{DAPI_DOMAIN_EVENT_HANDLER_STATE});
    EXPECT_EQ(b.kinds, std::vector<int>{DAPI_DOMAIN_EVENT_HANDLER_STATE});
    a.kinds.clear();
    b.kinds.clear();

    dapi_domain_identity_t managed{};
    memset(managed.id, 0x11, sizeof managed.id);
    managed.flags = 0;
    ASSERT_EQ(dapi_domain_handler_set_identity(h, &managed), AUD_SUCCESS);
    EXPECT_EQ(a.kinds,
              (std::vector<int>{DAPI_DOMAIN_EVENT_BEFORE_CHANGE, DAPI_DOMAIN_EVENT_AFTER_CHANGE}));
    EXPECT_EQ(a.seen.id[0], 0x11);  // the last event saw the new identity

    a.kinds.clear();
    b.kinds.clear();
    managed.flags = 1;
    dapi_domain_handler_set_identity(h, &managed);
    EXPECT_EQ(a.kinds, std::vector<int>{DAPI_DOMAIN_EVENT_FLAGS_CHANGED});
    dapi_domain_handler_set_identity(h, &managed);
    EXPECT_EQ(a.kinds.size(), 1u);

    // A component leaving from inside its notification: the others still hear it.
    a.unregister_on_event = true;
    a.kinds.clear();
    b.kinds.clear();
    dapi_domain_handler_notify_state(h);
    EXPECT_EQ(a.kinds.size(), 1u);
    EXPECT_EQ(b.kinds.size(), 1u);
    EXPECT_EQ(dapi_domain_handler_registration_count(h), 1u);
    dapi_domain_handler_notify_state(h);
    EXPECT_EQ(a.kinds.size(), 1u);
    EXPECT_EQ(b.kinds.size(), 2u);

    EXPECT_EQ(dapi_domain_handler_unregister(h, b.self), AUD_SUCCESS);
    EXPECT_EQ(dapi_domain_handler_registration_count(h), 0u);
    EXPECT_EQ(dapi_delete(api), AUD_SUCCESS);
}

// Browse and routing devices are made only on a handle whose domain is known; both
// take their environment, loop and handler from the same place.
TEST(Dapi, ComponentsNeedALoopAndAKnownDomain) {
    dapi_t* api = nullptr;
    ASSERT_EQ(dapi_new(&api), AUD_SUCCESS);
    dapi_component_base_t base;
    ASSERT_EQ(dapi_get_component_base(api, &base), AUD_SUCCESS);
    EXPECT_EQ(base.env, dapi_get_env(api));
    EXPECT_EQ(base.loop, aud_env_get_event_loop(base.env));
    EXPECT_EQ(base.log, aud_env_get_log(base.env));
    EXPECT_EQ(base.handler, dapi_get_domain_handler(api));
    EXPECT_TRUE(dapi_domain_identity_is_adhoc(&base.identity));
    EXPECT_EQ(dapi_get_component_base(nullptr, &base), AUD_ERR_INVALIDPARAMETER);
    EXPECT_EQ(dapi_get_component_base(api, nullptr), AUD_ERR_INVALIDPARAMETER);

    dapi_domain_identity_t unknown{};
    ASSERT_EQ(dapi_domain_handler_set_identity(base.handler, &unknown), AUD_SUCCESS);
    EXPECT_EQ(dapi_get_component_base(api, &base), AUD_ERR_INVALIDDATA);
    db_browse_t* browse = nullptr;
    dr_devices_t* devices = nullptr;
    EXPECT_EQ(db_browse_new(api, DB_TYPE_CONMON_DEVICE, &browse), AUD_ERR_INVALIDDATA);
    EXPECT_EQ(dr_devices_new(api, &devices), AUD_ERR_INVALIDDATA);
    EXPECT_EQ(browse, nullptr);
    EXPECT_EQ(devices, nullptr);

    dapi_domain_identity_t managed{};
    memset(managed.id, 0x22, sizeof managed.id);
    ASSERT_EQ(dapi_domain_handler_set_identity(dapi_get_domain_handler(api), &managed),
              AUD_SUCCESS);
    ASSERT_EQ(dapi_get_component_base(api, &base), AUD_SUCCESS);
    EXPECT_FALSE(dapi_domain_identity_is_adhoc(&base.identity));
    EXPECT_EQ(base.identity.id[0], 0x22);
    EXPECT_EQ(dapi_delete(api), AUD_SUCCESS);
}

}  // namespace
