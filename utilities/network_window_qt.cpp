#include "utilities/network_window_qt.h"

#include <QAbstractButton>
#include <QLabel>
#include <memory>

#include "platform/ui/dialog_builder.h"
#include "platform/ui/drop_down.h"

namespace tavrin {
namespace {

// Where the window keeps its choice while no wrapper exists (nothing to apply to).
class kept_selection : public interface_selection {
  public:
    void get_selected_interfaces(uint32_t& primary, uint32_t& secondary) const override {
        primary = primary_;
        secondary = secondary_;
    }
    void select_interfaces(uint32_t primary, uint32_t secondary) override {
        primary_ = primary;
        secondary_ = secondary;
    }

  private:
    uint32_t primary_ = 0;
    uint32_t secondary_ = 0;
};

}  // namespace

network_window_state::network_window_state(QWidget* window,
                                           std::unique_ptr<interface_selection> selection,
                                           adapter_source& source)
    : QObject(window),
      window_(window),
      selection_(std::move(selection)),
      choice_(*selection_, source, *this) {}

void network_window_state::set_item_text(int item, const std::string& text) {
    if (auto* label = window_->findChild<QLabel*>(control_name(item)))
        label->setText(QString::fromStdString(text));
}

void network_window_state::set_check(int item, bool checked) {
    auto* button = window_->findChild<QAbstractButton*>(control_name(item));
    if (button == nullptr)
        return;
    // Radio buttons of one window exclude each other; clearing one needs that off.
    const bool exclusive = button->autoExclusive();
    button->setAutoExclusive(false);
    button->setChecked(checked);
    button->setAutoExclusive(exclusive);
}

void network_window_state::enable_item(int item, bool enabled) {
    if (QWidget* w = window_->findChild<QWidget*>(control_name(item)))
        w->setEnabled(enabled);
}

void network_window_state::fill_drop_down(int item, const std::vector<std::string>& entries,
                                          int selected) {
    auto* list = window_->findChild<drop_down*>(control_name(item));
    if (list == nullptr)
        return;
    list->clear();
    for (const std::string& e : entries)
        list->addItem(QString::fromStdString(e));
    list->setCurrentIndex(selected);
}

void network_window_state::close_window() {
    window_->close();
}

void fill_network_window(page_context& ctx, QWidget* window) {
    fill_network_window(ctx, window, platform_adapters());
}

void fill_network_window(page_context& ctx, QWidget* window, adapter_source& source) {
    std::unique_ptr<interface_selection> selection;
    if (ctx.wrapper != nullptr)
        selection = std::make_unique<wrapper_selection>(*ctx.wrapper);
    else
        selection = std::make_unique<kept_selection>();
    auto* state = new network_window_state(window, std::move(selection), source);
    network_choice& choice = state->choice();

    const auto button = [window](int id) {
        return window->findChild<QAbstractButton*>(control_name(id));
    };
    if (auto* b = button(idc_net_auto))
        QObject::connect(b, &QAbstractButton::clicked, state, [&choice] { choice.auto_clicked(); });
    if (auto* b = button(idc_net_customer))
        QObject::connect(b, &QAbstractButton::clicked, state,
                         [&choice] { choice.customer_clicked(); });
    if (auto* b = button(idc_net_ok))
        QObject::connect(b, &QAbstractButton::clicked, state, [&choice] { choice.ok_clicked(); });
    for (int id : {idc_net_primary, idc_net_secondary}) {
        auto* list = window->findChild<drop_down*>(control_name(id));
        if (list == nullptr)
            continue;
        QObject::connect(list, &drop_down::about_to_open, state,
                         [&choice, id] { choice.drop_down_opens(id); });
        QObject::connect(list, &drop_down::closed, state, [&choice, list, id](bool chosen) {
            if (chosen && list->currentIndex() >= 0)
                choice.drop_down_chosen(id, list->currentText().toStdString());
        });
    }
    choice.open();
}

}  // namespace tavrin
