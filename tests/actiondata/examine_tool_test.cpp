// The inspect tool, run as authors run it.
#include <gtest/gtest.h>

#include <algorithm>
#include <string>

#include "platform/core/shown_name.h"
#include "tests/test_support.h"

namespace kelvane {
namespace {

struct InspectRun {
  int code;
  std::string out;
  std::string err;
};

InspectRun Inspect(const std::string& what, const std::string& text) {
  std::string dir = test::MakeTempDir("inspect");
  test::WriteAll(dir + "in.txt", text);
  InspectRun r;
  r.code = test::RunCommand(std::string(KELVANE_TOOLS_DIR) + "/kelvane-inspect " + what + " " +
                            dir + "in.txt > " + dir + "out 2> " + dir + "err");
  r.out = test::ReadAll(dir + "out");
  r.err = test::ReadAll(dir + "err");
  for (size_t at; (at = r.err.find(dir)) != std::string::npos;) r.err.erase(at, dir.size());
  return r;
}

TEST(InspectToolTest, ActionsAsJson) {
  InspectRun r = Inspect("actions",
                         "_ idle\n/\n1001 -1\n-1\n-1\n"
                         "* \xB7\xAF\xB8 kick\n1 100 20 300 50 2 5\n12 345\n"
                         "/X+3 R+2\n1002 -2 -1\n2001 -1\n-1\n"
                         "L\n105 -1\n");
  ASSERT_EQ(r.code, 0) << r.err;
  EXPECT_EQ(r.err, "");
  const std::string row1 =
      "{\"index\":1,\"name\":\"\xEF\xBD\xB7\xEF\xBD\xAF\xEF\xBD\xB8 kick\",\"group\":1,"
      "\"score\":100,\"bn\":20,\"firstScore\":300,\"fall\":50,\"landing\":2,\"scoreExtra\":5,"
      "\"commands\":[12,345,0,0,0,0,0,0],\"motionStart\":2,\"secondStart\":1,\"thirdStart\":1,"
      "\"hidden\":0,\"preDone\":0}";
  EXPECT_EQ(r.out.rfind("{\"rows\":[{\"index\":0,\"name\":\"idle\",", 0), 0u) << r.out;
  EXPECT_NE(r.out.find("}," + row1 + "],"), std::string::npos) << r.out;
  EXPECT_NE(r.out.find("\"motionStream\":[1001,-1,-267,-320,1002,-1],"
                       "\"secondStream\":[-1,2001,-1],\"thirdStream\":[-1,-1],"
                       "\"groups\":[[105,-1,0,0,0,0,0,0,0,0,0,0,0,0,0,1],"
                       "[-1,0,0,0,0,0,0,0,0,0,0,0,0,0,0,0],"),
            std::string::npos);
  EXPECT_NE(r.out.find("[-1,0,0,0,0,0,0,0,0,0,0,0,0,0,0,0]],\"lastRow\":1,\"lastGroup\":0,"
                       "\"bangRow\":0,\"secondBangRow\":0,\"barPairs\":0,"
                       "\"codeToRow\":{\"0\":1,\"12\":1,\"345\":1},\"decoded\":{"),
            std::string::npos);
  EXPECT_NE(
      r.out.find("\"motionStream\":[\"pic 1:1\",\"end\",\"R+2\",\"X+3\",\"pic 1:2\",\"end\"]"),
      std::string::npos);
  EXPECT_NE(r.out.find("{\"file\":\"sc005.bmp\",\"set\":1,\"slot\":2}"), std::string::npos);
  // Exactly one hundred groups inside the outer list.
  size_t groups = r.out.find("\"groups\":[") + 10, end = r.out.find("]],\"lastRow\"");
  std::string g = r.out.substr(groups, end - groups);
  size_t count = 0;
  for (char c : g) count += c == '[';
  EXPECT_EQ(count, 100u);
}

TEST(InspectToolTest, ProblemsGoToStandardErrorWithTheirLine) {
  InspectRun r = Inspect("actions", "* a\n0\n12 99999\n");
  EXPECT_EQ(r.code, 1);
  EXPECT_EQ(r.out, "");
  EXPECT_EQ(r.err, "in.txt:3: command code 99999 is outside 0..6666\n");

  r = Inspect("palette", "title\n1 2 3\n");
  EXPECT_EQ(r.code, 1);
  EXPECT_EQ(r.err, "in.txt:2: expected 12 numbers, found 3\n");

  EXPECT_EQ(test::RunCommand(std::string(KELVANE_TOOLS_DIR) +
                             "/kelvane-inspect actions /nonexistent/Z_ac.txt 2>/dev/null"),
            1);
  EXPECT_EQ(test::RunCommand(std::string(KELVANE_TOOLS_DIR) + "/kelvane-inspect 2>/dev/null"), 2);

  // A help request is answered on standard output.
  const std::string dir = test::MakeTempDir("inspect-help");
  const std::string tool = std::string(KELVANE_TOOLS_DIR) + "/kelvane-inspect ";
  EXPECT_EQ(test::RunCommand(tool + "--help > " + dir + "out 2> " + dir + "err"), 0);
  const std::string help = test::ReadAll(dir + "out");
  for (const char* shown : {"actions FILE   a move list", "palette FILE   a palette file",
                            "record FILE    a run record"})
    EXPECT_NE(help.find(shown), std::string::npos) << help;
  EXPECT_EQ(test::ReadAll(dir + "err"), "");

  // A name of thousands of characters keeps its start and its end in the
  // message, in a few lines' length; a UTF-8 character is never cut.
  const std::string name = "/nonexistent/" + std::string(2500, 'x') + "\xE3\x81\x82" +
                           std::string(2500, 'y') + "/\xE3\x81\x82Z_ac.txt";
  EXPECT_EQ(test::RunCommand(tool + "actions '" + name + "' 2> " + dir + "err"), 1);
  const std::string err = test::ReadAll(dir + "err");
  EXPECT_LE(err.size(), kShownNameBytes + 40);
  EXPECT_EQ(err.rfind("/nonexistent/xxx", 0), 0u) << err;
  EXPECT_NE(err.find("y/\xE3\x81\x82Z_ac.txt: the file cannot be read\n"), std::string::npos) << err;
  EXPECT_EQ(ShownName(name.substr(0, kShownNameBytes)), name.substr(0, kShownNameBytes));
  for (size_t cut = 40; cut < 60; ++cut) {
    const std::string shown = ShownName(std::string(cut, 'a') + "\xE3\x81\x82" + name);
    EXPECT_LE(shown.size(), kShownNameBytes);
    // Whole characters only: every lead byte keeps its two followers.
    const auto count = [&](auto pred) { return std::count_if(shown.begin(), shown.end(), pred); };
    const auto leads = count([](char c) { return static_cast<unsigned char>(c) == 0xE3; });
    EXPECT_EQ(count([](char c) { return (static_cast<unsigned char>(c) & 0xC0) == 0x80; }),
              2 * leads)
        << cut;
  }
}

TEST(InspectToolTest, PaletteAsJson) {
  std::string text;
  for (int p = 0; p < 4; ++p) {
    text += "palette\n";
    for (int line = 0; line < 4; ++line) text += "3 4 300 1 2 3 1 2 3 1 2 3\n";
  }
  InspectRun r = Inspect("palette", text);
  ASSERT_EQ(r.code, 0) << r.err;
  EXPECT_EQ(r.out.rfind("{\"paletteColours\":[[[3,4,44],[1,2,3],", 0), 0u) << r.out;
  EXPECT_NE(r.out.find("\"charPalettes\":[[\"#000000\",\"#010203\","), std::string::npos);
  EXPECT_NE(r.out.find("\"plainBackdrops\":3,\"pictureBackdrops\":4}"), std::string::npos);
}

}  // namespace
}  // namespace kelvane
