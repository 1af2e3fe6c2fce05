// The Setting Summary window offscreen: filled on creation, refreshed by timer 3000,
// closed by OK with its timer.
#include "presets/summary_window_qt.h"

#include <gtest/gtest.h>

#include <QCoreApplication>
#include <QLabel>
#include <QPointer>
#include <QPushButton>
#include <QTest>

#include "platform/ui/dialog_builder.h"
#include "preset_fixture.h"
#include "presets/summary.h"
#include "resources/dialog_template.h"
#include "tests/support/qt_test_app.h"

namespace tavrin::testing {
namespace {

class SummaryWindow : public preset_fixture {
  protected:
    SummaryWindow() { qt_app(); }

    // The window as the main window makes it: deleted when closed.
    QWidget* open() {
        auto* w = new QWidget(nullptr, Qt::Window);
        w->setAttribute(Qt::WA_DeleteOnClose);
        build_dialog(*find_template(summary_template_id), w);
        form = fill_summary_window(ctx, w);
        w->show();
        return w;
    }
    static std::string text(QWidget* w, int id) {
        auto* label = w->findChild<QLabel*>(control_name(id));
        return label ? label->text().toStdString() : "<missing>";
    }

    summary_form* form = nullptr;
};

TEST_F(SummaryWindow, ShowsEveryFieldOnCreation) {
    QPointer<QWidget> w = open();
    for (const summary_field& f : summary_fields(param_block{}, ""))
        EXPECT_EQ(text(w, f.id), f.text) << f.id;
    EXPECT_EQ(text(w, 1244), "No Device");
    delete w.data();

    bench.session.preselect("Amp-1");
    param_block b{};
    b[field_def(param_field::location).offset] = 'R';
    b[field_def(param_field::master_volume).offset] = 25;
    params.replace(b);
    w = open();
    EXPECT_EQ(text(w, 1244), "Amp-1");
    EXPECT_EQ(text(w, 1245), "R");
    EXPECT_EQ(text(w, 1249), "50%");
    delete w.data();
}

TEST_F(SummaryWindow, FollowsTheMirrorOnEachTickOfTimer3000) {
    QPointer<QWidget> w = open();
    EXPECT_TRUE(form->timers().running(summary_timer_id));
    EXPECT_EQ(form->timers().period(summary_timer_id), 3000);
    EXPECT_EQ(text(w, 1250), "Disable");

    params.set_mute(true);
    EXPECT_EQ(text(w, 1250), "Disable");
    form->timers().fire(summary_timer_id);
    EXPECT_EQ(text(w, 1250), "Enable");
    // An answer that changed the mirror shows at once.
    params.set_mute(false);
    form->params_changed(field_bit(param_field::mute));
    EXPECT_EQ(text(w, 1250), "Disable");
    delete w.data();
}

TEST_F(SummaryWindow, OkClosesTheWindowAndItsTimer) {
    QPointer<QWidget> w = open();
    QPointer<QObject> f = form;
    QTest::mouseClick(w->findChild<QPushButton*>(control_name(summary_ok_id)), Qt::LeftButton);
    QCoreApplication::sendPostedEvents(nullptr, QEvent::DeferredDelete);
    EXPECT_TRUE(w.isNull());
    EXPECT_TRUE(f.isNull());
}

}  // namespace
}  // namespace tavrin::testing
