// HtmlRender_test.cpp - pages, text, entities, titles, headings, lists, links and the
// limits of the grid, as rendered images.
#include "HelpFixture.h"

#include "MemMgr/MemMgr.h"

#include "testutil.h"

#include <string>

using std::string;

// ---- Pages ----

TEST_F(HtmlTest, NamedPagesAreSplitAndSkipPageIsLeftOut) {
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
}

TEST_F(HtmlTest, AFitabTagWrittenInAPageIsIgnoredLikeAnUnknownTag) {
  EXPECT_EQ(Body("a<fitab border width=300>b<fitab>c"), "abc\n");
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

TEST_F(HtmlTest, AnUnnamedFirstPageAnswersToContents) {
  HtmlFile* f = ParseHtmlFile("c.html", "<html><body>top</body></html>");
  ASSERT_NE(f, nullptr);
  EXPECT_EQ(FindHtmlPage(f, nullptr)->pName, nullptr);
  EXPECT_EQ(FindHtmlPage(f, "contents"), FindHtmlPage(f, nullptr));
}

TEST_F(HtmlTest, FilesWithoutPagesOrTextAreRefused) {
  EXPECT_EQ(ParseHtmlFile("n.html", "<body>no html tag</body>"), nullptr);
  EXPECT_EQ(ParseHtmlFile("http://host/x.html", "<html><body>x</body></html>"), nullptr);
  EXPECT_EQ(ParseHtmlFile("/nonexistent/help.html", nullptr), nullptr);
  EXPECT_EQ(FileIndex, 0);
}

TEST_F(HtmlTest, ALoadedFileIsNotReadAgain) {
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

// ---- Text and references ----

TEST_F(HtmlTest, EntitiesAndNumericReferencesBecomeLatin1Characters) {
  EXPECT_EQ(Body("caf&eacute; &Eacute;&yuml;&nbsp;"), "caf\xe9 \xc9\xff\xa0\n");
  EXPECT_EQ(Body("&#65;&#66;C"), "ABC\n");
  EXPECT_EQ(Body("say &quot;hi&QUOT;"), "say \"hi\"\n");
}

TEST_F(HtmlTest, UnknownReferencesStayTextInsideARunAndLoseTheirAmpersandAtItsStart) {
  EXPECT_EQ(Body("&amp; more"), "amp; more\n");
  EXPECT_EQ(Body("x &amp; y &lt;"), "x &amp; y &lt;\n");
}

TEST_F(HtmlTest, MalformedReferencesAreBoundedToTheirOwnText) {
  // Codes outside 1 to 255 show as '?', never as a zero byte that would cut the page.
  EXPECT_EQ(Body("a&#0;b&#300;c&#99999999999;d"), "a?b?c?d\n");
  // A reference without its ';' ends after its digits.
  EXPECT_EQ(Body("&#65 and; &#66x; y"), "A and; B y\n");
  // An entity name cut off by the end of the text.
  EXPECT_EQ(Image("<html><body>end &eacute"), "end &eacute\n");
  EXPECT_EQ(Image("<html><body>end &"), "end &\n");
}

TEST_F(HtmlTest, WhiteSpaceIsKeptOncePerRunAndLineBreaksStay) {
  EXPECT_EQ(Body("  one   two\n   three  "), "one two\nthree \n");
  // A carriage return stands for a line end.
  EXPECT_EQ(Body("one\r\ntwo"), "one\ntwo\n");
}

TEST_F(HtmlTest, WhiteSpaceAfterAnInlineTagStandsAsOneBlank) {
  EXPECT_EQ(Body("<b>bold</b> text"), "bold text\n");
  EXPECT_EQ(Body("<font>a</font>\n <img src=i.png>\n b"), "a b\n");
  EXPECT_EQ(Body("See <a href=\"#x\">this</a> now"), "See <this> now\n");
  // White space on both sides of an inline tag stands as one blank.
  EXPECT_EQ(Body("text <b> bold</b>"), "text bold\n");
  // At the start of a line no blank is drawn.
  EXPECT_EQ(Body("top<br><b> x</b>"), "top\nx\n");
  // After other tags white space is dropped as before.
  EXPECT_EQ(Body("<h1>A</h1>  B"), "\nA\n\nB\n");
}

// ---- Titles ----

TEST_F(HtmlTest, ATitleIsCentredInEightyColumnsWithAnEmptyLineAfterIt) {
  EXPECT_EQ(Image("<html><head><title>12345678901234567890</title></head><body></body></html>"),
            string(30, ' ') + "12345678901234567890\n\n");
  EXPECT_EQ(Image("<html><head><title>T</title></head><body>x</body></html>"),
            string(39, ' ') + "T\n\nx\n");
}

TEST_F(HtmlTest, ATitleLongerThanEightyColumnsStartsAtColumnZeroAndIsKeptWhole) {
  const string t90(90, 't');
  EXPECT_EQ(Image("<html><head><title>" + t90 + "</title></head><body>b</body></html>"),
            t90 + "\n\nb\n");
  const string t200(200, 'u');
  EXPECT_EQ(Image("<html><head><title>" + t200 + "</title></head><body>b</body></html>"),
            t200 + "\n\nb\n");
}

// ---- Headings, paragraphs, lists ----

TEST_F(HtmlTest, HeadingsAndParagraphsLeaveEmptyLines) {
  EXPECT_EQ(Body("<h1>Title</h1><p>Text</p>"), "\nTitle\n\n\n\nText\n");
  EXPECT_EQ(Body("one<p>two</p>three"), "one\n\ntwo\nthree\n");
  EXPECT_EQ(Body("a<br>b<div>c</div>d"), "a\nb\nc\n\nd\n");
}

TEST_F(HtmlTest, AnOrderedListNumbersItsItems) {
  EXPECT_EQ(Body("<ol><li>a</li><li>b</li><li>c</li></ol>after"),
            "\n   1. a\n   2. b\n   3. c\nafter\n");
  // Outside an ordered list an item draws nothing of its own.
  EXPECT_EQ(Body("<li>x<li>y"), "xy\n");
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

// ---- Limits of the grid ----

TEST_F(HtmlTest, TextLongerThanTheGridRowRunsOnAndIsKeptWhole) {
  const string a300(300, 'a');
  EXPECT_EQ(Body("<p>" + a300 + "</p>end"), "\n\n" + a300 + "\nend\n");
}

TEST_F(HtmlTest, ALineBreakAfterWrappedTextStartsBelowIt) {
  const string a140(140, 'a');
  EXPECT_EQ(Body(a140 + "<br>b"), a140 + "\nb\n");
  const string b130(130, 'b');
  EXPECT_EQ(Body(b130 + "<a href=x>link</a><br>c"), b130 + "<link>\nc\n");
  ParseHtmlFile("w.html", ("<html><body>" + b130 + "<a href=x>link</a></body></html>").c_str());
  EXPECT_EQ(Links(pCurrentPage), (std::vector<LinkRec>{{2, "x", 130, 136, 6}}));
}

TEST_F(HtmlTest, APageNeedingMoreRowsThanItemsGrowsItsGrid) {
  // One item, many rows: headings and empty lines around few items.
  string body;
  for (int i = 0; i < 50; ++i) body += "<h1>h</h1>";
  string expected;
  for (int i = 0; i < 50; ++i) expected += "\nh\n\n";
  EXPECT_EQ(Body(body + "<p>end"), expected + "\n\nend\n");
}

// ---- Malformed pages ----

TEST_F(HtmlTest, UnterminatedTagsAndCommentsRenderWhatPrecedesThem) {
  EXPECT_EQ(Image("<html><body><p>text <b"), "\n\ntext \n");
  EXPECT_EQ(Body("a<!-- <b>x</b> -> -->b"), "ab\n");
  EXPECT_EQ(Image("<html><body>a<!-- b"), "a\n");
  EXPECT_EQ(Image("<html><body>open <"), "open \n");
}

TEST_F(HtmlTest, AMissingBodyEndLosesNeitherTextNorTheNextPage) {
  HtmlFile* f = ParseHtmlFile("m.html",
                              "<html page=\"a\"><body>A<html page=\"b\"><head><title>B</title>"
                              "<body>B</body></html>");
  ASSERT_NE(f, nullptr);
  EXPECT_STREQ(FindHtmlPage(f, "a")->pImage, "A\n");
  EXPECT_STREQ(FindHtmlPage(f, "b")->pImage, (string(39, ' ') + "B\n\nB\n").c_str());
}

TEST_F(HtmlTest, StrayEndTagsAndCellsOutsideTablesAreIgnored) {
  EXPECT_EQ(Body("x</a></table></tr><td>y</td>"), "xy\n");
}
