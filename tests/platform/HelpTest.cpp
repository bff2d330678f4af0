#include "TempDir.h"
#include "StringTable.h"
#include "platform/Help.h"
#include "platform/Paths.h"

#include <QApplication>
#include <QFile>
#include <QTextBrowser>
#include <QUrl>

#include <filesystem>
#include <vector>

#include <gtest/gtest.h>

using namespace djvp;

namespace {

class HelpPages : public ::testing::Test {
 protected:
  void SetUp() override {
    std::filesystem::create_directories(dir.path() / "help" / "en");
    std::filesystem::create_directories(dir.path() / "help" / "nl");
    TempDir::Write(dir.file("help/en/introduction.htm"), std::string("<html>en</html>"));
    TempDir::Write(dir.file("help/nl/introduction.htm"), std::string("<html>nl</html>"));
    TempDir::Write(dir.file("help/en/mixing.htm"), std::string("<html>en</html>"));
    TempDir::Write(dir.file("help/secret.htm"), std::string("x"));
    SetProgramFolder(base);
    old = SetHelpHook([this](const QUrl& page) {
      opened.push_back(page);
      return true;
    });
  }
  void TearDown() override {
    SetHelpHook(old);
    SetProgramFolder({});
    LangOffset = 0;
  }
  TempDir dir;
  QString base = QString::fromStdString(dir.path().string());
  std::vector<QUrl> opened;
  HelpHook old;
};

}  // namespace

TEST_F(HelpPages, PageOfTheCurrentLanguageOpens) {
  struct Case {
    int32_t offset;
    QString topic, page;
  } cases[] = {
      {0, "introduction.htm", "/help/en/introduction.htm"},
      {1000, "introduction.htm", "/help/nl/introduction.htm"},
      {1000, "mixing.htm", "/help/en/mixing.htm"},  // no Dutch page: the English one
  };
  for (const auto& c : cases) {
    LangOffset = c.offset;
    opened.clear();
    EXPECT_TRUE(ShowHelp(c.topic));
    ASSERT_EQ(opened.size(), 1u);
    EXPECT_EQ(opened[0], QUrl::fromLocalFile(base + c.page));
  }
  LangOffset = 0;
  opened.clear();
  EXPECT_TRUE(ShowHelp());
  ASSERT_EQ(opened.size(), 1u);
  EXPECT_EQ(opened[0], QUrl::fromLocalFile(base + "/help/en/introduction.htm"));
}

TEST_F(HelpPages, MissingPagesAndPathsOutOfTheFolderOpenNothing) {
  for (const char* topic : {"missing.htm", "../secret.htm", "", "../../etc/passwd", ".hidden"}) {
    EXPECT_FALSE(ShowHelp(topic)) << topic;
    EXPECT_TRUE(HelpPageUrl(topic).isEmpty()) << topic;
  }
  EXPECT_TRUE(opened.empty());
}

TEST(HelpShipped, IntroductionExistsInBothLanguages) {
  for (const char* lang : {"en", "nl"}) {
    QFile page(QStringLiteral(DJVP_TEST_SOURCE_DIR "/resources/help/%1/introduction.htm").arg(lang));
    ASSERT_TRUE(page.open(QIODevice::ReadOnly)) << lang;
    const QString text = QString::fromUtf8(page.readAll());
    EXPECT_TRUE(text.contains(QStringLiteral("lang=\"%1\"").arg(lang)));
    EXPECT_TRUE(text.contains("F1"));
    EXPECT_TRUE(QFile::exists(QStringLiteral(DJVP_TEST_SOURCE_DIR "/resources/help/%1/style.css").arg(lang)));
  }
}

TEST_F(HelpPages, TheProgramsOwnViewerShowsThePage) {
  SetHelpHook({});
  ASSERT_TRUE(ShowHelp());
  QTextBrowser* viewer = nullptr;
  for (QWidget* w : QApplication::topLevelWidgets())
    if (w->objectName() == QStringLiteral("helpViewer")) viewer = qobject_cast<QTextBrowser*>(w);
  ASSERT_NE(viewer, nullptr);
  EXPECT_EQ(viewer->source(), QUrl::fromLocalFile(base + "/help/en/introduction.htm"));
  EXPECT_EQ(viewer->toPlainText(), "en");
  // Asked again, the same window shows the other language's page.
  LangOffset = 1000;
  ASSERT_TRUE(ShowHelp());
  EXPECT_EQ(viewer->toPlainText(), "nl");
  delete viewer;
}
