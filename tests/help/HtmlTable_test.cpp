// HtmlTable_test.cpp - tables: measurement, frames, padding, widths in pixels and
// percent, nested tables, links in cells, limits, and a golden page.
#include "HelpFixture.h"

#include "testutil.h"

#include <string>

using std::string;

TEST_F(HtmlTest, ABorderedOneRowTableIsFramed) {
  EXPECT_EQ(Body("<table border><tr><td>ab</td><td>xyz</td></tr></table>"),
            ",--+---,\n|ab|xyz|\n'--+---'\n");
  HtmlTable* t = FirstTable();
  ASSERT_NE(t, nullptr);
  EXPECT_EQ(t->Width, 8);
  EXPECT_EQ(t->Height, 3);
  EXPECT_EQ(t->ColCnt, 2);
  EXPECT_EQ(t->RowCnt, 1);
}

TEST_F(HtmlTest, PaddingWidensCellsAndRowsAreSeparated) {
  EXPECT_EQ(Body("<table border cellpadding=\"7\"><tr><td>ab</td></tr><tr><td>c</td></tr></table>"),
            ",----,\n| ab |\n|----|\n| c  |\n'----'\n");
}

TEST_F(HtmlTest, ATableWithoutBorderIsABlankArea) {
  EXPECT_EQ(Body("<table><tr><td>ab</td><td>c</td></tr></table>x"),
            "      \n ab c \n      \nx\n");
}

TEST_F(HtmlTest, ARowIsAsHighAsItsTallestCell) {
  EXPECT_EQ(Body("<table border><tr><td>a<br>b</td><td>c</td></tr></table>"),
            ",-+-,\n|a|c|\n|b| |\n'-+-'\n");
}

TEST_F(HtmlTest, PixelWidthsGiveTheTableAndCellWidths) {
  // (100 - 3 x border 1) / 7 = 13 columns; a 50% cell is 13 x 50 / 100 - 1 = 5 wide.
  EXPECT_EQ(Body("<table border width=\"100\"><tr><td width=\"50%\">a</td><td>b</td></tr></table>"),
            ",-----+-+---,\n|a    |b|   |\n'-----+-+---'\n");
  EXPECT_EQ(FirstTable()->Width, 13);
}

TEST_F(HtmlTest, AHalfWidthTableInAFortyColumnCellIsTwentyWide) {
  const char* variants[] = {
      "<table border width=\"50%\">",
      "<table width=\"50%\" border>",
      "<table width=\"50%\" border cellspacing=\"0\">",
  };
  for (const char* open : variants) {
    HtmlResetFiles();
    // (300 - 2 x border 1) / 7 = 42 columns; the cell's 280 pixels are 40.
    const string image = Body(string("<table border width=\"300\"><tr><td width=\"280\">") + open +
                              "<tr><td>ab</td></tr></table></td></tr></table>");
    const string inner = ",--+" + string(15, '-') + ",";
    const string expected = "," + string(40, '-') + ",\n" +
                            "|" + inner + string(20, ' ') + "|\n" +
                            "||ab|" + string(15, ' ') + "|" + string(20, ' ') + "|\n" +
                            "|'--+" + string(15, '-') + "'" + string(20, ' ') + "|\n" +
                            "'" + string(40, '-') + "'\n";
    EXPECT_EQ(image, expected) << open;
  }
}

TEST_F(HtmlTest, ANestedTableAfterTextStartsOnTheNextLineOfItsCell) {
  EXPECT_EQ(Body("<table border><tr><td>top<table border><tr><td>in</td></tr></table>"
                 "</td></tr></table>"),
            ",----,\n|top |\n|,--,|\n||in||\n|'--'|\n'----'\n");
}

TEST_F(HtmlTest, ALinkInACellCountsItsBracketsInTheCellWidth) {
  ParseHtmlFile("c.html",
                "<html><body><table border><tr><td><a href=\"x.html\">Go</a></td><td>b</td></tr>"
                "</table></body></html>");
  EXPECT_STREQ(pCurrentPage->pImage, ",----+-,\n|<Go>|b|\n'----+-'\n");
  EXPECT_EQ(Links(pCurrentPage), (std::vector<LinkRec>{{2, "x.html", 10, 14, 4}}));
}

