// Help_test.cpp - the terminal help: files parsed into pages and drawn as text images with
// their link records, and the navigator's menu, targets, history, files and redirects.
#include "help/help.h"
#include "help/HelpTesting.h"

#include "Dbm/Dbm.h"
#include "NlsUtils/Nls.h"
#include "testutil.h"

#include <algorithm>
#include <cctype>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <string>

using std::string;

namespace {

// Every test starts without files.
struct HelpTest : ::testing::Test { void SetUp() override { HtmlResetFiles(); } };

// Loads a body (or a whole file, when it begins with "<html") and gives each page's image
// followed by its link records as "{kind,target,start,end,drawn length}", every page but
// the first after "[name]".
string Image(const string& html) {
  HtmlResetFiles();
  const string text = html.rfind("<html", 0) == 0 ? html : "<html><body>" + html + "</body></html>";
  HtmlFile* f = ParseHtmlFile("t.html", text.c_str());
  if (f == nullptr) return "<no file>";
  string out;
  for (ListLink* l = f->pPages->pFirst; l != nullptr; l = l->pNext) {
    const auto* p = static_cast<HtmlPage*>(l->pItem);
    out += (l == f->pPages->pFirst ? "" : "[" + string(p->pName) + "]") + p->pImage;
    for (ListLink* m = p->pLinks->pFirst; m != nullptr; m = m->pNext) {
      const HtmlLink* k = *static_cast<HtmlLink**>(m->pItem);
      out += "{" + std::to_string(k->Kind) + "," + (k->pTarget != nullptr ? k->pTarget : "") + "," +
             std::to_string(k->Start) + "," + std::to_string(k->End) + "," + std::to_string(k->DrawnLen) + "}";
    }
  }
  return out;
}

// The link record of the current page whose target is target.
HtmlLink* LinkTo(const char* target) {
  for (ListLink* l = pCurrentPage->pLinks->pFirst; l != nullptr; l = l->pNext)
    if (auto* k = *static_cast<HtmlLink**>(l->pItem); k->pTarget && std::strcmp(k->pTarget, target) == 0) return k;
  return nullptr;
}

// Where the operator is: "file:page@TargetPos h<history entries> f<files loaded>".
string Where() {
  const string file = aFile[CurrentFile].pName;
  return file.substr(file.rfind('/') + 1) + ":" + (pCurrentPage->pName ? pCurrentPage->pName : "contents") + "@" +
         std::to_string(TargetPos) + " h" + std::to_string(HistoryI) + " f" + std::to_string(FileIndex);
}

// The help menu's entries after the page text, each "label/type/key/action/value": the
// label up to its first blank, the action g (follow the link), c (Contents), b (Back).
string Menu() {
  const MenuActionFn actions[] = {TtyHelpGotoLink, TtyHelpContents, TtyHelpBack};
  string out;
  for (const TextMenuItem* e = HelpMenu.pItems + 1; e->pLabel != nullptr; ++e) {
    out += string(e->pLabel, std::strcspn(e->pLabel, " ")) + "/" + std::to_string(e->ItemType) + "/" +
           (std::isalpha(e->Key) ? string(1, static_cast<char>(e->Key)) : std::to_string(e->Key)) + "/" +
           "gcb-"[std::find(actions, actions + 3, e->pfnAction) - actions] + "/" + std::to_string(e->Value.Int) + " ";
  }
  return out;
}

// The first page shows "<One> <Two> <B> <Btop> <me> <gone>", an empty line, then
// "Section one" at the anchor s1 (offset 36); the second "S2 here<Top>".
const char kPages[] =
    "<html><body><a href=\"#s1\">One</a> <a href=\"#s2\">Two</a> <a href=\"b.html#sec\">B</a> <a href=b.html>Btop</a> "
    "<a href=\"a.html#s1\">me</a> <a href=\"gone.html\">gone</a><p><a name=\"s1\"></a>Section one</p></body></html>"
    "<html page=\"s2\"><body><a name=\"s2\">S2</a> <a name=mark>here</a><a href=\"#contents\">Top</a></body></html>";

}  // namespace

// ---- The renderer ----

