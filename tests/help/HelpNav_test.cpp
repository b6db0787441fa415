// HelpNav_test.cpp - the help navigator: menu entries per page, links, anchors, pages
// as targets, history and Back, Contents, other files, pointer positions, redirects
// to the printer-help catalogue, and a whole dialogue through the menu engine.
#include "HelpFixture.h"

#include "Dbm/Dbm.h"
#include "MemMgr/MemMgr.h"
#include "NlsUtils/Nls.h"
#include "testutil.h"

#include <cstdio>
#include <cstring>
#include <memory>
#include <string>


using std::string;

namespace {

const string kSource = KANDU_SOURCE_DIR;

// The English core catalogue compiled into a scratch tool directory, once.
class HelpNavTest : public HtmlTest {
 protected:
  static void SetUpTestSuite() {
    tool_ = std::make_unique<testutil::ScratchDir>();
    const string catalog = kSource + "/NlsUtils/catalog";
    ASSERT_TRUE(testutil::WriteFile(*tool_ / "trans.conf", testutil::ReadFile(catalog + "/trans.conf")));
    ASSERT_EQ(NlsCompileCatalog((catalog + "/en_US/CoreString.msg").c_str(), tool_->path().c_str(),
                                "en_US", "CoreString", false),
              0);
    pToolPath = SaveStr_(tool_->path().c_str());
    pDrvCoreDB = NlsOpenDB("CoreString", 0);
  }
  static void TearDownTestSuite() { tool_.reset(); }

  // The link record of the current page whose target is target.
  static HtmlLink* LinkTo(const char* target) {
    for (ListLink* l = pCurrentPage->pLinks->pFirst; l != nullptr; l = l->pNext) {
      HtmlLink* k = *static_cast<HtmlLink**>(l->pItem);
      if (k->pTarget != nullptr && std::strcmp(k->pTarget, target) == 0) return k;
    }
    return nullptr;
  }

  static const char* PageName() {
    return pCurrentPage != nullptr && pCurrentPage->pName != nullptr ? pCurrentPage->pName : "contents";
  }

  static std::unique_ptr<testutil::ScratchDir> tool_;
};
std::unique_ptr<testutil::ScratchDir> HelpNavTest::tool_;

const char kTwoPages[] =
    "<html><body><a href=\"#s1\">One</a> <a href=\"#s2\">Two</a>"
    "<p><a name=\"s1\"></a>Section one</p></body></html>"
    "<html page=\"s2\"><body><a name=\"s2\">S2</a> <a name=\"mark\">here</a>"
    "<a href=\"#contents\">Top</a></body></html>";

}  // namespace

// ---- The menu of a page ----

TEST_F(HelpNavTest, APageOffersItsLinksAsNumberedEntriesThenTheFixedEntries) {
  ASSERT_NE(ParseHtmlFile("m.html",
                          "<html><body><a href=\"#s1\">First</a> <a href=\"other.html\">Second</a> "
                          "<a href=\"other.html#top\">Third</a><a name=\"s1\"></a>"
                          "<a>no target</a></body></html>"),
            nullptr);
  TtyHelpBuildMenuItems();
  TextMenuItem* it = HelpMenu.pItems;
  ASSERT_EQ(it, HelpMenuItems);
  EXPECT_EQ(it[0].ItemType, ITEM_LINE);
  EXPECT_STREQ(it[0].pLabel, "<First> <Second> <Third>no target\n");
  const char* labels[] = {"First", "Second", "Third"};
  for (int i = 0; i < 3; ++i) {
    EXPECT_STREQ(it[1 + i].pLabel, labels[i]);
    EXPECT_EQ(it[1 + i].ItemType, ITEM_ACTION);
    EXPECT_EQ(it[1 + i].Key, i + 1);
    EXPECT_EQ(it[1 + i].pfnAction, TtyHelpGotoLink);
    EXPECT_NE(it[1 + i].pItemData, nullptr);
  }
  EXPECT_EQ(it[4].ItemType, ITEM_BAR_ALL);
  EXPECT_EQ(it[4].Value.Int, 1);
  EXPECT_EQ(it[5].ItemType, ITEM_BAR_ALL);
  EXPECT_EQ(it[5].Value.Int, 3);
  EXPECT_STREQ(it[6].pLabel, "~e Exit Help");
  EXPECT_EQ(it[6].ItemType, ITEM_EXIT);
  EXPECT_EQ(it[6].Key, 'e');
  EXPECT_STREQ(it[7].pLabel, "~c Contents");
  EXPECT_EQ(it[7].Key, 'c');
  EXPECT_EQ(it[7].pfnAction, TtyHelpContents);
  EXPECT_STREQ(it[8].pLabel, "~b Back");
  EXPECT_EQ(it[8].Key, 'b');
  EXPECT_EQ(it[8].pfnAction, TtyHelpBack);
  EXPECT_EQ(it[9].pLabel, nullptr);
  EXPECT_STREQ(HelpMenu.pTitle, "Kandu Help");
  EXPECT_EQ(HelpMenu.TitleStyle, 1);
  EXPECT_EQ(HelpMenu.MenuFlags, 0x001 | 0x040 | 0x080 | 0x100);
}

