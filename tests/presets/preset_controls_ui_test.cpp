// The main window's preset group offscreen: the drop-down lists the folder as it
// opens, its choice enables Load, Delete and Save, and the buttons act on the choice.
#include "presets/preset_controls_qt.h"

#include <gtest/gtest.h>

#include <QCoreApplication>
#include <QTest>
#include <memory>

#include "preset_fixture.h"
#include "presets/preset_file.h"
#include "resources/dialog_template.h"
#include "tests/support/qt_test_app.h"

namespace tavrin::testing {
namespace {

param_block numbered_block(uint8_t seed) {
    param_block b{};
    for (size_t i = 0; i < b.size(); ++i)
        b[i] = static_cast<uint8_t>(i + seed);
    return b;
}

bytes preset_of(const param_block& b) {
    const preset_bytes f = build_preset_file(b);
    return bytes(f.begin(), f.end());
}

class PresetControls : public preset_fixture {
  protected:
    PresetControls() {
        qt_app();
        host = std::make_unique<QWidget>();
        built = build_dialog(*find_template(main_template_id), host.get());
        controls = wire_preset_controls(ctx, built, host.get());
        std::filesystem::create_directories(preset_dir());
    }

    drop_down* list() const { return built.get<drop_down>(preset_ids::list); }
    QPushButton* button(int id) const { return built.get<QPushButton>(id); }
    std::vector<bool> enabled() const {
        return {button(preset_ids::load)->isEnabled(), button(preset_ids::remove)->isEnabled(),
                button(preset_ids::save)->isEnabled()};
    }
    std::vector<std::string> items() const {
        std::vector<std::string> out;
        for (int i = 0; i < list()->count(); ++i)
            out.push_back(list()->itemText(i).toStdString());
        return out;
    }
    // Opens the drop-down and closes it on entry `index`, or without a choice.
    void pick(std::optional<int> index) {
        list()->showPopup();
        if (index) {
            list()->setCurrentIndex(*index);
            emit list()->activated(*index);
        }
        list()->hidePopup();
        QCoreApplication::processEvents();
    }

    std::unique_ptr<QWidget> host;
    built_dialog built;
    preset_controls* controls = nullptr;
};

const std::vector<bool> all_off{false, false, false};
const std::vector<bool> all_on{true, true, true};

TEST_F(PresetControls, OpeningListsThePlainFilesAndTheChoiceEnablesTheButtons) {
    EXPECT_EQ(enabled(), all_off);
    write_bytes(preset_dir() / "stage", preset_of(param_block{}));
    write_bytes(preset_dir() / "hall", preset_of(param_block{}));
    std::filesystem::create_directories(preset_dir() / "old");

    pick(std::nullopt);
    EXPECT_EQ(items(), (std::vector<std::string>{"hall", "stage"}));
    EXPECT_EQ(list()->currentIndex(), -1);
    EXPECT_EQ(enabled(), all_off);

    pick(1);
    EXPECT_EQ(controls->picker().selected_name(), "stage");
    EXPECT_EQ(enabled(), all_on);

    // Opening empties the choice; closing without one disables the buttons again.
    pick(std::nullopt);
    EXPECT_EQ(list()->currentIndex(), -1);
    EXPECT_EQ(enabled(), all_off);
}

TEST_F(PresetControls, SaveReplacesTheChosenFileWithoutAQuestion) {
    write_bytes(preset_dir() / "hall", preset_of(param_block{}));
    pick(0);
    params.replace(numbered_block(3));
    QTest::mouseClick(button(preset_ids::save), Qt::LeftButton);
    EXPECT_EQ(read_bytes(preset_dir() / "hall"), preset_of(numbered_block(3)));
    EXPECT_TRUE(events.questions.empty());
    EXPECT_EQ(events.logs, std::vector<std::string>{"File saved."});
}

TEST_F(PresetControls, LoadAsksThenQueuesTheBlockAndFillsTheMirrorQuietly) {
    write_bytes(preset_dir() / "hall", preset_of(numbered_block(8)));
    connect();
    pick(0);

    events.answers = {box_answer::no};
    QTest::mouseClick(button(preset_ids::load), Qt::LeftButton);
    EXPECT_EQ(ring.waiting(), 0u);

    events.answers = {box_answer::yes};
    QTest::mouseClick(button(preset_ids::load), Qt::LeftButton);
    ASSERT_EQ(events.questions.size(), 2u);
    EXPECT_EQ(events.questions[1].text, "Load hall ?");
    bytes frame(command_ring::max_frame);
    frame.resize(ring.ring_pop_into(frame.data(), frame.size()));
    ASSERT_EQ(frame.size(), 520u);
    const param_block expected = numbered_block(8);
    EXPECT_TRUE(std::equal(expected.begin(), expected.end(), frame.begin() + 7));
    EXPECT_EQ(params.snapshot(), expected);
    // The page on show keeps its values until it is made again.
    EXPECT_FALSE(params.record_changed());
}

TEST_F(PresetControls, DeleteAsksAndRelistsWithTheFirstFileChosen) {
    write_bytes(preset_dir() / "a", preset_of(param_block{}));
    write_bytes(preset_dir() / "b", preset_of(param_block{}));
    pick(1);

    events.answers = {box_answer::no};
    QTest::mouseClick(button(preset_ids::remove), Qt::LeftButton);
    EXPECT_TRUE(std::filesystem::exists(preset_dir() / "b"));
    EXPECT_EQ(items(), (std::vector<std::string>{"a", "b"}));

    events.answers = {box_answer::yes};
    QTest::mouseClick(button(preset_ids::remove), Qt::LeftButton);
    EXPECT_EQ(events.questions.back().text, "Delete b ?");
    EXPECT_FALSE(std::filesystem::exists(preset_dir() / "b"));
    EXPECT_EQ(items(), std::vector<std::string>{"a"});
    EXPECT_EQ(list()->currentIndex(), 0);
    EXPECT_EQ(enabled(), all_on);

    events.answers = {box_answer::yes};
    QTest::mouseClick(button(preset_ids::remove), Qt::LeftButton);
    EXPECT_TRUE(items().empty());
    EXPECT_EQ(enabled(), all_off);
    EXPECT_EQ(events.logs, (std::vector<std::string>{"File deleted.", "File deleted."}));
}

}  // namespace
}  // namespace tavrin::testing
