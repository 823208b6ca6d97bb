#include <gtest/gtest.h>

#include "ui/FormDescription.h"

using namespace ui;

TEST(FormDescription, ParsesEveryValueKindAndNesting) {
    const ObjectDescription d = ParseFormDescription(
        "// comment\n"
        "object f: TForm\n"
        "  Left = -4\n"
        "  Color = $00EDF8F8\n"
        "  Caption = 'It''s ' + 'Vi\xE1\xBB\x87t'\n"
        "  BorderIcons = []\n"
        "  Font.Style = [fsBold, fsItalic]\n"
        "  OnCreate = FormCreate\n"
        "  object p: TPanel\n"
        "    Picture.Data = {89504E\n 47}\n"
        "  end\n"
        "end\n");
    EXPECT_EQ(d.name, "f");
    EXPECT_EQ(d.className, "TForm");
    ASSERT_EQ(d.properties.size(), 6u);
    EXPECT_EQ(d.properties[0].second.integer, -4);
    EXPECT_EQ(d.properties[1].second.integer, 0x00EDF8F8);
    EXPECT_EQ(d.properties[2].second.text, "It's Vi\xE1\xBB\x87t");
    EXPECT_TRUE(d.properties[3].second.set.empty());
    EXPECT_EQ(d.properties[3].second.kind, PropValue::Kind::Set);
    EXPECT_EQ(d.properties[4].second.set, (std::vector<std::string>{"fsBold", "fsItalic"}));
    EXPECT_EQ(d.properties[5].second.text, "FormCreate");
    ASSERT_EQ(d.children.size(), 1u);
    EXPECT_EQ(d.children[0].properties[0].first, "Picture.Data");
    EXPECT_EQ(d.children[0].properties[0].second.bytes, (std::vector<uint8_t>{0x89, 0x50, 0x4E, 0x47}));
    EXPECT_EQ(d.children[0].line, 9);
}

TEST(FormDescription, MalformedTextNamesTheLine) {
    const char* bad[] = {
        "object f: TForm\n  Caption = 'open\nend\n",   // unterminated string
        "object f: TForm\n  Left = 12x\nend\n",        // junk after a number
        "object f: TForm\n  Data = {ABC}\nend\n",      // odd hex digits
        "object f: TForm\n  Left = 1\n",               // no end
        "object f: TForm\nend\nend\n",                 // text after the end
        "thing f: TForm\nend\n",
    };
    for (const char* text : bad) {
        try {
            ParseFormDescription(text);
            ADD_FAILURE() << "accepted: " << text;
        } catch (const Exception& e) {
            EXPECT_NE(e.Message().find("line "), std::string::npos) << e.Message();
        }
    }
}
