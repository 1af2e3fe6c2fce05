#include "platform/ui/queued_ui_port.h"

#include <QMetaObject>
#include <QThread>

namespace tavrin {

queued_ui_port::queued_ui_port(QObject* context, ui_port& direct)
    : context_(context), direct_(direct) {}

template <typename F>
void queued_ui_port::post(F&& call) {
    QObject* context = context_.data();
    if (context == nullptr)
        return;
    if (QThread::currentThread() == context->thread()) {
        call();
        return;
    }
    QMetaObject::invokeMethod(context, std::forward<F>(call), Qt::QueuedConnection);
}

void queued_ui_port::log_message(const std::string& text) {
    post([this, text] { direct_.log_message(text); });
}

void queued_ui_port::set_info_text(const std::string& text) {
    post([this, text] { direct_.set_info_text(text); });
}

void queued_ui_port::invalidate_main_window() {
    post([this] { direct_.invalidate_main_window(); });
}

void queued_ui_port::invalidate_status_lamp() {
    post([this] { direct_.invalidate_status_lamp(); });
}

void queued_ui_port::set_connect_caption(const std::string& caption) {
    post([this, caption] { direct_.set_connect_caption(caption); });
}

void queued_ui_port::start_poll_timer() {
    post([this] { direct_.start_poll_timer(); });
}

void queued_ui_port::stop_poll_timer() {
    post([this] { direct_.stop_poll_timer(); });
}

void queued_ui_port::restart_poll_timer() {
    post([this] { direct_.restart_poll_timer(); });
}

box_answer queued_ui_port::message_box(const std::string& text, const std::string& caption,
                                       box_icon icon, box_buttons buttons) {
    QObject* context = context_.data();
    if (context == nullptr)
        return buttons == box_buttons::yes_no ? box_answer::no : box_answer::ok;
    if (QThread::currentThread() == context->thread())
        return direct_.message_box(text, caption, icon, buttons);
    box_answer answer = box_answer::ok;
    QMetaObject::invokeMethod(
        context, [&] { answer = direct_.message_box(text, caption, icon, buttons); },
        Qt::BlockingQueuedConnection);
    return answer;
}

}  // namespace tavrin
