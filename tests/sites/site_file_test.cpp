// Site files: what a sound file gives, and every refusal with its line and column.
#include <gtest/gtest.h>

#include <map>

#include "presets/preset_file.h"
#include "sites/site_file.h"

namespace tavrin {
namespace {

// Preset files by path, as the site's folder would hold them.
struct preset_shelf {
    std::map<std::string, std::vector<uint8_t>> files;
    void put(const std::string& path, const param_block& block) {
        const preset_bytes b = build_preset_file(block);
        files[path] = std::vector<uint8_t>(b.begin(), b.end());
    }
    preset_reader reader() const {
        return [this](const std::string& path) -> std::optional<std::vector<uint8_t>> {
            const auto it = files.find(path);
            if (it == files.end())
                return std::nullopt;
            return it->second;
        };
    }
};

site_read read(const std::string& text, const preset_shelf& shelf) {
    return read_site(text, "venue/hall.toml", shelf.reader());
}

TEST(site_file, a_sound_file_gives_each_amplifier_in_the_files_order) {
    preset_shelf shelf;
    shelf.put("venue/main.preset", param_block{});
    shelf.put("/abs/side", param_block{});
    const site_read r = read(R"([amp."Stage-R"]
preset = "main.preset"
settings = { master = 80, "ch1.level" = -3.0, ch2.level = -1.5, mute = true, route = "swap" }

[amp.Stage-L]
preset = "/abs/side"
location = "FOH vänster"

[amp.Stage-L.settings]
ch1.peq2.gain = 3.5
)",
                             shelf);
    ASSERT_TRUE(r.ok()) << problem_line("s", r.problems[0]);
    ASSERT_EQ(r.site.amps.size(), 2u);
    const site_amp& right = r.site.amps[0];
    EXPECT_EQ(right.name, "Stage-R");
    EXPECT_EQ(right.preset_path, "venue/main.preset");
    EXPECT_FALSE(right.location);
    std::vector<std::string> words;
    for (const setting_request& q : right.requests())
        words.push_back(q.def->name + "=" + q.value);
    EXPECT_EQ(words, (std::vector<std::string>{"master=80", "ch1.level=-3", "ch2.level=-1.5",
                                               "mute=on", "route=swap"}));
    const site_amp& left = r.site.amps[1];
    EXPECT_EQ(left.preset_path, "/abs/side");
    EXPECT_EQ(left.location, "FOH vänster");
    ASSERT_EQ(left.settings.size(), 1u);
    EXPECT_EQ(left.settings[0].request.def->name, "ch1.peq2.gain");
    EXPECT_EQ(left.settings[0].at.line, 10u);
}

// Each bad file is refused with the place of the fault and what is wrong.
TEST(site_file, every_fault_is_told_with_its_line_and_column) {
    preset_shelf shelf;
    shelf.put("venue/p", param_block{});
    std::vector<uint8_t> bad_sum(shelf.files["venue/p"]);
    bad_sum[200] ^= 1;
    shelf.files["venue/bad-sum"] = bad_sum;
    shelf.files["venue/short"] = std::vector<uint8_t>(100, 0x55);
    const struct {
        const char* text;
        const char* expected;  // LINE:COLUMN: and a part of the message
    } cases[] = {
        {"[amp.\"A-1\"]\npreset = \"p\"\nsettings = { master = 80,, }\n", "3:26: "},
        {"[amp.A-1]\npreset = \"p\"\ncolour = \"red\"\n", "3:1: unknown key 'colour'"},
        {"title = \"hall\"\n[amp.A-1]\npreset = \"p\"\n", "1:1: unknown key 'title'"},
        {"[amp.A-1]\npreset = \"p\"\nsettings = { loudness = 3 }\n",
         "3:14: unknown setting 'loudness'"},
        {"[amp.A-1]\npreset = \"p\"\nsettings = { ch1.levle = 3 }\n",
         "3:14: unknown setting 'ch1.levle'"},
        {"[amp.A-1]\npreset = \"p\"\nsettings = { master = 150 }\n",
         "3:23: master = 150 is out of range (0 to 100)"},
        {"[amp.A-1]\npreset = \"p\"\nsettings = { \"ch1.level\" = 0.3 }\n",
         "3:28: ch1.level = 0.3 is out of range"},
        {"[amp.A-1]\npreset = \"p\"\nsettings = { ch1.hpf.freq = 5 }\n",
         "3:29: ch1.hpf.freq = 5 is out of range"},
        {"[amp.A-1]\npreset = \"p\"\nsettings = { master = \"loud\" }\n",
         "3:23: master needs a number"},
        {"[amp.A-1]\npreset = \"p\"\nsettings = { mute = 2024-01-01 }\n",
         "3:21: mute takes a number, a word or true/false"},
        {"[amp.A-1]\npreset = \"p\"\nsettings = { \"ch1.level\" = -3, ch1.level = -4 }\n",
         "3:32: ch1.level is given twice"},
        {"[amp.A-1]\nlocation = \"x\"\n", "1:6: amplifier 'A-1' names no preset"},
        {"[amp.A-1]\npreset = \"gone\"\n", "2:10: preset 'gone': cannot read venue/gone"},
        {"[amp.A-1]\npreset = \"bad-sum\"\n", "2:10: preset 'bad-sum': Load file error."},
        {"[amp.A-1]\npreset = \"short\"\n", "2:10: preset 'short': File error."},
        {"[amp.A-1]\npreset = 5\n", "2:10: preset must be the preset file's name"},
        {"[amp.A-1]\npreset = \"p\"\nlocation = \"a location far too long\"\n", "3:12: location:"},
        {"[amp.\"Stage L\"]\npreset = \"p\"\n", "1:6: amplifier 'Stage L': a device name holds"},
        {"[amp.Stage-L]\npreset = \"p\"\n[amp.stage-l]\npreset = \"p\"\n",
         "3:6: amplifier 'stage-l' is named twice (first at 1:6"},
        {"amp = 3\n", "1:7: amp must be tables"},
        {"[amp]\nA-1 = \"p\"\n", "2:7: amplifier 'A-1' must be a table"},
        {"# nothing\n", "hall.toml: names no amplifier"},
        // Faults the parser itself once met with undefined behaviour (sites/toml.h).
        {"[amp.Scène]\npreset = \"p\"\n", "1:8: Error while parsing table header: expected ']'"},
        {"[amp.A-1]\npreset = 12\"é\"\n", "2:12: Error while parsing decimal integer"},
        {"[\n", "1:2: Error while parsing key"},
    };
    for (const auto& c : cases) {
        const site_read r = read(c.text, shelf);
        ASSERT_FALSE(r.ok()) << c.text;
        const std::string line = problem_line("venue/hall.toml", r.problems.front());
        EXPECT_NE(line.find(c.expected), std::string::npos) << c.text << "\n" << line;
        if (std::string(c.expected).find(':') < 4) {
            EXPECT_EQ(line.rfind("venue/hall.toml:", 0), 0u) << line;
        }
    }
}

// A value the preset holds already is no fault, even one the page could not give;
// a value rounded to its step is taken as `set` takes it.
TEST(site_file, held_and_rounded_values_are_in_range) {
    preset_shelf shelf;
    param_block block{};
    block[9] = 0x4E;  // CH1 low-pass 20000 Hz, beyond the page's 16000
    block[10] = 0x20;
    shelf.put("venue/p", block);
    const site_read r = read(
        "[amp.A-1]\npreset = \"p\"\nsettings = { master = 73, \"ch1.lpf.freq\" = 20000, "
        "\"ch1.level\" = -3.75 }\n",
        shelf);
    EXPECT_TRUE(r.ok()) << problem_line("s", r.problems.front());
}

}  // namespace
}  // namespace tavrin
