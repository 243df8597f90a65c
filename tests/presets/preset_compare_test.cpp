// Comparing a unit or a file with a file: a change of any one of the keys a
// preset file holds shows as exactly that difference, and nothing else.
#include <set>

#include "presets/preset_compare.h"
#include "tests/presets/preset_fixture.h"

namespace kp {
namespace {

using PresetComparison = test::PresetTest;

// A preset file holding values, one per presetKeys() entry.
std::string presetText(const std::vector<std::optional<int>>& values) {
  std::string text, section;
  const auto& keys = presetKeys();
  for (std::size_t i = 0; i < keys.size(); ++i) {
    if (keys[i].section != section) text += "[" + (section = keys[i].section) + "]\r\n";
    text += keys[i].key + "=" + (values[i] ? std::to_string(*values[i]) : std::string()) + "\r\n";
  }
  return text;
}

TEST_F(PresetComparison, ChangingAnyOneKeyIsExactlyThatOneDifference) {
  const auto& keys = presetKeys();
  // Nine device settings, two masters, six 5.1 levels, then three user
  // slots of 31 music bands and of 31 microphone bands with 6 effect levels.
  ASSERT_EQ(keys.size(), 9u + 2 + 6 + 3 * 31 + 3 * 37);
  link(4);
  saveCommand(file("unit.dat"));
  PresetContents unit;
  std::string error;
  ASSERT_TRUE(readPresetContents(file("unit.dat"), &unit, &error)) << error;
  ASSERT_EQ(unit.problemLines(true), std::vector<std::string>{});
  const PresetContents same = presetContentsOfText(presetText(unit.values));
  EXPECT_TRUE(comparePresets(same, unit, true).empty());

  std::set<std::pair<std::string, std::string>> places;
  for (std::size_t i = 0; i < keys.size(); ++i) {
    const PresetKey& k = keys[i];
    places.insert({k.section, k.key});
    auto values = unit.values;
    values[i] = *values[i] < k.max ? *values[i] + 1 : k.min;
    const PresetContents file = presetContentsOfText(presetText(values));
    for (const PresetContents* other : {static_cast<const PresetContents*>(&unit), &same}) {
      const auto d = comparePresets(file, *other, true);
      ASSERT_EQ(d.size(), 1u) << k.section << "/" << k.key;
      EXPECT_EQ(d[0].key, i);
      EXPECT_EQ(d[0].first, values[i]);
      EXPECT_EQ(d[0].second, unit.values[i]);
      // A unit of the short dump does not report the 5.1 or ultra-low keys.
      EXPECT_EQ(comparePresets(file, *other, false).size(), k.fullModelOnly ? 0u : 1u) << k.key;
    }
  }
  EXPECT_EQ(places.size(), keys.size()) << "two keys share a place in the file";
}

}  // namespace
}  // namespace kp
