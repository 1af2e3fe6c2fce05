// The Save As window offscreen: OK saves and closes, asks before replacing a file,
// stays open for a name it cannot use; the file is the one tavrin-cli writes.
#include "presets/save_as_window_qt.h"

#include <gtest/gtest.h>

#include <QLineEdit>
#include <QPushButton>
#include <QTest>
#include <memory>

#include "preset_fixture.h"
#include "presets/preset_batch.h"
#include "presets/preset_file.h"
#include "resources/dialog_template.h"
#include "tests/support/qt_test_app.h"

namespace tavrin::testing {
namespace {

param_block numbered_block(uint8_t seed) {
    param_block b{};
    for (size_t i = 0; i < b.size(); ++i)
        b[i] = static_cast<uint8_t>(i * 3 + seed);
    return b;
}

class SaveAsWindow : public preset_fixture {
  protected:
    SaveAsWindow() {
        qt_app();
        window = std::make_unique<QWidget>(nullptr, Qt::Window);
        build_dialog(*find_template(save_as_template_id), window.get());
        form = fill_save_as_window(ctx, window.get());
        window->show();
    }

    QLineEdit* edit() const {
        return window->findChild<QLineEdit*>(control_name(save_as_ids::name));
    }
    QPushButton* button(int id) const { return window->findChild<QPushButton*>(control_name(id)); }
    void type_and_ok(const QString& name) {
        edit()->setText(name);
        QTest::mouseClick(button(save_as_ids::ok), Qt::LeftButton);
    }

    std::unique_ptr<QWidget> window;
    save_as_form* form = nullptr;
};

TEST_F(SaveAsWindow, OkSavesTheSameBytesAsTheCommandLineAndCloses) {
    params.replace(numbered_block(4));
    QTest::keyClicks(edit(), "stage");
    QTest::mouseClick(button(save_as_ids::ok), Qt::LeftButton);
    EXPECT_FALSE(window->isVisible());
    EXPECT_EQ(events.logs, std::vector<std::string>{"File saved."});

    ASSERT_EQ(run_preset_action(ctx, batch_action::save_as, "from-cli", true).outcome,
              preset_outcome::done);
    const bytes window_file = read_bytes(preset_dir() / "stage");
    EXPECT_EQ(window_file.size(), preset_file_size);
    EXPECT_EQ(window_file, read_bytes(preset_dir() / "from-cli"));
}

TEST_F(SaveAsWindow, AnExistingNameAsksAndNoKeepsTheWindowAndTheFile) {
    type_and_ok("hall");
    window->show();
    params.replace(numbered_block(9));

    events.answers = {box_answer::no};
    type_and_ok("hall");
    EXPECT_TRUE(window->isVisible());
    ASSERT_EQ(events.questions.size(), 1u);
    EXPECT_EQ(events.questions[0].text, "Overwrite hall ?");
    EXPECT_EQ(events.questions[0].caption, "File exist");
    const preset_bytes zeros = build_preset_file(param_block{});
    EXPECT_EQ(read_bytes(preset_dir() / "hall"), bytes(zeros.begin(), zeros.end()));

    events.answers = {box_answer::yes};
    type_and_ok("hall");
    EXPECT_FALSE(window->isVisible());
    const preset_bytes now = build_preset_file(numbered_block(9));
    EXPECT_EQ(read_bytes(preset_dir() / "hall"), bytes(now.begin(), now.end()));
}

TEST_F(SaveAsWindow, NamesItCannotUseLeaveItOpenAndWriteNothing) {
    type_and_ok("");
    EXPECT_TRUE(window->isVisible());
    EXPECT_TRUE(events.questions.empty());

    type_and_ok("../outside");
    EXPECT_TRUE(window->isVisible());
    ASSERT_EQ(events.questions.size(), 1u);
    EXPECT_EQ(events.questions[0].buttons, box_buttons::ok);
    EXPECT_FALSE(std::filesystem::exists(work / "outside"));
    EXPECT_TRUE(events.logs.empty());

    EXPECT_EQ(edit()->maxLength(), save_as_name_max);
}

TEST_F(SaveAsWindow, EnterIsOkAndCancelClosesWithoutSaving) {
    edit()->setText("first");
    QTest::keyClick(edit(), Qt::Key_Return);
    EXPECT_TRUE(std::filesystem::exists(preset_dir() / "first"));
    EXPECT_FALSE(window->isVisible());

    window->show();
    edit()->setText("second");
    QTest::mouseClick(button(save_as_ids::cancel), Qt::LeftButton);
    EXPECT_FALSE(window->isVisible());
    EXPECT_FALSE(std::filesystem::exists(preset_dir() / "second"));
}

}  // namespace
}  // namespace tavrin::testing