TEST_F(HtmlTest, TextsOnOneLineOfACellAreMeasuredTogether) {
  EXPECT_EQ(Body("<table border><tr><td><b>Note:</b> read</td></tr></table>"),
            ",----------,\n|Note: read|\n'----------'\n");
  // A line break in a cell's text would tear the frame: it is drawn as a blank.
  EXPECT_EQ(Body("<table border><tr><td>two\nlines</td></tr></table>"),
            ",---------,\n|two lines|\n'---------'\n");
}

TEST_F(HtmlTest, MissingEndTagsOfRowsCellsAndTablesAreSupplied) {
  EXPECT_EQ(Body("<table border><tr><td>a<td>b<tr><td>c</table>"),
            ",-+-,\n|a|b|\n|-+-|\n|c| |\n'-+-'\n");
  EXPECT_EQ(Image("<html><body><table border><tr><td>x</td></tr>"), ",-,\n|x|\n'-'\n");
}

TEST_F(HtmlTest, ATableAfterTextKeepsTheTextLeftOfIt) {
  EXPECT_EQ(Body("ab<table border><tr><td>x</td></tr></table>"),
            "ab,-,\n  |x|\n  '-'\n");
}

TEST_F(HtmlTest, ATableInAListStartsOnANewLine) {
  EXPECT_EQ(Body("<ol><li>a<table border><tr><td>x</td></tr></table></ol>"),
            "\n   1. a\n,-,\n|x|\n'-'\n\n");
}

TEST_F(HtmlTest, TablesOfMoreThanAThousandColumnsOrRowsAreCut) {
  string wide = "<table><tr>";
  for (int i = 0; i < 1005; ++i) wide += "<td>x</td>";
  Body(wide + "</tr></table>");
  ASSERT_NE(FirstTable(), nullptr);
  EXPECT_EQ(FirstTable()->ColCnt, HTML_MAX_TABLE_CELLS);
  EXPECT_EQ(FirstTable()->Width, 2 * HTML_MAX_TABLE_CELLS + 1);

  HtmlResetFiles();
  string tall = "<table border>";
  for (int i = 0; i < 1005; ++i) tall += "<tr><td>y</td></tr>";
  const string image = Body(tall + "</table>end");
  ASSERT_NE(FirstTable(), nullptr);
  EXPECT_EQ(FirstTable()->RowCnt, HTML_MAX_TABLE_CELLS);
  EXPECT_EQ(FirstTable()->Height, 2 * HTML_MAX_TABLE_CELLS + 1);
  EXPECT_EQ(image.substr(image.size() - 8), "'-'\nend\n");
}

TEST_F(HtmlTest, HugeSizesInAttributesStayBounded) {
  const string image =
      Body("<table border width=\"99999999999\" cellpadding=\"-5\"><tr><td>a</td></tr></table>");
  ASSERT_NE(FirstTable(), nullptr);
  EXPECT_LE(FirstTable()->Width, 10000);
  EXPECT_EQ(FirstTable()->Padding, 0);
  EXPECT_EQ(image.find('\0'), string::npos);
}

// The sample page beside the tests renders exactly as its golden image.
TEST_F(HtmlTest, TheSamplePageMatchesItsGoldenImage) {
  const string dir = string(KANDU_SOURCE_DIR) + "/tests/help/pages/";
  HtmlFile* f = ParseHtmlFile((dir + "sample.html").c_str(), nullptr);
  ASSERT_NE(f, nullptr);
  for (const char* page : {"contents", "tables"}) {
    HtmlPage* p = FindHtmlPage(f, page);
    ASSERT_NE(p, nullptr) << page;
    EXPECT_EQ(p->pImage, testutil::ReadFile(dir + "sample-" + page + ".txt")) << page;
  }
}
