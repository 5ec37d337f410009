#include "config/ini_file.h"

#include <gtest/gtest.h>

namespace kelvane {
namespace {

TEST(IniFile, ReadsKeysCaseInsensitivelyWithBlanksAndQuotesDropped) {
  IniFile ini("[other]\r\ncolor=9\r\n[KELVANE]\r\n  Color =  3  \r\nname = \"two words\" \r\n");
  EXPECT_EQ(ini.ReadInteger("Kelvane", "color", 0), 3);
  EXPECT_EQ(ini.ReadString("kelvane", "NAME", ""), "two words");
  EXPECT_EQ(ini.ReadString("Kelvane", "missing", "def"), "def");
  EXPECT_EQ(ini.ReadInteger("nosuch", "color", -1), -1);
}

TEST(IniFile, IntegersFollowTheOldConversionRules) {
  IniFile ini(
      "[s]\nhex=0x2\nHEX2=0XfF\ndollar=$10\nneg=-7\nplus=+8\njunk=12a\nempty=\nspace=1 2\n"
      "big=99999999999\nhexall=0xFFFFFFFF\n");
  EXPECT_EQ(ini.ReadInteger("s", "hex", 0), 2);
  EXPECT_EQ(ini.ReadInteger("s", "hex2", 0), 255);
  EXPECT_EQ(ini.ReadInteger("s", "dollar", 0), 16);
  EXPECT_EQ(ini.ReadInteger("s", "neg", 0), -7);
  EXPECT_EQ(ini.ReadInteger("s", "plus", 0), 8);
  EXPECT_EQ(ini.ReadInteger("s", "junk", 5), 5);
  EXPECT_EQ(ini.ReadInteger("s", "empty", 5), 5);
  EXPECT_EQ(ini.ReadInteger("s", "space", 5), 5);
  EXPECT_EQ(ini.ReadInteger("s", "big", 5), 5);
  EXPECT_EQ(ini.ReadInteger("s", "hexall", 5), -1);
  EXPECT_TRUE(ini.ReadBool("s", "hex", false));
}

TEST(IniFile, LongValuesAreCutToTheReadBuffer) {
  std::string longValue(5000, 'x');
  IniFile ini("[s]\nk=" + longValue + "\n");
  EXPECT_EQ(ini.ReadString("s", "k", "").size(), 2047u);
}

TEST(IniFile, WritingKeepsEveryOtherLineAndAppendsWhereTheOldFunctionsDid) {
  IniFile ini("; my notes\r\n[Kelvane]\r\ncolor=1\r\nmine=keep\r\n\r\n[Other]\r\nx=1\r\n");
  ini.WriteInteger("Kelvane", "COLOR", 2);    // replaced in place, key text as written
  ini.WriteString("Kelvane", "drive", "E:");  // appended after the section's last key
  ini.WriteString("New", "a", "b");           // new section at the end
  EXPECT_EQ(ini.ToBytes(),
            "; my notes\r\n[Kelvane]\r\nCOLOR=2\r\nmine=keep\r\ndrive=E:\r\n\r\n[Other]\r\nx=1\r\n"
            "[New]\r\na=b\r\n");
}

TEST(IniFile, JunkAndBinaryFilesReadAsDefaultsAndCanBeWritten) {
  std::string junk("\x00\xff\x01[[[=\n==\n\x89PNG\r\n", 17);
  IniFile ini(junk);
  EXPECT_EQ(ini.ReadInteger("Kelvane", "c_max", 1), 1);
  ini.WriteInteger("Kelvane", "c_max", 2);
  IniFile again(ini.ToBytes());
  EXPECT_EQ(again.ReadInteger("Kelvane", "c_max", 1), 2);
}

TEST(ParseInteger, AcceptsOnlyWholeIntegers) {
  EXPECT_EQ(ParseInteger("2147483647"), 2147483647);
  EXPECT_EQ(ParseInteger("-2147483648"), INT32_MIN);
  EXPECT_FALSE(ParseInteger("2147483648"));
  EXPECT_FALSE(ParseInteger("-"));
  EXPECT_FALSE(ParseInteger("$"));
  EXPECT_FALSE(ParseInteger("0x10"));  // "0x" is the profile reader's business, not StrToInt's
  EXPECT_FALSE(ParseInteger("1.5"));
}

}  // namespace
}  // namespace kelvane
