#include "pages/freq_respond_page_qt.h"

#include <QCheckBox>
#include <QPainter>

#include "pages/response_graph_qt.h"
#include "resources/page_templates.h"

namespace tavrin {

freq_respond_page::freq_respond_page(page_context& ctx, response_show_flags& show, QWidget* parent)
    : QWidget(parent),
      built_(build_dialog(freq_respond_page_template, this)),
      view_(this, built_),
      logic_(ctx.params, show, view_) {
    setAutoFillBackground(true);
    for (int id : {idc_show_ch1, idc_show_ch1_peq, idc_show_ch1_filter, idc_show_ch2,
                   idc_show_ch2_peq, idc_show_ch2_filter}) {
        if (auto* box = built_.get<QCheckBox>(id))
            connect(box, &QCheckBox::clicked, this,
                    [this, id](bool checked) { logic_.check_clicked(id, checked); });
    }
    logic_.init();
}

void freq_respond_page::paintEvent(QPaintEvent*) {
    QPainter painter(this);
    draw_response_graph(painter, logic_.channels(), logic_.show(), logic_.axes());
}

int freq_respond_page::graph_x(double hz) const {
    return freq_to_x(hz, logic_.axes());
}

int freq_respond_page::graph_y(double db) const {
    return db_to_y(db, logic_.axes());
}

QWidget* make_freq_respond_page(page_context& ctx, QWidget* parent) {
    return new freq_respond_page(ctx, freq_respond_show_flags(), parent);
}

}  // namespace tavrin
