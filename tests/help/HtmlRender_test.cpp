// HtmlRender_test.cpp - pages, text, entities, titles, headings, lists, links and the
// limits of the grid, as rendered images.
#include "HelpFixture.h"

#include "MemMgr/MemMgr.h"

#include "testutil.h"

#include <string>

using std::string;

// ---- Pages ----

TEST_F(HtmlTest, NamedPagesAreSplitSkipPageIsLeftOutAndAnUnnamedFirstPageAnswersToContents) {
  HtmlFile* f = ParseHtmlFile("p.html",
                              "<html page=\"intro\"><body>I</body></html>"
                              "<html page=\"setup\"><body>S</body></html>"
                              "<html SkipPage page=\"gone\"><body>G</body></html>"
                              "<html><body>more</body></html>");
  ASSERT_NE(f, nullptr);
  ASSERT_EQ(f->pPages->Count, 2);
  EXPECT_STREQ(FindHtmlPage(f, nullptr)->pName, "intro");
  EXPECT_STREQ(FindHtmlPage(f, "intro")->pImage, "I\n");
  // An html tag without a page name continues the current page.
  EXPECT_STREQ(FindHtmlPage(f, "setup")->pImage, "Smore\n");
  EXPECT_EQ(FindHtmlPage(f, "gone"), nullptr);
  HtmlFile* c = ParseHtmlFile("c.html", "<html><body>top</body></html>");
  ASSERT_NE(c, nullptr);
  EXPECT_EQ(FindHtmlPage(c, nullptr)->pName, nullptr);
  EXPECT_EQ(FindHtmlPage(c, "contents"), FindHtmlPage(c, nullptr));
}

TEST_F(HtmlTest, ForgettingTheFilesReleasesTheirLinksTablesAndCutTexts) {
  // Managed memory in use: the bytes of the nodes handed out.
  const auto inUse = [] {
    long bytes = 0;
    for (const MemBlock* b = pMemB; b != nullptr; b = b->pNext) {
      bytes += b->Size > MEM_BLOCK_SIZE ? b->Used : (MEM_BLOCK_NODES - b->FreeNodes) * MEM_NODE_SIZE;
    }
    return bytes;
  };
  // A text run that a page's next tag cuts short is kept as a copy of its own.
  const std::string pages =
      "<html><head><a name=h>h</a></head><body><a href=\"#x\">x</a>"
      "<table border><tr><td>a</td><td><table><tr><td>b</td></tr></table></td></tr></table>"
      "cut<html page=\"two\"><head>e<body>two";
  ASSERT_NE(Image(pages), "<no file>");  // what the renderer keeps for good is made
  HtmlResetFiles();
  const long before = inUse();
  ASSERT_NE(Image(pages), "<no file>");
  HtmlResetFiles();
  EXPECT_EQ(inUse(), before);
}

TEST_F(HtmlTest, FilesWithoutPagesOrTextAreRefusedAndALoadedFileIsNotReadAgain) {
  EXPECT_EQ(ParseHtmlFile("n.html", "<body>no html tag</body>"), nullptr);
  EXPECT_EQ(ParseHtmlFile("http://host/x.html", "<html><body>x</body></html>"), nullptr);
  EXPECT_EQ(ParseHtmlFile("/nonexistent/help.html", nullptr), nullptr);
  EXPECT_EQ(FileIndex, 0);
  HtmlFile* f = ParseHtmlFile("file://same.html#x", "<html><body>one</body></html>");
  ASSERT_NE(f, nullptr);
  EXPECT_STREQ(f->pName, "same.html");
  EXPECT_EQ(ParseHtmlFile("same.html", "<html><body>two</body></html>"), f);
  EXPECT_STREQ(pCurrentPage->pImage, "one\n");
  EXPECT_EQ(FileIndex, 1);
}