TEST_F(HelpTest, DrawsPagesAndLinks) {
  const string a300(300, 'a'), b130(130, 'b'), t200(200, 't');
  string headings, rows;
  for (int i = 0; i < 50; ++i) headings += "<h1>h</h1>", rows += "\nh\n\n";
  const struct { string html, image; } cases[] = {
      {"a<fitab border width=300>b<fitab>c", "abc\n"},  // a fitab tag written in a page is unknown
      {"caf&eacute; &Eacute;&yuml;&nbsp;&#65;&#66;C say &quot;hi&QUOT;", "caf\xe9 \xc9\xff\xa0" "ABC say \"hi\"\n"},
      // An unknown reference loses its '&' only at the start of a text run; codes outside
      // 1 to 255 show as '?', never as a zero byte that would cut the page; a reference
      // without its ';' ends after its digits.
      {"&ampx; x &lt", "ampx; x &lt\n"},
      {"a&amp;b &LT;x&gt;", "a&b <x>\n"},  // the markup's own characters
      {"a&#0;b&#300;c&#99999999999;d &#65 and; &#66x; y", "a?b?c?d A and; B y\n"},
      // Pages: an html tag without a name continues the page, a SkipPage one is left out,
      // and a missing body end loses neither its text nor the next page.
      {"<html><body>I</body></html><html SkipPage page=\"gone\"><body>G</body></html><html><body>more</body></html>"
       "<html page=\"b\"><body>B<html page=\"c\"><head><title>C</title><body>C</body></html>",
       "Imore\n[b]B\n[c]" + string(39, ' ') + "C\n\nC\n"},
      // White space is kept once per run, a carriage return as a line feed; after an
      // inline tag it stands as one blank, none at a line's start or after another blank.
      {"  one   two\r\n   three  ", "one two\nthree \n"},
      {"<b>bold</b> text <b> bold</b><font>,</font>\n <img src=i.png>\n b", "bold text bold, b\n"},
      {"top<br><b> x</b><h1>A</h1>  B", "top\nx\nA\n\nB\n"},
      {"<p>See <a href=\"#s2\">Setup</a> now<a name=\"s1\"></a><a name=top>Top</a></p>",
       "\n\nSee <Setup> nowTop\n{2,#s2,6,13,7}{1,s1,17,17,0}{1,top,17,20,3}"},
      {"<A NAME=\"n\" HREF='o.html#t'>x</A><a title=\"t\">y</a>", "<x>y\n{2,o.html#t,0,3,3}{0,,3,4,1}"},
      // A title is centred in 80 columns with an empty line after it; a longer one
      // starts at column 0 whole; the rest of the head is not drawn.
      {"<html><head><title>12345678901234567890</title></head><body>ab<br>c<a href=x>d</a>",
       string(30, ' ') + "12345678901234567890\n\nab\nc<d>\n{2,x,56,59,3}"},
      {"<html><head>h<b>x</b><title>" + t200 + "</title></head><body>b</body></html>", t200 + "\n\nb\n"},
      // An ordered list numbers its items, a bulleted list marks them, a definition list
      // indents the definitions, one item a line (nested lists one step deeper); outside
      // a list an item draws nothing of its own. Preformatted text keeps its lines and blanks.
      {"<li>x<li>y<ol><li>a</li><li>b</li><li>c</li></ol>after", "xy\n   1. a\n   2. b\n   3. c\nafter\n"},
      {"<ol>\n<li>a\n<ul><li>in\n</ul><li>b\n</ol><dl>\n<dt>t\n<dd>d\n</dl>x",
       "   1. a\n      - in\n   2. b\n   t\n       d\nx\n"},
      {"p<pre>\n  a  b\n\nc\n</pre>d", "p\n  a  b\n\nc\nd\n"},
      // Text longer than a grid row runs on whole, a link across rows keeps its offsets,
      // and a page that needs more rows than it has items grows its grid.
      {"<p>" + a300 + "</p>end", "\n\n" + a300 + "\nend\n"},
      {b130 + "<a href=x>link</a><br>c", b130 + "<link>\nc\n{2,x,130,136,6}"},
      {headings + "<p>end", rows + "\n\nend\n"},
      // Unterminated tags and comments keep what precedes them; stray end tags and
      // cells outside tables are ignored.
      {"<html><body><p>text <b", "\n\ntext \n"},
      {"a<!-- <b>x</b> -> -->bx</a></table></tr><td>y</td>", "abxy\n"},
      {"<html><body>a<!-- b", "a\n"},
      // Tables: frames, padding and row separators, blank areas without a border, the
      // tallest cell, widths in pixels and percent, nested tables, missing end tags.
      {"<table border cellpadding=\"7\"><tr><td>ab</td></tr><tr><td>c<br>d</td></tr></table>",
       ",----,\n| ab |\n|----|\n| c  |\n| d  |\n'----'\n"},
      {"<table><tr><td>a<br>b</td><td>c</td></tr></table>x", "     \n a c \n b   \n     \nx\n"},
      // (100 - 3 x border 1) / 7 = 13 columns; a 50% cell is 13 x 50 / 100 - 1 = 5 wide.
      {"<table border width=\"100\"><tr><td width=\"50%\">a</td><td>b</td></tr></table>",
       ",-----+-+---,\n|a    |b|   |\n'-----+-+---'\n"},
      {"<table border><tr><td>top<table border><tr><td>in</td></tr></table></td></tr></table>",
       ",----,\n|top |\n|,--,|\n||in||\n|'--'|\n'----'\n"},
      // The texts of one cell line are measured together, a line break in them as a blank;
      // a link's brackets count in its cell's width.
      {"<table border><tr><td><b>Note:</b> two\nlines</td></tr></table>",
       ",---------------,\n|Note: two lines|\n'---------------'\n"},
      {"<table border><tr><td><a href=\"x.html\">Go</a></td><td>b</td></tr></table>",
       ",----+-,\n|<Go>|b|\n'----+-'\n{2,x.html,10,14,4}"},
      {"<html><body><table border><tr><td>x</td></tr>", ",-,\n|x|\n'-'\n"},
      // A table after text keeps the text left of it; in a list it starts on a new line.
      {"ab<table border><tr><td>x</td></tr></table>", "ab,-,\n  |x|\n  '-'\n"},
      {"<ol><li>a<table border><tr><td>x</td></tr></table></ol>", "   1. a\n,-,\n|x|\n'-'\n"},
      // Lists in a cell are measured with their marks, one item a line.
      {"<table border><tr><td><ul><li>a</ul><dl><dt>t<dd>d</dl></td><td>c</td></tr></table>",
       ",--------+-,\n|   - a  |c|\n|   t    | |\n|       d| |\n'--------+-'\n"},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.html.substr(0, 100));
    EXPECT_EQ(Image(c.html), c.image);
  }
}

