#include "platform/ui/dialog_builder.h"

#include <QCheckBox>
#include <QLabel>
#include <QLineEdit>
#include <QListWidget>
#include <QProgressBar>
#include <QPushButton>
#include <QRadioButton>
#include <QTabWidget>

#include "platform/ui/drop_down.h"
#include "platform/ui/group_box.h"
#include "platform/ui/list_box.h"
#include "platform/ui/trackbar.h"

namespace tavrin {
namespace {

QString text_of(const dialog_control& c) {
    return QString::fromUtf8(c.text.data(), static_cast<qsizetype>(c.text.size()));
}

QWidget* make_label(const dialog_control& c, QWidget* parent) {
    auto* label = new QLabel(text_of(c), parent);
    label->setWordWrap(true);
    Qt::Alignment horizontal = Qt::AlignLeft;
    if (c.style & style_right)
        horizontal = Qt::AlignRight;
    if (c.style & style_centre)
        horizontal = Qt::AlignHCenter;
    label->setAlignment(horizontal | Qt::AlignTop);
    return label;
}

QWidget* make_list(const dialog_control& c, QWidget* parent) {
    auto* list = new QListWidget(parent);
    list->setVerticalScrollBarPolicy((c.style & style_vscroll) ? Qt::ScrollBarAsNeeded
                                                               : Qt::ScrollBarAlwaysOff);
    list->setHorizontalScrollBarPolicy((c.style & style_hscroll) ? Qt::ScrollBarAsNeeded
                                                                 : Qt::ScrollBarAlwaysOff);
    list->setProperty(sorted_property, (c.style & style_sorted) != 0);
    return list;
}

QWidget* make_control(const dialog_control& c, QWidget* parent) {
    switch (c.kind) {
        case control_kind::group_box: {
            // Frames and plain texts take no clicks: whatever lies under them does,
            // whichever was made first.
            auto* group = new group_box(text_of(c), parent);
            group->setAttribute(Qt::WA_TransparentForMouseEvents);
            return group;
        }
        case control_kind::static_text: {
            QWidget* label = make_label(c, parent);
            if ((c.style & style_notify) == 0)
                label->setAttribute(Qt::WA_TransparentForMouseEvents);
            return label;
        }
        case control_kind::button:
            return new QPushButton(text_of(c), parent);
        case control_kind::check_box:
            return new QCheckBox(text_of(c), parent);
        case control_kind::radio_button:
            return new QRadioButton(text_of(c), parent);
        case control_kind::edit: {
            auto* edit = new QLineEdit(text_of(c), parent);
            if (c.style & style_right)
                edit->setAlignment(Qt::AlignRight);
            return edit;
        }
        case control_kind::list_box:
            return make_list(c, parent);
        case control_kind::drop_down: {
            auto* combo = new drop_down(parent);
            combo->setProperty(sorted_property, (c.style & style_sorted) != 0);
            return combo;
        }
        case control_kind::tab_control:
            return new QTabWidget(parent);
        case control_kind::trackbar:
            return new trackbar((c.style & style_vertical) ? Qt::Vertical : Qt::Horizontal, parent);
        case control_kind::progress_bar:
            return new QProgressBar(parent);
    }
    return new QWidget(parent);
}

}  // namespace

QWidget* built_dialog::control(int id) const {
    const auto it = controls.find(id);
    return it == controls.end() ? nullptr : it->second;
}

QString control_name(int id) {
    return QStringLiteral("idc_%1").arg(id);
}

built_dialog build_dialog(const dialog_template& tmpl, QWidget* host) {
    built_dialog out;
    const QFont font = dialog_font(tmpl.font_points);
    host->setFont(font);
    out.units = base_units_of(font);
    host->setFixedSize(dlu_size(out.units, tmpl.w, tmpl.h));
    if (tmpl.kind == template_kind::window)
        host->setWindowTitle(
            QString::fromUtf8(tmpl.caption.data(), static_cast<qsizetype>(tmpl.caption.size())));
    for (const dialog_control& c : tmpl.controls) {
        QWidget* widget = make_control(c, host);
        QRect rect = dlu_rect(out.units, c.x, c.y, c.w, c.h);
        // A drop-down's template height is that of its open list; the closed box
        // keeps its natural height.
        if (c.kind == control_kind::drop_down)
            rect.setHeight(widget->sizeHint().height());
        widget->setGeometry(rect);
        widget->setEnabled((c.style & style_disabled) == 0);
        widget->setVisible(!c.hidden);
        if (c.id != no_control_id) {
            widget->setObjectName(control_name(c.id));
            out.controls[c.id] = widget;
        }
    }
    return out;
}

}  // namespace tavrin
