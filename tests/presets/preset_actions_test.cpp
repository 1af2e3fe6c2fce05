#include "presets/preset_actions.h"

#include <gtest/gtest.h>

#include "preset_fixture.h"
#include "presets/preset_file.h"
#include "presets/preset_picker.h"
#include "protocol/catalogue.h"

namespace tavrin::testing {
namespace {

namespace fs = std::filesystem;

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

bytes pop_frame(command_ring& ring) {
    bytes out(command_ring::max_frame);
    out.resize(ring.ring_pop_into(out.data(), out.size()));
    return out;
}

using PresetSave = preset_fixture;

TEST_F(PresetSave, SaveCreatesFolderAndWritesMirrorWithoutAsking) {
    params.replace(numbered_block(5));
    preset_actions actions(ctx);
    EXPECT_EQ(actions.save("hall"), preset_outcome::done);
    EXPECT_EQ(read_bytes(preset_dir() / "hall"), preset_of(numbered_block(5)));

    params.replace(numbered_block(9));
    EXPECT_EQ(actions.save("hall"), preset_outcome::done);
    EXPECT_EQ(read_bytes(preset_dir() / "hall"), preset_of(numbered_block(9)));
    EXPECT_TRUE(events.questions.empty());
    EXPECT_EQ(events.logs, (std::vector<std::string>{"File saved.", "File saved."}));
    // Only the preset: no temporary file is left behind.
    EXPECT_EQ(tree_of(preset_dir()), std::vector<std::string>{"hall"});
}

TEST_F(PresetSave, SaveAsAsksBeforeOverwritingAndKeepsWindowOpenOnNo) {
    preset_actions actions(ctx);
    EXPECT_EQ(actions.save_as("stage"), preset_outcome::done);
    EXPECT_TRUE(events.questions.empty());

    params.replace(numbered_block(1));
    events.answers = {box_answer::no};
    const preset_outcome no = actions.save_as("stage");
    EXPECT_EQ(no, preset_outcome::declined);
    EXPECT_FALSE(save_as_window_closes(no));
    ASSERT_EQ(events.questions.size(), 1u);
    EXPECT_EQ(events.questions[0].text, "Overwrite stage ?");
    EXPECT_EQ(events.questions[0].caption, "File exist");
    EXPECT_EQ(events.questions[0].icon, box_icon::question);
    EXPECT_EQ(events.questions[0].buttons, box_buttons::yes_no);
    EXPECT_EQ(read_bytes(preset_dir() / "stage"), preset_of(param_block{}));

    events.answers = {box_answer::yes};
    const preset_outcome yes = actions.save_as("stage");
    EXPECT_EQ(yes, preset_outcome::done);
    EXPECT_TRUE(save_as_window_closes(yes));
    EXPECT_EQ(read_bytes(preset_dir() / "stage"), preset_of(numbered_block(1)));
}

TEST_F(PresetSave, EmptyNamesDoNothing) {
    preset_actions actions(ctx);
    EXPECT_EQ(actions.save(""), preset_outcome::ignored);
    EXPECT_EQ(actions.save_as(""), preset_outcome::ignored);
    EXPECT_FALSE(save_as_window_closes(preset_outcome::ignored));
    EXPECT_FALSE(fs::exists(preset_dir()));
    EXPECT_TRUE(events.logs.empty());
    EXPECT_TRUE(events.questions.empty());
}

TEST_F(PresetSave, PathLikeNamesAreRefusedAndWriteNothingAnywhere) {
    fs::create_directories(work / "Preset" / "sub");
    const auto before = tree_of(root);
    preset_actions actions(ctx);
    const std::string names[] = {"../escape",
                                 "..",
                                 ".",
                                 "sub/inner",
                                 "a\\b",
                                 "/tmp/abs",
                                 "..\\up",
                                 std::string(256, 'x'),
                                 std::string("nul\0byte", 8),
                                 "two\nlines",
                                 "tab\there",
                                 "del\x7f"};
    for (const std::string& name : names) {
        events.questions.clear();
        EXPECT_EQ(actions.save_as(name), preset_outcome::refused) << name;
        EXPECT_EQ(actions.save(name), preset_outcome::refused) << name;
        ASSERT_EQ(events.questions.size(), 2u);
        EXPECT_FALSE(events.questions[0].text.empty());
        EXPECT_EQ(events.questions[0].caption, "File name");
        EXPECT_EQ(events.questions[0].buttons, box_buttons::ok);
    }
    EXPECT_FALSE(save_as_window_closes(preset_outcome::refused));
    EXPECT_EQ(tree_of(root), before);
    EXPECT_TRUE(events.logs.empty());

    // 255 bytes is still a name.
    EXPECT_EQ(actions.save_as(std::string(255, 'y')), preset_outcome::done);
}

TEST_F(PresetSave, FullDiskHalfWayKeepsOldPresetAndLogsError) {
    failing_files files;
    files.budget = 10000;
    preset_actions actions(ctx, files);
    params.replace(numbered_block(3));
    ASSERT_EQ(actions.save("keep"), preset_outcome::done);

    params.replace(numbered_block(200));
    files.budget = 261;
    events.logs.clear();
    EXPECT_EQ(actions.save("keep"), preset_outcome::write_error);
    EXPECT_EQ(events.logs, std::vector<std::string>{"File save error."});
    EXPECT_EQ(read_bytes(preset_dir() / "keep"), preset_of(numbered_block(3)));
    ASSERT_EQ(files.temporaries.size(), 2u);
    EXPECT_FALSE(fs::exists(files.temporaries[1]));
    EXPECT_EQ(tree_of(preset_dir()), std::vector<std::string>{"keep"});

    // Save As over it (after a Yes) fails the same way.
    events.answers = {box_answer::yes};
    EXPECT_EQ(actions.save_as("keep"), preset_outcome::write_error);
    EXPECT_TRUE(save_as_window_closes(preset_outcome::write_error));
    EXPECT_EQ(read_bytes(preset_dir() / "keep"), preset_of(numbered_block(3)));
}

TEST_F(PresetSave, FileThatCannotBeCreatedLogsSaveError) {
    failing_files files;
    files.refuse_create = true;
    preset_actions actions(ctx, files);
    EXPECT_EQ(actions.save_as("new"), preset_outcome::write_error);
    EXPECT_EQ(actions.save("new"), preset_outcome::write_error);
    EXPECT_EQ(events.logs, (std::vector<std::string>{"File save error.", "File save error."}));
    EXPECT_FALSE(fs::exists(preset_dir() / "new"));
}

TEST_F(PresetSave, TargetThatIsAFolderLogsSaveErrorAndStaysAFolder) {
    fs::create_directories(preset_dir() / "taken");
    preset_actions actions(ctx);
    EXPECT_EQ(actions.save("taken"), preset_outcome::write_error);
    EXPECT_EQ(events.logs, std::vector<std::string>{"File save error."});
    EXPECT_TRUE(fs::is_directory(preset_dir() / "taken"));
    EXPECT_EQ(tree_of(preset_dir()), std::vector<std::string>{"taken"});
}

TEST_F(PresetSave, UncreatableFolderStopsSilentlySaveAsCloses) {
    write_bytes(work / "Preset", bytes{1, 2, 3});  // a file where the folder belongs
    preset_actions actions(ctx);
    EXPECT_EQ(actions.save("x"), preset_outcome::folder_error);
    const preset_outcome as = actions.save_as("x");
    EXPECT_EQ(as, preset_outcome::folder_error);
    EXPECT_TRUE(save_as_window_closes(as));
    EXPECT_TRUE(events.logs.empty());
    EXPECT_EQ(read_bytes(work / "Preset"), (bytes{1, 2, 3}));
}

using PresetLoad = preset_fixture;

TEST_F(PresetLoad, PutsExactlyTheWriteFrameEvenWhenGatedThenTheMirror) {
    connect();
    gate();
    const param_block stored = numbered_block(77);
    fs::create_directories(preset_dir());
    write_bytes(preset_dir() / "show", preset_of(stored));
    params.mark_changed();
    params.clear_record_changed();

    events.answers = {box_answer::yes};
    preset_actions actions(ctx);
    EXPECT_EQ(actions.load("show"), preset_outcome::done);
    ASSERT_EQ(events.questions.size(), 1u);
    EXPECT_EQ(events.questions[0].text, "Load show ?");
    EXPECT_EQ(events.questions[0].caption, "Load File");
    EXPECT_EQ(events.questions[0].icon, box_icon::question);

    ASSERT_EQ(ring.waiting(), 1u);
    const bytes frame = pop_frame(ring);
    ASSERT_EQ(frame.size(), 520u);
    EXPECT_EQ((bytes(frame.begin(), frame.begin() + 7)),
              (bytes{0x55, 0x10, 0xAA, 0xD5, 0xE3, 0x02, 0x01}));
    EXPECT_TRUE(std::equal(stored.begin(), stored.end(), frame.begin() + 7));
    EXPECT_EQ(frame, frames::parameter_write(stored));

    EXPECT_EQ(params.snapshot(), stored);
    EXPECT_FALSE(params.record_changed());  // pages show it when next created
    EXPECT_EQ(events.logs, std::vector<std::string>{"Load preset file."});
}

TEST_F(PresetLoad, WithoutConnectionOnlySaysSo) {
    fs::create_directories(preset_dir());
    write_bytes(preset_dir() / "show", preset_of(numbered_block(1)));
    preset_actions actions(ctx);
    EXPECT_EQ(actions.load("show"), preset_outcome::not_connected);
    ASSERT_EQ(events.questions.size(), 1u);
    EXPECT_EQ(events.questions[0].text, "No connection.");
    EXPECT_EQ(events.questions[0].caption, "");
    EXPECT_EQ(events.questions[0].buttons, box_buttons::ok);
    EXPECT_EQ(ring.waiting(), 0u);
    EXPECT_EQ(params.snapshot(), param_block{});
}

TEST_F(PresetLoad, BadFilesLogTheirErrorAndSendNothing) {
    connect();
    fs::create_directories(preset_dir() / "folder");
    bytes good = preset_of(numbered_block(4));
    bytes short_file(good.begin(), good.end() - 1);
    bytes long_file = good;
    long_file.push_back(0);
    bytes bad_header = good;
    bad_header[1] = 0xD6;
    bytes bad_sum = good;
    bad_sum[100] ^= 0x40;
    write_bytes(preset_dir() / "short", short_file);
    write_bytes(preset_dir() / "long", long_file);
    write_bytes(preset_dir() / "header", bad_header);
    write_bytes(preset_dir() / "sum", bad_sum);

    const param_block before = numbered_block(50);
    params.replace(before);
    preset_actions actions(ctx);
    struct expect {
        const char* name;
        preset_outcome outcome;
        const char* log;
    } cases[] = {
        {"short", preset_outcome::file_error, "File error."},
        {"long", preset_outcome::file_error, "File error."},
        {"header", preset_outcome::file_error, "File error."},
        {"missing", preset_outcome::file_error, "File error."},
        {"folder", preset_outcome::file_error, "File error."},
        {"sum", preset_outcome::checksum_error, "Load file error."},
    };
    for (const expect& c : cases) {
        events.logs.clear();
        events.answers = {box_answer::yes};
        EXPECT_EQ(actions.load(c.name), c.outcome) << c.name;
        EXPECT_EQ(events.logs, std::vector<std::string>{c.log}) << c.name;
    }
    EXPECT_EQ(ring.waiting(), 0u);
    EXPECT_EQ(params.snapshot(), before);
}

TEST_F(PresetLoad, NoMeansNothingAndPathNamesAreRefused) {
    connect();
    write_bytes(work / "outside", preset_of(numbered_block(2)));
    fs::create_directories(preset_dir());
    write_bytes(preset_dir() / "show", preset_of(numbered_block(2)));
    preset_actions actions(ctx);

    events.answers = {box_answer::no};
    EXPECT_EQ(actions.load("show"), preset_outcome::declined);
    events.questions.clear();
    EXPECT_EQ(actions.load("../outside"), preset_outcome::refused);
    ASSERT_EQ(events.questions.size(), 1u);
    EXPECT_EQ(events.questions[0].caption, "File name");
    EXPECT_EQ(ring.waiting(), 0u);
    EXPECT_EQ(params.snapshot(), param_block{});
    EXPECT_TRUE(events.logs.empty());
}

TEST_F(PresetLoad, FullRingLeavesMirrorAloneAndSaysSo) {
    connect();
    fs::create_directories(preset_dir());
    write_bytes(preset_dir() / "show", preset_of(numbered_block(8)));
    const uint8_t filler[] = {0x55, 0x11, 0xAA, 0xD5, 0xE3, 0x00, 0x02, 0x01, 0xCB};
    while (ring.ring_put_frame(filler, sizeof filler) == push_status::queued) {
    }
    events.answers = {box_answer::yes};
    preset_actions actions(ctx);
    EXPECT_EQ(actions.load("show"), preset_outcome::ring_full);
    EXPECT_EQ(params.snapshot(), param_block{});
    ASSERT_EQ(events.logs.size(), 1u);
    EXPECT_NE(events.logs[0], "Load preset file.");
}

using PresetDelete = preset_fixture;

TEST_F(PresetDelete, AsksThenDeletesAndRelistsWithFirstSelected) {
    fs::create_directories(preset_dir());
    for (const char* n : {"c", "a", "b"})
        write_bytes(preset_dir() / n, preset_of(param_block{}));
    preset_actions actions(ctx);
    preset_picker picker;
    picker.open(actions.listing());
    picker.close(1);
    ASSERT_EQ(picker.selected_name(), "b");

    events.answers = {box_answer::no};
    EXPECT_EQ(actions.remove(picker.selected_name()), preset_outcome::declined);
    EXPECT_TRUE(fs::exists(preset_dir() / "b"));

    events.answers = {box_answer::yes};
    EXPECT_EQ(actions.remove(picker.selected_name()), preset_outcome::done);
    EXPECT_EQ(events.questions.back().text, "Delete b ?");
    EXPECT_EQ(events.questions.back().caption, "Delete File");
    EXPECT_EQ(events.logs, std::vector<std::string>{"File deleted."});
    picker.relist_after_delete(actions.listing());
    EXPECT_EQ(picker.names(), (std::vector<std::string>{"a", "c"}));
    EXPECT_EQ(picker.selected_name(), "a");
    EXPECT_EQ(picker.buttons(), (preset_buttons{true, true, true}));
}

TEST_F(PresetDelete, MissingFilesFoldersAndPathsAreLeftAloneWithoutAQuestion) {
    fs::create_directories(preset_dir() / "folder");
    write_bytes(work / "outside", bytes{1});
    preset_actions actions(ctx);
    EXPECT_EQ(actions.remove("gone"), preset_outcome::missing);
    EXPECT_EQ(actions.remove("folder"), preset_outcome::missing);
    EXPECT_TRUE(events.questions.empty());
    EXPECT_EQ(actions.remove("../outside"), preset_outcome::refused);
    EXPECT_TRUE(fs::exists(work / "outside"));
    EXPECT_TRUE(fs::is_directory(preset_dir() / "folder"));
    EXPECT_TRUE(events.logs.empty());
}

TEST_F(PresetDelete, DeletingTheLastPresetDisablesTheButtons) {
    fs::create_directories(preset_dir());
    write_bytes(preset_dir() / "only", preset_of(param_block{}));
    preset_actions actions(ctx);
    preset_picker picker;
    picker.open(actions.listing());
    picker.close(0);
    events.answers = {box_answer::yes};
    ASSERT_EQ(actions.remove(picker.selected_name()), preset_outcome::done);
    picker.relist_after_delete(actions.listing());
    EXPECT_TRUE(picker.names().empty());
    EXPECT_EQ(picker.selected_name(), "");
    EXPECT_EQ(picker.buttons(), preset_buttons{});
}

using PresetListing = preset_fixture;

// Sorted as the sorted drop-down sorts (case folded, ties by code point), without
// folders and without the tool's own temporary files.
TEST_F(PresetListing, SortedAsTheDropDownPlainFilesOnly) {
    preset_actions actions(ctx);
    EXPECT_TRUE(actions.listing().empty());
    fs::create_directories(preset_dir() / "sub-folder");
    for (const char* n : {"Zeta", "alpha", "Beta", "beta", ".hidden", "\xc3\x89t\xc3\xa9",
                          "\xc3\xa9"
                          "cole",
                          ".preset-99999999-0.tmp", ".preset-1-2.tmp"})
        write_bytes(preset_dir() / n, bytes{0});
    fs::create_symlink("sub-folder", preset_dir() / "link-to-folder");
    EXPECT_EQ(actions.listing(),
              (std::vector<std::string>{".hidden", "alpha", "Beta", "beta", "Zeta",
                                        "\xc3\xa9"
                                        "cole",
                                        "\xc3\x89t\xc3\xa9"}));
}

// A temporary file an interrupted save left behind goes at the next save; one that
// a running save may still be writing stays.
TEST_F(PresetListing, SaveRemovesTheTemporaryFilesOfEndedSaves) {
    fs::create_directories(preset_dir());
    const std::string stale = ".preset-99999999-0.tmp";  // beyond any process id
    const std::string live = ".preset-" + std::to_string(::getpid()) + "-999.tmp";
    write_bytes(preset_dir() / stale, bytes{1});
    write_bytes(preset_dir() / live, bytes{2});
    write_bytes(preset_dir() / ".preset-notes.tmp", bytes{3});
    preset_actions actions(ctx);
    ASSERT_EQ(actions.save("hall"), preset_outcome::done);
    EXPECT_FALSE(fs::exists(preset_dir() / stale));
    EXPECT_TRUE(fs::exists(preset_dir() / live));
    EXPECT_TRUE(fs::exists(preset_dir() / ".preset-notes.tmp"));
    EXPECT_EQ(actions.listing(), std::vector<std::string>{"hall"});
}

TEST(PresetPicker, ButtonsFollowTheDropDown) {
    preset_picker picker;
    EXPECT_EQ(picker.buttons(), preset_buttons{});
    picker.open({"a", "b"});
    picker.close(1);
    EXPECT_EQ(picker.buttons(), (preset_buttons{true, true, true}));
    EXPECT_EQ(picker.selected_name(), "b");
    // Opening empties the list, so closing without a choice disables all three.
    picker.open({"a", "b"});
    EXPECT_EQ(picker.selected_name(), "");
    picker.close(std::nullopt);
    EXPECT_EQ(picker.buttons(), preset_buttons{});
    // A choice past the end is no choice.
    picker.open({"a"});
    picker.close(5);
    EXPECT_EQ(picker.buttons(), preset_buttons{});
    EXPECT_EQ(picker.selected_name(), "");
}

}  // namespace
}  // namespace tavrin::testing
