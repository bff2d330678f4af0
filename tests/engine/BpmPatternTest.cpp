// Tempo detection on drum patterns of a sox-made kit (BpmPatterns.h) at
// tempos from 60 to 190 BPM in the default range. Each pattern is 20 seconds
// long: enough for the choice between a tempo and its double or half, and
// quicker than the player's 30 (the benchmark measures those).
#include <gtest/gtest.h>

#include <cmath>
#include <string>

#include "BpmPatterns.h"
#include "engine/bpm/BpmDetect.h"

using namespace bpmtest;

TEST(BpmPatterns, EachPatternGivesItsOwnTempoFrom60To190Bpm) {
  DrumKit kit;
  ASSERT_TRUE(kit.Load(std::string(DJVP_TEST_FIXTURES) + "/bpm"));
  for (Pattern pattern : kPatterns) {
    for (double tempo : kPatternTempos) {
      SCOPED_TRACE(PatternCaseName(pattern, tempo));
      const std::vector<float> samples = MakePattern(kit, pattern, tempo, 20);
      const float bpm = engine::bpm::DetectBpm(samples.data(), samples.size(), kit.rate);
      if (pattern == Pattern::kBreakbeat && tempo < 100) {
        // Every hit of this breakbeat lies on an eighth note, and two of its
        // three kicks fall between the beats: at these tempos it is as much
        // a half-time beat at twice the tempo, and either is taken.
        EXPECT_TRUE(std::fabs(bpm - tempo) <= 0.5 || std::fabs(bpm - 2 * tempo) <= 0.5) << bpm;
      } else {
        // A kick on every beat is the beat, whatever the hats do between
        // the kicks; a snare between the kicks (the backbeat pattern above
        // 120 BPM) makes the faster level the beat.
        EXPECT_NEAR(bpm, tempo, 0.5);
      }
    }
  }
}
