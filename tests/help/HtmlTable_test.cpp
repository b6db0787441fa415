// HtmlTable_test.cpp - tables: measurement, frames, padding, widths in pixels and
// percent, nested tables, links in cells, limits, and a golden page.
#include "HelpFixture.h"

#include "testutil.h"

#include <string>

using std::string;

namespace {
string B(const string& body) { return "<html><body>" + body + "</body></html>"; }
}  // namespace

TEST_F(HtmlTest, TablesRenderAsTheseImages) {
  const string line(40, '-'), blank(20, ' '), inner = ",--+" + string(15, '-') + ",";
  // A 50% table in a 40-column cell is 20 wide: (300 - 2 x border 1) / 7 = 42 columns,
  // the cell's 280 pixels are 40.
  const string half = "," + line + ",\n|" + inner + blank + "|\n||ab|" + string(15, ' ') + "|" + blank + "|\n|'--+" +
                      string(15, '-') + "'" + blank + "|\n'" + line + "'\n";
  const auto nested = [](const string& open) {
    return B("<table border width=\"300\"><tr><td width=\"280\">" + open + "<tr><td>ab</td></tr></table></td></tr></table>");
  };
  const struct { string html, image; } cases[] = {
      {B("<table border><tr><td>ab</td><td>xyz</td></tr></table>"), ",--+---,\n|ab|xyz|\n'--+---'\n"},
      // Padding widens cells and rows are separated.
      {B("<table border cellpadding=\"7\"><tr><td>ab</td></tr><tr><td>c</td></tr></table>"),
       ",----,\n| ab |\n|----|\n| c  |\n'----'\n"},
      {B("<table><tr><td>ab</td><td>c</td></tr></table>x"), "      \n ab c \n      \nx\n"},  // no border: blank
      {B("<table border><tr><td>a<br>b</td><td>c</td></tr></table>"), ",-+-,\n|a|c|\n|b| |\n'-+-'\n"},  // tallest cell
      // (100 - 3 x border 1) / 7 = 13 columns; a 50% cell is 13 x 50 / 100 - 1 = 5 wide.
      {B("<table border width=\"100\"><tr><td width=\"50%\">a</td><td>b</td></tr></table>"),
       ",-----+-+---,\n|a    |b|   |\n'-----+-+---'\n"},
      {nested("<table border width=\"50%\">"), half}, {nested("<table width=\"50%\" border>"), half},
      {nested("<table width=\"50%\" border cellspacing=\"0\">"), half},
      // A nested table after text starts on the next line of its cell.
      {B("<table border><tr><td>top<table border><tr><td>in</td></tr></table></td></tr></table>"),
       ",----,\n|top |\n|,--,|\n||in||\n|'--'|\n'----'\n"},
      // Texts on one line of a cell are measured together; a line break in them is a blank.
      {B("<table border><tr><td><b>Note:</b> read</td></tr></table>"), ",----------,\n|Note: read|\n'----------'\n"},
      {B("<table border><tr><td>two\nlines</td></tr></table>"), ",---------,\n|two lines|\n'---------'\n"},
      // Missing end tags of rows, cells and tables are supplied.
      {B("<table border><tr><td>a<td>b<tr><td>c</table>"), ",-+-,\n|a|b|\n|-+-|\n|c| |\n'-+-'\n"},
      {"<html><body><table border><tr><td>x</td></tr>", ",-,\n|x|\n'-'\n"},
      // A table after text keeps the text left of it; in a list it starts on a new line.
      {B("ab<table border><tr><td>x</td></tr></table>"), "ab,-,\n  |x|\n  '-'\n"},
      {B("<ol><li>a<table border><tr><td>x</td></tr></table></ol>"), "\n   1. a\n,-,\n|x|\n'-'\n\n"},
  };
  for (const auto& c : cases) {
    HtmlResetFiles();
    EXPECT_EQ(Image(c.html), c.image) << c.html;
  }
}

TEST_F(HtmlTest, AMeasuredTableKeepsItsSize) {
  Body("<table border><tr><td>ab</td><td>xyz</td></tr></table>");
  HtmlTable* t = FirstTable();
  ASSERT_NE(t, nullptr);
  EXPECT_EQ(t->Width, 8);
  EXPECT_EQ(t->Height, 3);
  EXPECT_EQ(t->ColCnt, 2);
  EXPECT_EQ(t->RowCnt, 1);
  HtmlResetFiles();
  Body("<table border width=\"100\"><tr><td width=\"50%\">a</td><td>b</td></tr></table>");
  EXPECT_EQ(FirstTable()->Width, 13);
}

TEST_F(HtmlTest, ALinkInACellCountsItsBracketsInTheCellWidth) {
  ParseHtmlFile("c.html",
                "<html><body><table border><tr><td><a href=\"x.html\">Go</a></td><td>b</td></tr>"
                "</table></body></html>");
  EXPECT_STREQ(pCurrentPage->pImage, ",----+-,\n|<Go>|b|\n'----+-'\n");
  EXPECT_EQ(Links(pCurrentPage), (std::vector<LinkRec>{{2, "x.html", 10, 14, 4}}));
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
