#include "pages/freq_respond_page.h"

namespace tavrin {
namespace {

// Where each box's state lives in the flags.
struct box_flag {
    int item;
    size_t channel;
    bool channel_show::*flag;
};
constexpr box_flag boxes[] = {
    {idc_show_ch1, 0, &channel_show::channel},
    {idc_show_ch1_peq, 0, &channel_show::peq},
    {idc_show_ch1_filter, 0, &channel_show::filter},
    {idc_show_ch2, 1, &channel_show::channel},
    {idc_show_ch2_peq, 1, &channel_show::peq},
    {idc_show_ch2_filter, 1, &channel_show::filter},
};

}  // namespace

response_show_flags& freq_respond_show_flags() {
    static response_show_flags flags{};
    return flags;
}

freq_respond_page_logic::freq_respond_page_logic(amp_params& params, response_show_flags& show,
                                                 page_view& view)
    : params_(params), show_(show), view_(view) {}

void freq_respond_page_logic::init() {
    axes_ = freq_respond_graph_axes(view_.width(), view_.height());
    for (const box_flag& b : boxes)
        view_.set_check(b.item, show_[b.channel].*b.flag);
    refresh();
}

bool freq_respond_page_logic::check_clicked(int item, bool checked) {
    for (const box_flag& b : boxes) {
        if (b.item != item)
            continue;
        show_[b.channel].*b.flag = checked;
        refresh();
        return true;
    }
    return false;
}

void freq_respond_page_logic::params_changed(field_mask changed) {
    constexpr field_mask shown =
        layout_fields | field_range(param_field::hpf_ch1_enable, param_field::peq_ch2_freq_lo);
    if ((changed & shown) != 0)
        refresh();
}

void freq_respond_page_logic::refresh() {
    load();
    view_.invalidate();
}

void freq_respond_page_logic::load() {
    axes_ = freq_respond_graph_axes(view_.width(), view_.height());
    const param_block block = params_.snapshot();
    channels_[0] = load_channel_data(block, amp_channel::ch1);
    channels_[1] = load_channel_data(block, amp_channel::ch2);
}

}  // namespace tavrin
