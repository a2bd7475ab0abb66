#include <gtest/gtest.h>

#include <filesystem>

#include "resources/data_object.h"
#include "resources/file_utils.h"
#include "support/test_support.h"

using Strings = std::vector<std::string>;

TEST(SplitString, KeepsInnerEmptyPiecesButNoTrailingOne) {
  EXPECT_EQ(splitString("a b  c", ' '), (Strings{"a", "b", "", "c"}));
  EXPECT_EQ(splitString("a\n\nb", '\n'), (Strings{"a", "", "b"}));
  EXPECT_EQ(splitString("a\\b\\", '\\'), (Strings{"a", "b"}));
  EXPECT_EQ(splitString("", ' '), Strings{});
  EXPECT_EQ(splitString("\\", '\\'), Strings{""});
  EXPECT_EQ(splitString("x", ','), Strings{"x"});
}

TEST(PathPieces, FileNameAndDirectoryUseBackslashesOnly) {
  EXPECT_EQ(fileNameOf("demosrc\\norde\\data\\bg.glsl"), "bg.glsl");
  EXPECT_EQ(fileNameOf("bg.glsl"), "bg.glsl");
  EXPECT_EQ(fileNameOf("data\\"), "");
  EXPECT_EQ(fileNameOf("a/b.glsl"), "a/b.glsl");  // a slash is no separator
  EXPECT_EQ(directoryOf("demosrc\\norde\\data\\bg.glsl"), "demosrc\\norde\\data\\");
  EXPECT_EQ(directoryOf("bg.glsl"), "");
  EXPECT_EQ(directoryOf("..\\data\\bg.glsl"), "data\\");
  EXPECT_EQ(directoryOf("my.dir\\bg.glsl"), "");
  EXPECT_EQ(directoryOf("C:\\demo\\data\\s.glsl"), "C:\\demo\\data\\");
  EXPECT_EQ(directoryOf("data\\noext"), "data\\noext\\");
  EXPECT_EQ(osPath("demosrc\\norde\\data"), "demosrc/norde/data");
}

TEST(ListDirectory, SubstringMatchesInByteOrderOncePerExtension) {
  TempDir dir;
  std::filesystem::create_directory("dir");
  for (const char* name : {"b.png", "a.jpeg", "x.png.hdr", "backup.png.old", "A.PNG", "notes.txt",
                           "Z.jpg"}) {
    writeFile(std::string("dir/") + name, "");
  }
  std::filesystem::create_directory("dir/sub.png");
  EXPECT_EQ(listDirectory(textureExtensions, "dir"),
            (Strings{"dir\\Z.jpg", "dir\\a.jpeg", "dir\\b.png", "dir\\backup.png.old",
                     "dir\\sub.png", "dir\\x.png.hdr", "dir\\x.png.hdr"}));
  EXPECT_EQ(countDirectoryEntries("dir"), 8);
  EXPECT_EQ(countDirectoryEntries("missing"), 0);
  EXPECT_EQ(listDirectory(textureExtensions, "missing"), Strings{});
}

TEST(ListDirectory, HostileDirectoryNamesListAndExecuteNothing) {
  TempDir dir;
  const std::string hostile = "we ird \"q\" $(touch pwned) ; touch pwned2 `x`";
  std::filesystem::create_directory(hostile);
  writeFile(hostile + "/s.glsl", "");
  EXPECT_EQ(listDirectory(shaderExtensions, hostile), Strings{hostile + "\\s.glsl"});
  EXPECT_EQ(countDirectoryEntries(hostile), 1);
  EXPECT_FALSE(std::filesystem::exists("pwned"));
  EXPECT_FALSE(std::filesystem::exists("pwned2"));
}

TEST(FileModificationTime, ExistingAndMissingFiles) {
  TempDir dir;
  writeFile("here.txt", "x");
  const auto when = std::filesystem::last_write_time("here.txt");
  (void)when;
  int32_t time = 0;
  std::string err;
  const std::string out =
      captureStdout([&] { err = captureStderr([&] { time = fileModificationTime("here.txt"); }); });
  EXPECT_GT(time, 1600000000);
  EXPECT_EQ(out, "");
  EXPECT_EQ(err, "");

  const std::string missingOut =
      captureStdout([&] { err = captureStderr([&] { time = fileModificationTime("gone\\x.glsl"); }); });
  EXPECT_EQ(time, 0);
  EXPECT_EQ(missingOut, "File gone\\x.glsl not found.\n");
  EXPECT_EQ(err.rfind("Problem getting information: ", 0), 0u) << err;
}

TEST(ReadFileBytes, WholeFileOrNothing) {
  TempDir dir;
  writeFile("data.bin", std::string("a\0b\xff", 4));
  std::vector<uint8_t> bytes = {9, 9};
  ASSERT_TRUE(readFileBytes("data.bin", bytes));
  EXPECT_EQ(bytes, (std::vector<uint8_t>{'a', 0, 'b', 0xff}));
  EXPECT_FALSE(readFileBytes("missing.bin", bytes));
  EXPECT_TRUE(bytes.empty());
  std::filesystem::create_directory("folder");
  EXPECT_FALSE(readFileBytes("folder", bytes));
  writeFile("empty.bin", "");
  EXPECT_TRUE(readFileBytes("empty.bin", bytes));
  EXPECT_TRUE(bytes.empty());
}
