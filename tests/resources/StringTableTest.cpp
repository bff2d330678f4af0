#include "StringTable.h"

#include <gtest/gtest.h>

#include <fstream>
#include <set>
#include <sstream>

using namespace djvp;

namespace {
struct LangGuard {
  int32_t saved = LangOffset;
  ~LangGuard() { LangOffset = saved; }
};
}  // namespace

TEST(StringTable, ExactEnglishAndGivenDutchTexts) {
  LangGuard g;
  struct Case {
    int id;
    const char* en;
    const char* nl;  // null: no Dutch text fixed in advance
  } cases[] = {
      {6, "Delete the selected file from the  Player", nullptr},
      {38, "Calculated BPM in the 'Search for Songs' ", nullptr},
      {39, "Recalculated  BPM (real time if you change the Tempo)", nullptr},
      {194, "Create a  New Indexfile", nullptr},
      {236, "Can't initialize the device for  the Headphone",
       "Kan het apparaat voor de Hoofdtelefoon niet initialiseren"},
      {197, "Select a new Skin for dj VORLAN", "Selecteer een nieuwe Skin voor dj VORLAN"},
      {162, "Equalizer", nullptr},
      {500, "Equilizer", nullptr},
      {212, "Can't play stream", "Kan de stream niet spelen"},
      {214, "Can't create stream for the Headphone", "Kan de stream voor de Hoodtelefoon niet creëeren"},
      {218, "No mixer found", "Geen mixer gevonden"},
      {537, "OFF", "UIT"},
      {552, "ON", "AAN"},
      {563, "Current Time :", "Huidige Tijd :"},
      {59, "Mixer Settings", "Mixer Settings"},
      {570, "Press F1 for Help", "Duw op F1 voor Hulp"},
  };
  for (const auto& c : cases) {
    LangOffset = 0;
    EXPECT_EQ(Tr(c.id), c.en) << c.id;
    LangOffset = 1000;
    if (c.nl) {
      EXPECT_EQ(Tr(c.id), c.nl) << c.id;
    }
    EXPECT_FALSE(Tr(c.id).empty()) << c.id;
  }
}

TEST(StringTable, EveryEntryExistsInBothLanguages) {
  // Every id of the table file has a non-empty English and Dutch text, and
  // ids outside the two ranges do not exist.
  std::ifstream in(DJVP_TEST_SOURCE_DIR "/resources/strings.tsv");
  ASSERT_TRUE(in);
  std::string line;
  std::getline(in, line);
  std::set<int> ids;
  while (std::getline(in, line)) {
    std::istringstream row(line);
    std::string id, en, nl;
    ASSERT_TRUE(std::getline(row, id, '\t') && std::getline(row, en, '\t') && std::getline(row, nl)) << line;
    const int n = std::stoi(id);
    EXPECT_TRUE(ids.insert(n).second) << "duplicate id " << n;
    EXPECT_EQ(LoadResString(n), en);
    EXPECT_EQ(LoadResString(n + 1000), nl);
    EXPECT_FALSE(en.empty());
    EXPECT_FALSE(nl.empty());
  }
  EXPECT_GT(ids.size(), 250u);
  EXPECT_TRUE(ids.count(1) && ids.count(570));
  EXPECT_FALSE(ids.count(49));
  EXPECT_THROW(LoadResString(49), MissingString);
  EXPECT_THROW(LoadResString(2570), MissingString);
  EXPECT_FALSE(FindResString(0).has_value());
}

TEST(StringTable, OffsetOverflowFailsTheLookup) {
  LangGuard g;
  LangOffset = INT32_MAX;
  EXPECT_THROW(Tr(1), MissingString);
}

TEST(StringTable, FindTrNeverThrows) {
  LangGuard g;
  LangOffset = 1000;
  EXPECT_EQ(FindTr(212), LoadResString(1212));
  EXPECT_FALSE(FindTr(49).has_value());
  LangOffset = INT32_MAX;
  EXPECT_FALSE(FindTr(1).has_value());
}

// Every name the program's code gives an entry stands for an entry of the
// table, in both languages.
TEST(StringTable, NamedEntriesExist) {
  std::ifstream in(DJVP_TEST_SOURCE_DIR "/resources/StringIds.h");
  ASSERT_TRUE(in);
  std::string line;
  int named = 0;
  while (std::getline(in, line)) {
    const auto k = line.find("kStr");
    const auto eq = line.find(" = ");
    if (k == std::string::npos || eq == std::string::npos) continue;
    const int64_t n = std::stoll(line.substr(eq + 3));
    EXPECT_TRUE(FindResString(n).has_value()) << line;
    EXPECT_TRUE(FindResString(n + 1000).has_value()) << line;
    ++named;
  }
  EXPECT_GT(named, 0);
}
