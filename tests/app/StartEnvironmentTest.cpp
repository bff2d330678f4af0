// The program's start keeps the terminal quiet: no JACK client noise when the
// sound back end looks for devices without a JACK server.
#include "TempDir.h"
#include "app/StartEnvironment.h"
#include "engine/Engine.h"

#include <QFileInfo>

#include <gtest/gtest.h>

#include <unistd.h>

#include <cstdio>
#include <fstream>
#include <sstream>
#include <string>

namespace {

// Runs f with the standard error stream going to a file; returns what f wrote.
template <typename F>
std::string StandardErrorOf(F f) {
  TempDir dir;
  const std::string path = dir.file("stderr.txt");
  std::fflush(stderr);
  const int saved = dup(2);
  FILE* out = std::fopen(path.c_str(), "w");
  dup2(fileno(out), 2);
  f();
  std::fflush(stderr);
  dup2(saved, 2);
  close(saved);
  std::fclose(out);
  std::ifstream in(path);
  std::stringstream text;
  text << in.rdbuf();
  return text.str();
}

TEST(StartEnvironment, LookingForSoundDevicesPrintsNothing) {
  djvp::QuietSoundServers();
  const std::string printed = StandardErrorOf([] { engine::RescanDevices(); });
  EXPECT_EQ(printed.find("ack"), std::string::npos) << printed;         // JACK, jack
  EXPECT_EQ(printed.find("server"), std::string::npos) << printed;
}

TEST(StartEnvironment, ARuntimeFolderIsProvidedWhenTheSessionHasNone) {
  const QByteArray saved = qgetenv("XDG_RUNTIME_DIR");
  qunsetenv("XDG_RUNTIME_DIR");
  djvp::EnsureRuntimeFolder();
  const QString folder = qEnvironmentVariable("XDG_RUNTIME_DIR");
  EXPECT_FALSE(folder.isEmpty());
  EXPECT_TRUE(QFileInfo(folder).isDir());
  EXPECT_EQ(QFileInfo(folder).permissions() & (QFileDevice::ReadGroup | QFileDevice::ReadOther), 0);
  if (saved.isEmpty()) qunsetenv("XDG_RUNTIME_DIR"); else qputenv("XDG_RUNTIME_DIR", saved);
}

}  // namespace