TEST_F(HelpNavTest, AnAnchorNamedLikeItsPageAndEmptyLinksAreNotOffered) {
  ParseHtmlFile("a.html", kTwoPages);
  ASSERT_TRUE(GoToTarget("s2"));
  TtyHelpBuildMenuItems();
  // "S2" names the page itself; "here" is another anchor, offered with its text.
  EXPECT_STREQ(HelpMenuItems[1].pLabel, "here");
  EXPECT_STREQ(HelpMenuItems[2].pLabel, "Top");
  EXPECT_EQ(HelpMenuItems[3].ItemType, ITEM_BAR_ALL);
}

TEST_F(HelpNavTest, ManyLinksGrowTheEntryArray) {
  string body;
  for (int i = 0; i < 40; ++i) body += "<a href=\"#x" + std::to_string(i) + "\">L" + std::to_string(i) + "</a>";
  ParseHtmlFile("many.html", ("<html><body>" + body + "</body></html>").c_str());
  TtyHelpBuildMenuItems();
  EXPECT_GE(HelpMenuItemCnt, 47);
  EXPECT_STREQ(HelpMenuItems[40].pLabel, "L39");
  EXPECT_EQ(HelpMenuItems[40].Key, 40);
  EXPECT_EQ(HelpMenuItems[46].pLabel, nullptr);
}

// ---- Targets and history ----

TEST_F(HelpNavTest, AnAnchorIsFollowedWithOneHistoryEntryAndAPageNameOpensThatPageAtItsTop) {
  ParseHtmlFile("a.html", kTwoPages);
  HtmlPage* top = pCurrentPage;
  ProcessLink(LinkTo("#s1"));
  EXPECT_EQ(pCurrentPage, top);
  EXPECT_EQ(HistoryI, 1);
  // The anchor stands before "Section one" on the third line.
  EXPECT_EQ(TargetPos, static_cast<int>(string(top->pImage).find("Section one")));
  EXPECT_EQ(HtmlSetHistory(-1), 1);
  EXPECT_EQ(pCurrentPage, top);
  EXPECT_EQ(HistoryI, 0);
  EXPECT_EQ(HtmlSetHistory(-1), 0);
  HtmlResetFiles();
  ParseHtmlFile("a.html", kTwoPages);
  ProcessLink(LinkTo("#s2"));
  EXPECT_STREQ(PageName(), "s2");
  EXPECT_EQ(TargetPos, 0);
  // An anchor on another page of the file opens that page at the anchor.
  HtmlResetFiles();
  ParseHtmlFile("a.html", kTwoPages);
  EXPECT_EQ(GoToTarget("#mark"), 1);
  EXPECT_STREQ(PageName(), "s2");
  EXPECT_EQ(TargetPos, 3);
  EXPECT_EQ(GoToTarget("nowhere"), 0);
  EXPECT_STREQ(PageName(), "s2");
  EXPECT_EQ(HistoryI, 1);
}