TEST_F(HtmlTest, TheHundredAndFirstFileIsRefused) {
  for (int i = 0; i < HTML_MAX_FILES; ++i)
    ASSERT_NE(ParseHtmlFile(("f" + std::to_string(i)).c_str(), "<html><body>x</body></html>"), nullptr);
  EXPECT_EQ(ParseHtmlFile("one-more", "<html><body>x</body></html>"), nullptr);
  EXPECT_EQ(FileIndex, HTML_MAX_FILES);
  // A file already loaded is still found.
  EXPECT_NE(ParseHtmlFile("f7", nullptr), nullptr);
}

// ---- Text, references, titles, headings, lists, limits and malformed pages ----

namespace {
string B(const string& body) { return "<html><body>" + body + "</body></html>"; }
}  // namespace

TEST_F(HtmlTest, PagesRenderAsTheseImages) {
  const string a140(140, 'a'), b130(130, 'b'), a300(300, 'a'), t90(90, 't'), t200(200, 'u');
  string headings, rows;
  for (int i = 0; i < 50; ++i) {
    headings += "<h1>h</h1>";
    rows += "\nh\n\n";
  }
  const struct { string html, image; } cases[] = {
      {B("a<fitab border width=300>b<fitab>c"), "abc\n"},  // a fitab tag in a page is an unknown tag
      // Entities and numeric references become Latin-1 characters.
      {B("caf&eacute; &Eacute;&yuml;&nbsp;"), "caf\xe9 \xc9\xff\xa0\n"}, {B("&#65;&#66;C"), "ABC\n"},
      {B("say &quot;hi&QUOT;"), "say \"hi\"\n"},
      // Unknown references stay text inside a run and lose their ampersand at its start.
      {B("&amp; more"), "amp; more\n"}, {B("x &amp; y &lt;"), "x &amp; y &lt;\n"},
      // Codes outside 1 to 255 show as '?', never as a zero byte that would cut the page;
      // a reference without its ';' ends after its digits; an entity cut by the end.
      {B("a&#0;b&#300;c&#99999999999;d"), "a?b?c?d\n"}, {B("&#65 and; &#66x; y"), "A and; B y\n"},
      {"<html><body>end &eacute", "end &eacute\n"}, {"<html><body>end &", "end &\n"},
      // White space is kept once per run; line breaks stay; a carriage return is a line end.
      {B("  one   two\n   three  "), "one two\nthree \n"}, {B("one\r\ntwo"), "one\ntwo\n"},
      // White space after or around an inline tag stands as one blank, none at a line start;
      // after other tags it is dropped.
      {B("<b>bold</b> text"), "bold text\n"}, {B("<font>a</font>\n <img src=i.png>\n b"), "a b\n"},
      {B("See <a href=\"#x\">this</a> now"), "See <this> now\n"}, {B("text <b> bold</b>"), "text bold\n"},
      {B("top<br><b> x</b>"), "top\nx\n"}, {B("<h1>A</h1>  B"), "\nA\n\nB\n"},
      // A title is centred in 80 columns with an empty line after it; a longer one starts
      // at column 0 whole.
      {"<html><head><title>12345678901234567890</title></head><body></body></html>",
       string(30, ' ') + "12345678901234567890\n\n"},
      {"<html><head><title>T</title></head><body>x</body></html>", string(39, ' ') + "T\n\nx\n"},
      {"<html><head><title>" + t90 + "</title></head><body>b</body></html>", t90 + "\n\nb\n"},
      {"<html><head><title>" + t200 + "</title></head><body>b</body></html>", t200 + "\n\nb\n"},
      // Headings and paragraphs leave empty lines.
      {B("<h1>Title</h1><p>Text</p>"), "\nTitle\n\n\n\nText\n"}, {B("one<p>two</p>three"), "one\n\ntwo\nthree\n"},
      {B("a<br>b<div>c</div>d"), "a\nb\nc\n\nd\n"},
      // An ordered list numbers its items; outside one an item draws nothing of its own.
      {B("<ol><li>a</li><li>b</li><li>c</li></ol>after"), "\n   1. a\n   2. b\n   3. c\nafter\n"},
      {B("<li>x<li>y"), "xy\n"},
      // Text longer than the grid row runs on whole; a line break after it starts below;
      // a page needing more rows than items grows its grid.
      {B("<p>" + a300 + "</p>end"), "\n\n" + a300 + "\nend\n"}, {B(a140 + "<br>b"), a140 + "\nb\n"},
      {B(b130 + "<a href=x>link</a><br>c"), b130 + "<link>\nc\n"}, {B(headings + "<p>end"), rows + "\n\nend\n"},
      // Unterminated tags and comments render what precedes them; stray end tags and
      // cells outside tables are ignored.
      {"<html><body><p>text <b", "\n\ntext \n"}, {B("a<!-- <b>x</b> -> -->b"), "ab\n"},
      {"<html><body>a<!-- b", "a\n"}, {"<html><body>open <", "open \n"}, {B("x</a></table></tr><td>y</td>"), "xy\n"},
  };
  for (const auto& c : cases) {
    HtmlResetFiles();
    EXPECT_EQ(Image(c.html), c.image) << c.html.substr(0, 120);
  }
}

