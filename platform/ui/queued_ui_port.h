#pragma once
// The UI port for every thread: calls made on the UI thread run at once; calls from
// other threads are queued to the UI thread, and a message box blocks its caller
// until it has been answered.
#include <QObject>
#include <QPointer>

#include "platform/ui_port.h"

namespace tavrin {

class queued_ui_port : public ui_port {
  public:
    // `direct` runs on the UI thread; `context` lives there (usually the main window)
    // and queued calls are dropped once it is gone.
    queued_ui_port(QObject* context, ui_port& direct);

    void log_message(const std::string& text) override;
    void set_info_text(const std::string& text) override;
    void invalidate_main_window() override;
    void invalidate_status_lamp() override;
    void set_connect_caption(const std::string& caption) override;
    void start_poll_timer() override;
    void stop_poll_timer() override;
    void restart_poll_timer() override;
    box_answer message_box(const std::string& text, const std::string& caption, box_icon icon,
                           box_buttons buttons) override;

  private:
    template <typename F>
    void post(F&& call);

    QPointer<QObject> context_;
    ui_port& direct_;
};

}  // namespace tavrin