TEST_F(HelpNavTest, TheHistoryKeepsAHundredMovesBackWalksThemAllAndContentsNeedsOne) {
  ParseHtmlFile("a.html", kTwoPages);
  for (int i = 0; i < 150; ++i) GoToTarget(i % 2 == 0 ? "s2" : "#s1");
  EXPECT_EQ(HistoryI, HELP_HISTORY_SIZE);
  int backs = 0;
  while (HtmlSetHistory(-1)) ++backs;
  EXPECT_EQ(backs, HELP_HISTORY_SIZE);
  // The first entry recorded where the operator started.
  EXPECT_STREQ(PageName(), "contents");
  HtmlResetFiles();
  ParseHtmlFile("a.html", kTwoPages);
  EXPECT_EQ(HtmlSetHistory(0), 0);
  GoToTarget("s2");
  GoToTarget("mark");
  EXPECT_EQ(HtmlSetHistory(0), 1);
  EXPECT_STREQ(PageName(), "contents");
  EXPECT_EQ(HistoryI, 0);
  EXPECT_EQ(CurrentFile, 0);
}

TEST_F(HelpNavTest, TheContentsAndBackActionsRebuildOnlyWhenTheyMove) {
  ParseHtmlFile("a.html", kTwoPages);
  TtyHelpBuildMenuItems();
  char* before = HelpMenuItems[0].pLabel;
  EXPECT_EQ(TtyHelpBack(&HelpMenu, nullptr), 0);
  EXPECT_EQ(HelpMenuItems[0].pLabel, before);
  TextMenuItem item{};
  item.pItemData = LinkTo("#s2");
  EXPECT_EQ(TtyHelpGotoLink(&HelpMenu, &item), 0);
  EXPECT_STREQ(HelpMenuItems[0].pLabel, "S2 here<Top>\n");
  EXPECT_EQ(TtyHelpContents(&HelpMenu, nullptr), 0);
  EXPECT_EQ(HelpMenuItems[0].pLabel, before);
}

// ---- Other files ----

TEST_F(HelpNavTest, ALinkToAnotherFileLoadsItBesideTheCurrentOneAndBackReturns) {
  testutil::ScratchDir dir;
  ASSERT_TRUE(testutil::WriteFile(dir / "a.html",
                                  "<html><body><a href=\"b.html#sec\">B</a> "
                                  "<a href=\"b.html\">B top</a> <a href=\"a.html#self\">me</a>"
                                  "<a href=\"gone.html\">gone</a><br><a name=\"self\">x</a></body></html>"));
  ASSERT_TRUE(testutil::WriteFile(dir / "b.html",
                                  "<html><body>first<br><a name=\"sec\"></a>section</body></html>"));
  ASSERT_TRUE(HtmlHelp((dir / "a.html").c_str(), nullptr));
  HtmlPage* a = pCurrentPage;

  ProcessLink(LinkTo("b.html#sec"));
  EXPECT_EQ(CurrentFile, 1);
  EXPECT_STREQ(aFile[1].pName, (dir / "b.html").c_str());
  EXPECT_EQ(TargetPos, 6);
  EXPECT_EQ(HistoryI, 1);
  EXPECT_EQ(HtmlSetHistory(-1), 1);
  EXPECT_EQ(pCurrentPage, a);
  EXPECT_EQ(CurrentFile, 0);

  // The loaded file is not read again; its target is still applied.
  ProcessLink(LinkTo("b.html"));
  EXPECT_EQ(FileIndex, 2);
  EXPECT_EQ(TargetPos, 0);
  EXPECT_STREQ(pCurrentPage->pImage, "first\nsection\n");
  HtmlSetHistory(-1);

  // A name that agrees with the current file goes to the target in it.
  ProcessLink(LinkTo("a.html#self"));
  EXPECT_EQ(CurrentFile, 0);
  EXPECT_EQ(TargetPos, static_cast<int>(string(a->pImage).rfind('x')));

  testing::internal::CaptureStdout();
  ProcessLink(LinkTo("gone.html"));
  EXPECT_EQ(testing::internal::GetCapturedStdout(), "Error in reading file gone.html\n");
  EXPECT_EQ(pCurrentPage, a);
  EXPECT_EQ(FileIndex, 2);
}

