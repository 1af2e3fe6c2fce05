#pragma once
// The contents of the "Network Interface" window (template 141): the main window
// builds the window from its template; this wires its controls to the choice.
#include <QObject>
#include <QWidget>
#include <memory>

#include "app/page_context.h"
#include "utilities/network_choice.h"

namespace tavrin {

// The window's choice and its view, owned by the window.
class network_window_state : public QObject, public network_view {
  public:
    // The adapters come from `source`, which must outlive the window.
    network_window_state(QWidget* window, std::unique_ptr<interface_selection> selection,
                         adapter_source& source);

    void set_item_text(int item, const std::string& text) override;
    void set_check(int item, bool checked) override;
    void enable_item(int item, bool enabled) override;
    void fill_drop_down(int item, const std::vector<std::string>& entries, int selected) override;
    void close_window() override;

    network_choice& choice() { return choice_; }

  private:
    QWidget* window_;
    std::unique_ptr<interface_selection> selection_;
    network_choice choice_;
};

// Wires `window` to the wrapper's interface selection (ctx.wrapper) over the
// system's adapter list, or over `source`.
void fill_network_window(page_context& ctx, QWidget* window);
void fill_network_window(page_context& ctx, QWidget* window, adapter_source& source);

}  // namespace tavrin