TEST_F(HelpTest, BoundsTablesAndSizes) {
  string wide = "<table><tr>", tall = "<table border>", frame = ",-,\n";
  for (int i = 0; i < 1005; ++i) wide += "<td>x</td>", tall += "<tr><td>y</td></tr>";
  for (int i = 0; i < HTML_MAX_TABLE_CELLS; ++i) frame += i == 0 ? "|y|\n" : "|-|\n|y|\n";
  // A column or row past the limit is left out; a width and a padding out of range are cut
  // (to 10000 columns and none).
  const string cells = Image(wide + "</tr></table>");
  EXPECT_EQ(std::count(cells.begin(), cells.end(), 'x'), HTML_MAX_TABLE_CELLS);
  EXPECT_EQ(Image(tall + "</table>end"), frame + "'-'\nend\n");
  const string huge = Image("<table border width=\"99999999999\" cellpadding=\"-5\"><tr><td>a</td></tr></table>");
  EXPECT_EQ(huge.size(), 10264u);
  EXPECT_NE(huge.find("|a|"), string::npos);
}

TEST_F(HelpTest, LoadsFilesOnceAndRefusesOthers) {
  TtyHelpInstallHook();  // the menu engine's help hook shows nothing that cannot be loaded
  const string said = testutil::CaptureFd(2, [] {
    EXPECT_EQ(HtmlHelp("buffer.html", "no pages here"), 0);
    EXPECT_EQ(HtmlHelp(nullptr, nullptr), 0);
    pfnMenuHelp(nullptr, "/nonexistent/help.html");
    pfnMenuHelp(nullptr, nullptr);
  });
  pfnMenuHelp = nullptr;
  EXPECT_NE(said.find("/nonexistent/help.html", said.find("buffer")), string::npos);
  EXPECT_EQ(flBuildingFile, 0);
  EXPECT_EQ(ParseHtmlFile("http://host/x.html", "<html><body>x</body></html>"), nullptr);
  EXPECT_EQ(FileIndex, 0);
  HtmlFile* f = ParseHtmlFile("file://p.html#x", "<html><body>one</body></html><html page=\"b\"><body>B</body></html>");
  ASSERT_NE(f, nullptr);
  EXPECT_STREQ(f->pName, "p.html");
  EXPECT_EQ(FindHtmlPage(f, "contents"), FindHtmlPage(f, nullptr));  // an unnamed page is the contents
  pCurrentPage = FindHtmlPage(f, "b");
  EXPECT_EQ(ParseHtmlFile("p.html", "<html><body>two</body></html>"), f);  // not read again
  EXPECT_STREQ(pCurrentPage->pImage, "one\n");
  for (int i = 1; i < HTML_MAX_FILES; ++i) ASSERT_NE(ParseHtmlFile(std::to_string(i).c_str(), "<html>"), nullptr);
  EXPECT_EQ(ParseHtmlFile("one-more", "<html>"), nullptr);
  EXPECT_NE(ParseHtmlFile("7", nullptr), nullptr);
}