TEST_F(HelpNavTest, OpeningAFileWithATargetShowsTheTargetAndHelpThatCannotBeLoadedIsReported) {
  testutil::ScratchDir dir;
  ASSERT_TRUE(testutil::WriteFile(dir / "t.html", kTwoPages));
  ASSERT_TRUE(HtmlHelp((dir / "t.html#s2").c_str(), nullptr));
  EXPECT_STREQ(PageName(), "s2");
  EXPECT_EQ(HtmlSetHistory(-1), 1);
  EXPECT_STREQ(PageName(), "contents");
  HtmlResetFiles();
  testing::internal::CaptureStderr();
  EXPECT_EQ(HtmlHelp("/nonexistent/help.html", nullptr), 0);
  EXPECT_EQ(HtmlHelp("buffer.html", "no pages here"), 0);
  EXPECT_EQ(HtmlHelp(nullptr, nullptr), 0);
  EXPECT_EQ(testing::internal::GetCapturedStderr(),
            "Error in reading HTML file /nonexistent/help.html\nError reading HTML buffer\n");
  EXPECT_EQ(flBuildingFile, 0);
}

// ---- Pointer positions ----

TEST_F(HelpNavTest, APointerOnALinkFollowsIt) {
  ParseHtmlFile("a.html", kTwoPages);
  // "<One> <Two>": offsets 0 to 4 and 6 to 10.
  HtmlProcessLink(5);
  EXPECT_STREQ(PageName(), "contents");
  HtmlProcessLink(8);
  EXPECT_STREQ(PageName(), "s2");
  EXPECT_EQ(HistoryI, 1);
  flBuildingFile = 1;
  HtmlProcessLink(0);
  flBuildingFile = 0;
  EXPECT_STREQ(PageName(), "s2");
}

// ---- Redirects ----

TEST_F(HelpNavTest, ARedirectIsFoundCutAtItsDotAndReplacedByThePrinterHelpRecord) {
  char text[] = "See $$PaperTray.REDIRECT please";
  EXPECT_STREQ(FindRedirect(text), "PaperTray");
  char plain[] = "See $$Tray.txt or $$x.redirect";
  EXPECT_EQ(FindRedirect(plain), nullptr);
  EXPECT_STREQ(plain, "See $$Tray.txt or $$x.redirect");
  EXPECT_EQ(FindRedirect(nullptr), nullptr);
  testutil::ScratchDir dir;
  DbTHandle* db = DbTOpen((dir / "PrtHelp.xdb").c_str(), 0);
  ASSERT_NE(db, nullptr);
  const char tray[] = "<html><body>The paper tray.</body></html>";
  ASSERT_EQ(DbmTPutRecord(db, "Tray", tray, static_cast<int>(std::strlen(tray))), 1);
  DbTClose(db);
  pPrtHelpDB = DbTOpen((dir / "PrtHelp.xdb").c_str(), 0);

  char buf[NLS_REC_SIZE] = "See $$Tray.redirect";
  EXPECT_STREQ(CheckForRedirect(buf), "Tray");
  EXPECT_STREQ(TmpKey, "Tray");
  EXPECT_STREQ(buf, tray);

  char none[NLS_REC_SIZE] = "Plain help.";
  EXPECT_EQ(CheckForRedirect(none), nullptr);
  EXPECT_STREQ(none, "Plain help.");

  // A name longer than TmpKey is cut to fit it.
  char longName[NLS_REC_SIZE];
  std::snprintf(longName, sizeof longName, "$$%s.redirect", string(100, 'N').c_str());
  EXPECT_EQ(string(CheckForRedirect(longName)), string(HELP_TMP_KEY_SIZE - 1, 'N'));
  DbTClose(pPrtHelpDB);
  pPrtHelpDB = nullptr;
}

// ---- The dialogue ----

// A whole dialogue (links, Back, Contents, Exit Help) runs on a terminal in e2e.ttyhelp.
TEST_F(HelpNavTest, TheHookOpensTheHelpFromAnyMenu) {
  pfnMenuHelp = nullptr;
  TtyHelpInstallHook();
  EXPECT_NE(pfnMenuHelp, nullptr);
  pfnMenuHelp = nullptr;
}
