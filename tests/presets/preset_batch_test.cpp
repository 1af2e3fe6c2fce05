// The preset actions as tavrin-cli runs them: nobody to ask, so a Yes must be given
// beforehand; the lines they log and the boxes they show are handed back.
#include "presets/preset_batch.h"

#include <gtest/gtest.h>

#include "preset_fixture.h"
#include "presets/preset_file.h"
#include "presets/summary.h"

namespace tavrin::testing {
namespace {

param_block numbered_block(uint8_t seed) {
    param_block b{};
    for (size_t i = 0; i < b.size(); ++i)
        b[i] = static_cast<uint8_t>(i * 7 + seed);
    return b;
}

bytes preset_of(const param_block& b) {
    const preset_bytes f = build_preset_file(b);
    return bytes(f.begin(), f.end());
}

using PresetBatch = preset_fixture;

TEST_F(PresetBatch, QuestionsAreRefusedWithoutYesAndNothingChanges) {
    params.replace(numbered_block(1));
    ASSERT_EQ(run_preset_action(ctx, batch_action::save_as, "hall", false).outcome,
              preset_outcome::done);

    params.replace(numbered_block(2));
    const batch_report over = run_preset_action(ctx, batch_action::save_as, "hall", false);
    EXPECT_EQ(over.outcome, preset_outcome::declined);
    ASSERT_EQ(over.refused.size(), 1u);
    EXPECT_EQ(over.refused[0].text, "Overwrite hall ?");
    EXPECT_TRUE(over.logs.empty());
    EXPECT_EQ(read_bytes(preset_dir() / "hall"), preset_of(numbered_block(1)));

    connect();
    const batch_report load = run_preset_action(ctx, batch_action::load, "hall", false);
    EXPECT_EQ(load.outcome, preset_outcome::declined);
    ASSERT_EQ(load.refused.size(), 1u);
    EXPECT_EQ(load.refused[0].text, "Load hall ?");
    EXPECT_EQ(ring.waiting(), 0u);
    EXPECT_EQ(params.snapshot(), numbered_block(2));

    const batch_report del = run_preset_action(ctx, batch_action::remove, "hall", false);
    EXPECT_EQ(del.outcome, preset_outcome::declined);
    EXPECT_TRUE(std::filesystem::exists(preset_dir() / "hall"));
    // The caller's own port saw none of it.
    EXPECT_TRUE(events.questions.empty());
    EXPECT_TRUE(events.logs.empty());
}

TEST_F(PresetBatch, YesAnswersTheQuestionsAndTheLogLinesComeBack) {
    params.replace(numbered_block(3));
    run_preset_action(ctx, batch_action::save_as, "hall", true);
    params.replace(numbered_block(4));
    const batch_report over = run_preset_action(ctx, batch_action::save_as, "hall", true);
    EXPECT_EQ(over.outcome, preset_outcome::done);
    EXPECT_EQ(over.logs, std::vector<std::string>{"File saved."});
    EXPECT_EQ(read_bytes(preset_dir() / "hall"), preset_of(numbered_block(4)));

    connect();
    params.replace(param_block{});
    const batch_report load = run_preset_action(ctx, batch_action::load, "hall", true);
    EXPECT_EQ(load.outcome, preset_outcome::done);
    EXPECT_EQ(load.logs, std::vector<std::string>{"Load preset file."});
    EXPECT_EQ(ring.waiting(), 1u);
    EXPECT_EQ(params.snapshot(), numbered_block(4));

    const batch_report del = run_preset_action(ctx, batch_action::remove, "hall", true);
    EXPECT_EQ(del.outcome, preset_outcome::done);
    EXPECT_EQ(del.logs, std::vector<std::string>{"File deleted."});
    EXPECT_FALSE(std::filesystem::exists(preset_dir() / "hall"));
}

TEST_F(PresetBatch, InformingBoxesAndBadFilesAreReported) {
    const batch_report offline = run_preset_action(ctx, batch_action::load, "hall", true);
    EXPECT_EQ(offline.outcome, preset_outcome::not_connected);
    ASSERT_EQ(offline.notices.size(), 1u);
    EXPECT_EQ(offline.notices[0].text, "No connection.");

    const batch_report path = run_preset_action(ctx, batch_action::save_as, "../hall", true);
    EXPECT_EQ(path.outcome, preset_outcome::refused);
    ASSERT_EQ(path.notices.size(), 1u);
    EXPECT_FALSE(path.notices[0].text.empty());
    EXPECT_FALSE(std::filesystem::exists(work / "hall"));

    connect();
    std::filesystem::create_directories(preset_dir());
    bytes broken = preset_of(numbered_block(5));
    broken[100] ^= 1;
    write_bytes(preset_dir() / "broken", broken);
    const batch_report bad = run_preset_action(ctx, batch_action::load, "broken", true);
    EXPECT_EQ(bad.outcome, preset_outcome::checksum_error);
    EXPECT_EQ(bad.logs, std::vector<std::string>{"Load file error."});
    EXPECT_EQ(ring.waiting(), 0u);
}

TEST(BlockDifferences, NamesTheFieldsThatDifferButNotTheFirmwareDate) {
    const param_block a = numbered_block(9);
    param_block b = a;
    EXPECT_TRUE(block_differences(a, b).empty());

    // The write keeps the amplifier's own date.
    b[field_def(param_field::fw_year).offset] ^= 0xFF;
    b[field_def(param_field::fw_hour).offset] ^= 0xFF;
    EXPECT_TRUE(block_differences(a, b).empty());

    b[field_def(param_field::location).offset + 15] ^= 1;
    b[field_def(param_field::master_volume).offset] ^= 1;
    EXPECT_EQ(block_differences(a, b), (std::vector<std::string>{"master_volume", "location"}));

    // A byte that no field names is still a difference.
    std::vector<bool> named(amp_params_size, false);
    for (const param_field_def& f : param_field_table) {
        for (size_t i = f.offset; i < size_t{f.offset} + size_t{f.width} * f.count; ++i)
            named[i] = true;
    }
    size_t spare = 0;
    while (spare < field_def(param_field::fw_year).offset && named[spare])
        ++spare;
    ASSERT_LT(spare, field_def(param_field::fw_year).offset);
    param_block c = a;
    c[spare] ^= 1;
    EXPECT_EQ(block_differences(a, c), std::vector<std::string>{"byte " + std::to_string(spare)});
}

TEST(SummaryLine, LabelWithoutColonChannelAndText) {
    const std::vector<summary_field> fields = summary_fields(param_block{}, "");
    std::vector<std::string> lines;
    for (const summary_field& f : fields)
        lines.push_back(summary_line(f));
    EXPECT_EQ(lines.front(), "Device Name: No Device");
    EXPECT_NE(std::find(lines.begin(), lines.end(), "Gain(dB) CH2: -25.0dB"), lines.end());
    EXPECT_NE(std::find(lines.begin(), lines.end(), "Set 5 CH1: Disable"), lines.end());
    EXPECT_NE(std::find(lines.begin(), lines.end(), "Current Limit Release Time: 0 sec"),
              lines.end());
    EXPECT_EQ(lines.size(), fields.size());
}

}  // namespace
}  // namespace tavrin::testing
