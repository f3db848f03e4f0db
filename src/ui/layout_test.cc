// Layout text: values of every kind, and errors that name their line.
#include "ui/layout.h"

#include <gtest/gtest.h>

#include "ui/exceptions.h"

namespace ui {
namespace {

TEST(Layout, ParsesValuesOfEveryKind) {
  LayoutNode root = ParseLayout(
      "object Form1: TForm1\n"
      "  Caption = 'It''s ' + 'joined'#33\n"
      "  Left = -3\n"
      "  Color = $00FF00\n"
      "  BorderIcons = [biSystemMenu, biMinimize]\n"
      "  Lines.Strings = (\n"
      "    'first'\n"
      "    'second' 'third'\n"
      "    'a'#13#10'b')\n"
      "  object Label1: TLabel\n"
      "    Visible = False\n"
      "  end\n"
      "end\n",
      "test");
  ASSERT_EQ(root.properties.size(), 5u);
  EXPECT_EQ(root.properties[0].value.text, "It's joined!");
  EXPECT_EQ(root.properties[1].value.number, -3);
  EXPECT_EQ(root.properties[2].value.number, 0x00FF00);
  EXPECT_TRUE(root.properties[3].value.HasItem("biMinimize"));
  EXPECT_EQ(root.properties[4].value.items, (std::vector<std::string>{"first", "second", "third", "a\r\nb"}));
  ASSERT_EQ(root.children.size(), 1u);
  EXPECT_EQ(root.children[0].class_name, "TLabel");
  EXPECT_FALSE(root.children[0].properties[0].value.AsBool());
}

TEST(Layout, ErrorsNameTheSourceAndLine) {
  struct Case {
    const char* text;
    const char* expected;
  } cases[] = {
      {"object A: TForm\n  Caption = 'open\nend\n", "layout x line 2: unterminated string"},
      {"object A: TForm\n  Left 3\nend\n", "layout x line 2: '=' expected after Left"},
      {"object A: TForm\nend\nextra", "layout x line 3: text after the last end"},
      {"object A TForm\nend\n", "layout x line 1: ':' expected after object name"},
      {"object A: TForm\n  Left = -\nend\n", "layout x line 2: number expected after -"},
      {"object A: TForm\n  Color = $\nend\n", "layout x line 2: hex digits expected after $"},
  };
  for (const auto& c : cases) {
    try {
      ParseLayout(c.text, "x");
      ADD_FAILURE() << "no error for " << c.text;
    } catch (const Exception& e) {
      EXPECT_EQ(std::string(e.what()), c.expected);
    }
  }
}

}  // namespace
}  // namespace ui