// ---- The navigator ----

TEST_F(HelpTest, BuildsTheMenuOfAPage) {
  // The build's English core catalogue gives the fixed entries.
  unsetenv("LANG");
  pToolPath = const_cast<char*>(KANDU_BINARY_DIR "/share/tvnn");
  pDrvCoreDB = NlsOpenDB("CoreString", 0);
  ASSERT_NE(pDrvCoreDB, nullptr) << "the core catalogue is missing: build the nls-catalogues target";
  ParseHtmlFile("m.html", "<html><body><a href=#s1>First</a> <a href=other.html>Second</a> <a href=other.html#top>"
                          "Third</a><a name=s1></a><a>none</a><a name=contents>C</a><a name=o>O</a></body></html>");
  TtyHelpBuildMenuItems();
  // The links and the anchors not named like the page as numbered entries of type 7, two
  // bars (type 3), then Exit Help (6), Contents and Back keyed by the second character
  // of their catalogue labels.
  const string fixed = "/3/0/-/1 /3/0/-/3 ~e/6/e/-/0 ~c/7/c/c/0 ~b/7/b/b/0 ";
  EXPECT_EQ(Menu(), "First/7/1/g/0 Second/7/2/g/0 Third/7/3/g/0 O/7/4/g/0 " + fixed);
  EXPECT_EQ(TtyHelpBack(&HelpMenu, nullptr) + TtyHelpContents(&HelpMenu, nullptr), 0);  // no history: no change
  // A page of 40 links grows the entry array.
  string body = "<html><body>";
  for (int i = 1; i <= 40; ++i) body += "<a href=\"#x\">L" + std::to_string(i) + "</a>";
  ParseHtmlFile("many.html", body.c_str());
  TtyHelpBuildMenuItems();
  EXPECT_EQ(Menu().substr(Menu().find("L40/")), "L40/7/40/g/0 " + fixed);
}

