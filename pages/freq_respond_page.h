#pragma once
// The "Frequency Respond" page: both channels' complete responses on one graph, and
// six check boxes that choose what each channel's curve includes.
#include <array>

#include "app/page_context.h"
#include "pages/channel_response.h"
#include "pages/graph_axes.h"
#include "pages/page_view.h"
#include "protocol/amp_params.h"

namespace tavrin {

enum freq_respond_control : int {
    idc_show_ch1 = 1059,
    idc_show_ch1_peq = 1060,
    idc_show_ch1_filter = 1061,
    idc_show_ch2 = 1062,
    idc_show_ch2_peq = 1063,
    idc_show_ch2_filter = 1064,
};

using response_show_flags = std::array<channel_show, 2>;

// The page's show flags: all set when the program starts, and kept while the page
// window comes and goes with its tab.
response_show_flags& freq_respond_show_flags();

class freq_respond_page_logic {
  public:
    // All three must outlive the logic.
    freq_respond_page_logic(amp_params& params, response_show_flags& show, page_view& view);

    // Sets the check boxes from the flags and loads both channels.
    void init();
    // A click on one of the six boxes; false for any other item.
    bool check_clicked(int item, bool checked);
    // An answer changed fields of the mirror: the page reloads when it shows one.
    void params_changed(field_mask changed);
    // Plot rectangle from the window size, both channels from the mirror, repaint.
    void refresh();

    const graph_axes& axes() const { return axes_; }
    const std::array<channel_data, 2>& channels() const { return channels_; }
    const response_show_flags& show() const { return show_; }

  private:
    void load();

    amp_params& params_;
    response_show_flags& show_;
    page_view& view_;
    graph_axes axes_;
    std::array<channel_data, 2> channels_{};
};

}  // namespace tavrin
