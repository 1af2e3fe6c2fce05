// The Network Interface window's widgets wired to the wrapper's selection.
#include <gtest/gtest.h>

#include <QLabel>
#include <QPushButton>
#include <QRadioButton>
#include <QTest>

#include "platform/ui/dialog_builder.h"
#include "platform/ui/drop_down.h"
#include "qxapi/dante_wrapper.h"
#include "qxapi/library_calls.h"
#include "resources/page_templates.h"
#include "tests/support/qt_test_app.h"
#include "utilities/network_window_qt.h"
#include "utility_fixture.h"

namespace tavrin {
namespace {

class two_adapters : public adapter_source {
  public:
    std::vector<adapter_info> adapters() override {
        adapter_info lo{
            1, "lo", "lo", "lo", adapter_kind::loopback, "127.0.0.1", "00:00:00:00:00:00"};
        adapter_info lab{4,
                         "lab0",
                         "lab0",
                         "lab0",
                         adapter_kind::virtual_link,
                         "169.254.77.1",
                         "02:00:00:00:00:01"};
        return {lo, lab};
    }
};

struct network_window_ui : ::testing::Test, testing::utility_fixture {
    library_calls library;
    dante_wrapper wrapper{library};
    two_adapters source;

    network_window_ui() {
        testing::qt_app();
        ctx.wrapper = &wrapper;
    }

    // Built as the main window builds it, deleted when closed.
    QWidget* open_window() {
        auto* window = new QWidget(nullptr, Qt::Window);
        window->setAttribute(Qt::WA_DeleteOnClose);
        build_dialog(network_window_template, window);
        fill_network_window(ctx, window, source);
        window->show();
        return window;
    }
    template <typename T>
    static T* item(QWidget* w, int id) {
        return w->findChild<T*>(control_name(id));
    }
};

TEST_F(network_window_ui, shows_the_visible_controls_only) {
    QPointer<QWidget> w = open_window();
    EXPECT_EQ(w->windowTitle(), "Network Interface");
    for (int id : {1209, 1210, 1211, 1213, 1215, 1216})
        EXPECT_TRUE(item<QWidget>(w, id)->isVisible()) << id;
    for (int id : {1212, 1214, 1217, 1218})
        EXPECT_FALSE(item<QWidget>(w, id)->isVisible()) << id;
    EXPECT_TRUE(item<QRadioButton>(w, idc_net_auto)->isChecked());
    EXPECT_FALSE(item<QWidget>(w, idc_net_primary)->isEnabled());
    w->close();
}

TEST_F(network_window_ui, customer_choice_applies_on_ok) {
    QPointer<QWidget> w = open_window();
    QTest::mouseClick(item<QRadioButton>(w, idc_net_customer), Qt::LeftButton);
    EXPECT_FALSE(item<QRadioButton>(w, idc_net_auto)->isChecked());
    auto* list = item<drop_down>(w, idc_net_primary);
    ASSERT_TRUE(list->isEnabled());
    list->showPopup();
    ASSERT_EQ(list->count(), 2);
    EXPECT_EQ(list->itemText(1), "lab0");
    list->setCurrentIndex(1);
    emit list->activated(1);
    list->hidePopup();
    QCoreApplication::processEvents();
    EXPECT_EQ(item<QLabel>(w, idc_net_primary_ip)->text(), "169.254.77.1");
    EXPECT_EQ(item<QLabel>(w, idc_net_primary_mac)->text(), "02:00:00:00:00:01");
    QTest::mouseClick(item<QPushButton>(w, idc_net_ok), Qt::LeftButton);
    QCoreApplication::sendPostedEvents(nullptr, QEvent::DeferredDelete);
    EXPECT_TRUE(w.isNull());
    EXPECT_EQ(wrapper.iface_selection().num_networks, 1u);
    EXPECT_EQ(wrapper.iface_selection().interface_indexes[0], 4u);

    // The close box after another choice changes nothing.
    w = open_window();
    EXPECT_TRUE(item<QRadioButton>(w, idc_net_customer)->isChecked());
    EXPECT_EQ(item<drop_down>(w, idc_net_primary)->currentText(), "lab0");
    QTest::mouseClick(item<QRadioButton>(w, idc_net_auto), Qt::LeftButton);
    w->close();
    QCoreApplication::sendPostedEvents(nullptr, QEvent::DeferredDelete);
    EXPECT_EQ(wrapper.iface_selection().interface_indexes[0], 4u);
}

}  // namespace
}  // namespace tavrin