TEST_F(HelpTest, FollowsTargetsLinksAndHistory) {
  testutil::ScratchDir dir;
  ASSERT_TRUE(testutil::WriteFile(dir / "a.html", kPages));
  ASSERT_TRUE(testutil::WriteFile(dir / "b.html", "<html><body>first<br><a name=\"sec\"></a>section</body></html>"));
  // Each step: o opens the help, l follows the link to arg (result 1 when it said it
  // could not), g goes to a target, p points at an offset (P while a file is loaded), b
  // and c are Back and Contents, m makes 150 moves and B goes back while it can (result:
  // how often); then the result (-1: none) and where the operator is.
  const struct { char op; const char* arg; int result; const char* where; } steps[] = {
      {'o', "a.html#s2", 1, "a.html:s2@0 h1 f1"},  {'b', "", 1, "a.html:contents@0 h0 f1"},
      {'l', "#s1", 0, "a.html:contents@36 h1 f1"},  // an anchor on the page
      {'l', "#s2", 0, "a.html:s2@0 h2 f1"},         // a page's name: its top
      {'g', "nowhere", 0, "a.html:s2@0 h2 f1"},    {'b', "", 1, "a.html:contents@0 h1 f1"},
      {'g', "#mark", 1, "a.html:s2@3 h2 f1"},       // an anchor on another page
      {'c', "", 1, "a.html:contents@0 h0 f1"},
      {'p', "5", -1, "a.html:contents@0 h0 f1"},    // between "<One>" and "<Two>"
      {'P', "8", -1, "a.html:contents@0 h0 f1"},   {'p', "8", -1, "a.html:s2@0 h1 f1"},
      {'c', "", 1, "a.html:contents@0 h0 f1"},
      {'l', "b.html#sec", 0, "b.html:contents@6 h1 f2"},  // another file, beside this one
      {'b', "", 1, "a.html:contents@0 h0 f2"},
      {'l', "b.html", 0, "b.html:contents@0 h1 f2"},      // loaded already: not read again
      {'b', "", 1, "a.html:contents@0 h0 f2"},
      {'l', "a.html#s1", 0, "a.html:contents@36 h1 f2"},  // this file's own name
      {'l', "gone.html", 1, "a.html:contents@36 h1 f2"},  // a file that cannot be loaded
      {'m', "", -1, "a.html:contents@36 h100 f2"},        // a hundred moves are recorded
      {'B', "", 100, "a.html:contents@0 h0 f2"},
  };
  for (const auto& s : steps) {
    SCOPED_TRACE(string(1, s.op) + " " + s.arg);
    int result = -1;
    if (s.op == 'o') result = HtmlHelp((dir / s.arg).c_str(), nullptr);
    if (s.op == 'l')
      result = testutil::CaptureFd(1, [&] { ProcessLink(LinkTo(s.arg)); }).find(s.arg) != string::npos;
    if (s.op == 'g') result = GoToTarget(s.arg);
    flBuildingFile = s.op == 'P';
    if (s.op == 'p' || s.op == 'P') HtmlProcessLink(std::atoi(s.arg));
    flBuildingFile = 0;
    if (s.op == 'b' || s.op == 'c') result = HtmlSetHistory(s.op == 'b' ? -1 : 0);
    for (int i = 0; s.op == 'm' && i < 150; ++i) GoToTarget(i % 2 == 0 ? "s2" : "#s1");
    for (result = s.op == 'B' ? 0 : result; s.op == 'B' && HtmlSetHistory(-1);) ++result;
    EXPECT_EQ(result, s.result);
    EXPECT_EQ(Where(), s.where);
  }
}

TEST_F(HelpTest, ReplacesARedirectByThePrinterHelpRecord) {
  testutil::ScratchDir dir;
  pPrtHelpDB = DbTOpen((dir / "PrtHelp.xdb").c_str(), 0);
  ASSERT_EQ(DbmTPutRecord(pPrtHelpDB, "Tray", "paper tray", 11), 1);
  // The text, the record name that replaced it ("" for none) and the text afterwards; a
  // name longer than TmpKey is cut to fit it, and a record not found shows its name.
  const string cut(HELP_TMP_KEY_SIZE - 1, 'N');
  const struct { string text, name, after; } cases[] = {
      {"See $$Tray.REDIRECT please", "Tray", "paper tray"},
      {"See $$Tray.txt or $$x.redirect", "", "See $$Tray.txt or $$x.redirect"},  // the first "$$" only
      {"Plain help.", "", "Plain help."},
      {"$$" + string(100, 'N') + ".redirect", cut, cut},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.text.substr(0, 40));
    char buf[NLS_REC_SIZE] = {};
    std::snprintf(buf, sizeof buf, "%s", c.text.c_str());
    const char* name = CheckForRedirect(buf);
    EXPECT_EQ(name, c.name.empty() ? nullptr : TmpKey);
    EXPECT_EQ(name != nullptr ? name : "", c.name);
    EXPECT_STREQ(buf, c.after.c_str());
  }
  EXPECT_EQ(CheckForRedirect(nullptr), nullptr);
  DbTClose(pPrtHelpDB);
  pPrtHelpDB = nullptr;
}
