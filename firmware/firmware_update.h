#pragma once
// The firmware transfer. The UI thread prepares it with update_start, which hands the
// amplifier's link to it; from then on the amplifier's session drives it alone,
// handing it every answer (after the pause the amplifier needs) and calling it on
// every wake-up while it runs. It asks whether an earlier transfer can be
// resumed, otherwise announces a fresh start, sends the image in 256-byte blocks, each
// acknowledged with its byte sum, marks the end, compares the amplifier's checksum of
// the whole image, writes the version stamp and sends the finishing command. Any 2 s
// without an answer resends the last request; 30 s without one abandons the transfer.
#include <atomic>
#include <cstddef>
#include <cstdint>

#include "firmware/firmware_image.h"
#include "link/amp_session.h"
#include "link/session_events.h"
#include "link/update_port.h"
#include "platform/time_source.h"

namespace tavrin {

struct update_parts {
    // The amplifier's session: the transfer takes its link while it runs.
    amp_session& session;
    session_events& events;
    time_source& time;
};

// The values are the amplifier-facing step numbers the transfer has always used.
enum class update_state : int {
    fresh_start = 0,    // no resume: the next wake-up moves on to the start command
    start_sent = 1,     // waiting for the start command's answer
    sending = 2,        // blocks going out, each waiting for its sum
    end_sent = 3,       // end marker sent
    checksum_sent = 8,  // checksum query sent
    version_sent = 11,  // version write sent
    finishing = 12,     // finishing command sent once
    finished = 13,      // ends with "Update Finished." on the next resend
    failed = 14,        // ends with "Update Failed." on the next resend
    resume_check = 16,  // resume query sent
};

// The status texts of a transfer.
inline constexpr const char* update_check_resume_text = "Check Resume";
inline constexpr const char* update_fresh_start_text = "Start uploading firmware.";
inline constexpr const char* update_sending_text = "Update Pre-Amplifier...";

// How the last transfer ended.
enum class update_result { none, finished, failed, timeout, stopped };

class firmware_update : public update_procedure {
  public:
    static constexpr uint32_t resend_ms = 2000;
    static constexpr uint32_t timeout_ms = 30000;
    // The amplifier keeps what it received in pages of this many bytes.
    static constexpr uint32_t resume_page_bytes = 4096;

    explicit firmware_update(update_parts parts);

    firmware_update(const firmware_update&) = delete;
    firmware_update& operator=(const firmware_update&) = delete;

    // UI thread. Takes the image, disables the main window, empties the ring and sets
    // update_mode last, so the worker never sees a half-prepared transfer. Refuses
    // (changing nothing) while a transfer runs or when the image is not whole blocks.
    bool update_start(firmware_image image);

    // Ends a running transfer where it stands, without a message: the amplifier keeps
    // the pages it received, so a later transfer of the same image resumes there (an
    // interrupted command line, a fleet told to stop). Nothing happens when none runs.
    void stop_transfer();
    // A transfer runs (from update_start until it ends).
    bool running() const { return running_.load(); }
    // How the last transfer ended; none while one runs or before the first.
    update_result result() const { return result_.load(); }

    // Worker thread, while update_mode holds.
    void update_on_answer(const uint8_t* frame, size_t length, size_t capacity) override;
    void update_step() override;

    // Read these on the worker, or while no transfer runs.
    update_state state() const { return state_; }
    uint32_t block_index() const { return block_index_; }
    uint32_t total_blocks() const { return total_blocks_; }
    bool holds_image() const { return !image_.bytes.empty(); }

    session_events& events() const { return parts_.events; }
    const link_view& link() const { return parts_.session.view(); }

  private:
    // Each takes the data bytes of the answer.
    void on_resume_answer(const byte_view& data);
    void on_block_answer(const byte_view& data);
    void on_checksum_answer(const byte_view& data);
    void resend();
    void select_block(uint32_t index);
    void queue(const std::vector<uint8_t>& frame);
    void queue_block();
    void queue_end_marker();
    void end_transfer(update_result how, const char* text);
    void time_out();

    update_parts parts_;
    std::atomic<update_result> result_{update_result::none};
    std::atomic<bool> running_{false};

    // The transfer; the UI thread writes it only before update_mode is set, the
    // worker only while it is set.
    firmware_image image_;
    update_state state_ = update_state::resume_check;
    uint32_t block_index_ = 0;
    uint32_t block_offset_ = 0;
    uint32_t block_sum_ = 0;
    uint32_t total_blocks_ = 0;
    uint32_t last_answer_time_ = 0;
    // Kept across transfers: it is normally more than 2 s old when one starts, so the
    // first wake-up asks about a resume at once.
    uint32_t last_send_time_ = 0;
};

}  // namespace tavrin