// ---- Links ----

TEST_F(HtmlTest, ALinkIsDrawnInAngleBracketsWithItsOffsets) {
  HtmlFile* f = ParseHtmlFile("l.html",
                              "<html><body><p>See <a href=\"#s2\">Setup</a> now"
                              "<a name=\"s1\"></a><a name=top>Top</a></p></body></html>");
  ASSERT_NE(f, nullptr);
  EXPECT_STREQ(pCurrentPage->pImage, "\n\nSee <Setup> nowTop\n");
  EXPECT_EQ(Links(pCurrentPage), (std::vector<LinkRec>{{2, "#s2", 6, 13, 7},
                                                       {1, "s1", 17, 17, 0},
                                                       {1, "top", 17, 20, 3}}));
}

TEST_F(HtmlTest, LinkAttributesTakeTheLastKeyAndDropQuotes) {
  ParseHtmlFile("k.html",
                "<html><body><A NAME=\"n\" HREF='o.html#t'>x</A><a title=\"t\">y</a></body></html>");
  EXPECT_EQ(Links(pCurrentPage),
            (std::vector<LinkRec>{{2, "o.html#t", 0, 3, 3}, {0, "", 3, 4, 1}}));
}

TEST_F(HtmlTest, LinksAfterATitleAndOnLaterLinesHaveImageOffsets) {
  ParseHtmlFile("o.html",
                "<html><head><title>Ti</title></head><body>ab<br>c<a href=x>d</a></body></html>");
  // The title line is 39 blanks and "Ti", then an empty line, "ab", then "c<d>".
  EXPECT_STREQ(pCurrentPage->pImage, (string(39, ' ') + "Ti\n\nab\nc<d>\n").c_str());
  EXPECT_EQ(Links(pCurrentPage), (std::vector<LinkRec>{{2, "x", 47, 50, 3}}));
}

TEST_F(HtmlTest, ALinkPastTheGridRowKeepsItsOffsets) {
  const string b130(130, 'b');
  ParseHtmlFile("w.html", ("<html><body>" + b130 + "<a href=x>link</a></body></html>").c_str());
  EXPECT_EQ(Links(pCurrentPage), (std::vector<LinkRec>{{2, "x", 130, 136, 6}}));
}

TEST_F(HtmlTest, AMissingBodyEndLosesNeitherTextNorTheNextPage) {
  HtmlFile* f = ParseHtmlFile("m.html",
                              "<html page=\"a\"><body>A<html page=\"b\"><head><title>B</title>"
                              "<body>B</body></html>");
  ASSERT_NE(f, nullptr);
  EXPECT_STREQ(FindHtmlPage(f, "a")->pImage, "A\n");
  EXPECT_STREQ(FindHtmlPage(f, "b")->pImage, (string(39, ' ') + "B\n\nB\n").c_str());
}
