#include <gtest/gtest.h>

#include <atomic>
#include <thread>
#include <vector>

#include "dante/runtime/aud_log.h"
#include "dante/runtime/dapi.h"
#include "dante/runtime/internal/aud_platform.h"

namespace {

// The application's own threads share the library log; lines must neither be lost
// nor torn, and level changes from another thread must be safe.
TEST(RuntimeThreads, LogSharedByThreads) {
    aud_log_t* log = nullptr;
    ASSERT_EQ(aud_log_new("threads", &log), AUD_SUCCESS);
    aud_log_set_level(log, AUD_LOG_INFO);
    aud_log_set_dest_level(log, AUD_LOG_DEST_CALLBACK, AUD_LOG_INFO);
    struct counter {
        std::atomic<int> lines{0};
        std::atomic<int> torn{0};
    } c;
    aud_log_set_callback(
        log,
        [](aud_log_t*, const char*, aud_log_level_t, const char* msg, size_t len, void* user) {
            auto* cc = static_cast<counter*>(user);
            cc->lines++;
            if (len != 12 || msg[0] != msg[11]) {
                cc->torn++;
            }
        },
        &c);
    std::vector<std::thread> threads;
    for (int t = 0; t < 4; ++t) {
        threads.emplace_back([log, t] {
            char ch = static_cast<char>('a' + t);
            for (int i = 0; i < 500; ++i) {
                aud_log_printf(log, AUD_LOG_INFO, "%c0123456789%c", ch, ch);
            }
        });
    }
    threads.emplace_back([log] {
        for (int i = 0; i < 500; ++i) {
            aud_log_set_timestamp(log, AUD_LOG_DEST_CALLBACK, i % 2 == 0);
            aud_log_enabled(log, AUD_LOG_DEBUG);
        }
    });
    for (auto& th : threads) {
        th.join();
    }
    EXPECT_EQ(c.lines.load(), 2000);
    EXPECT_EQ(c.torn.load(), 0);
    aud_log_delete(log);
}

// Two threads making their first API handle at the same time share one start-up.
TEST(RuntimeThreads, ConcurrentApiHandles) {
    int before = aud_platform_users();
    std::vector<std::thread> threads;
    std::atomic<int> ok{0};
    for (int t = 0; t < 4; ++t) {
        threads.emplace_back([&ok] {
            for (int i = 0; i < 20; ++i) {
                dapi_t* api = nullptr;
                if (dapi_new(&api) == AUD_SUCCESS) {
                    dante_runtime_run_once(dapi_get_runtime(api), 0);
                    dapi_delete(api);
                    ok++;
                }
            }
        });
    }
    for (auto& th : threads) {
        th.join();
    }
    EXPECT_EQ(ok.load(), 80);
    EXPECT_EQ(aud_platform_users(), before);
}

}  // namespace
