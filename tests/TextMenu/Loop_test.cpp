// Loop_test.cpp - printing menus, and the menu loop as scripted sessions: selections,
// values, actions, the save and leave questions, submenus, and the end of input;
// settings files.
#include "MenuFixture.h"

namespace {

using MenuLoopTest = MenuTest;

const std::string kLong(400, 'z');

// Each row: a part of the menu as RunMenu first prints it.
TEST_F(MenuLoopTest, PrintsEntriesValuesAndBars) {
  const struct { std::string text, shown; std::function<void(TextMenu*)> prep = {}; } rows[] = {
      {"title Opts\ntext Intro\ninteger H\n  access hidden\ninteger X\n  access fixed\nmulti M\n  states a,b,c\n"
       "  default a,c\nfloat F\n  default 1.25\nrequired R\n  default r\n",
       "\f\nOpts:\n\nIntro \n\n    X .... [0]\n\n 3) M ...." + Cat(25, 270) + "1,3]\n\n 4) F .... [1.250]\n\n"
       " 5) R .... [r]\n\n" + Cat(25, 510, "", "", Cat(25, 232).c_str())},
      {"title Opts\nstyle centred\ntext x\n", "\f\n" + std::string(38, ' ') + "Opts\n\n"},
      {"title " + std::string(90, 'W') + "\nstyle right\ntext x\n", "\f\n" + std::string(90, 'W') + "\n\n"},
      // A hidden current state moves on to the next visible one, or shows empty when
      // there is none; a default text is cut to 255 characters.
      {"choice X\n  states _A,_B,C\n  default 2\n", " 1) X  [3. C]", [](TextMenu* m) {
         for (int n : {1, 1, 0, 7}) HideStateSelection(m->pItems, n);
         ShowStateSelection(m->pItems, 0);
       }},
      {"string O\n", " 1) O  [" + kLong.substr(0, 255) + "]", [](TextMenu* m) { m->pItems->Default = kLong.c_str(); }},
      // A several-states entry of its first state alone, flags.
      {"flags single-spaced save-ask empty-selects\nchoice P\n  states _x\nmulti F\n  states a,b\nquit Q\n  key q\n",
       " 1) P  [ ]\n 2) F " + Cat(25, 270) + Cat(25, 271) + "]\n q) Q \n" +
           Cat(25, 510, Cat(25, 230).c_str(), Cat(25, 231).c_str(), ""),
       [](TextMenu* m) { HideStateSelection(&m->pItems[0], 0), m->MenuFlags |= MENU_HELP; }},
      // Bars lay their cells in columns; a cell too long for its column ends its line.
      {"flags single-spaced empty-selects\naccept Go\nbar 2\nquit Exit Help\n  key e\naccept Contents\n  key c\n"
       "accept Back\n  key b\n", " 1) Go \n e) Exit Help" + std::string(26, ' ') + "  c) Contents" +
       std::string(27, ' ') + " \n b) Back" + std::string(31, ' ') + " \n"},
      {"flags single-spaced\nbar 3\naccept One\ninteger H\n  access hidden\naccept " + std::string(30, 'L') +
       "\nbar 1\naccept Two\ntext t\n", " 1) One" + std::string(18, ' ') + "\n 3) " + std::string(22, 'L') +
       "\n 4) Two" + std::string(72, ' ') + "\n    t" + std::string(74, ' ') + "\n"},
      {"flags single-spaced\ntext a\ntext b\ninteger N\n", "    b" + std::string(10, ' ') + "\n 1) N  [0]\n",
       [](TextMenu* m) { m->pItems[0].ItemType = ITEM_BAR, m->pItems[0].Value = 5; }},
      // Submenus show their titles; one that no condition opens is not shown.
      {"choice C\n  states a,b\nsubmenu s\nsubmenu\n  when C.1 s\nmenu s\ntitle Sub\ntext x\n", " 2) Sub \n\n\n"},
      // Values line up with the longest label as shown: a hot key's marker does not count.
      {"quit Quit\n  key q\ninteger A\ninteger B\n", " q) Quit \n\n 1) A ... [0]\n\n 2) B ... [0]\n"},
  };
  for (const auto& r : rows) {
    TextMenu* m = Desc(r.text);
    if (r.prep) r.prep(m);
    const std::string shown = Run("", [&] { RunMenu(m, nullptr, 1); });
    EXPECT_NE(shown.find(r.shown), std::string::npos) << r.text << "\n" << shown;
  }
}

int gApplied = 0, gRefreshed = 0, gResult = 0;
int Act(TextMenu*, TextMenuItem* it) { return std::printf("<act %s>", it->pLabel), gResult; }

// The menu of the sessions: entries 0 MODE, 1 N, 2 NOTE, 3 F, 4 R, 5 M, 6 the submenu,
// 7 OK, 8 Gone (key q); a row may add menu lines before them and entries after them.
constexpr const char* kEntries =
    "choice MODE Mode\n  states a,_b,c\ninteger N Count\n  prompt How many\n  pattern d(1,10)\n"
    "string NOTE Note\n  default x\nfloat F Scale\nrequired R Req\n  default r\nmulti M Many\n"
    "  states u,_v,w\nsubmenu sub\naccept OK\nquit Gone\n  key q\n";
constexpr const char* kSub = "menu sub\ntitle Sub\ninteger K Kay\n  default 5\naccept Out\n";

// Each row runs the menu on its input. The result: the values that changed, the
// applies and refreshes, "end" when the input ended, and the input left over; and a
// part of what was shown (with a closing '$': the end of it).
TEST_F(MenuLoopTest, RunsScriptedSessions) {
  const std::string save = "save-prompt Save\n", leave = Cat(25, 1018, "prog") + "? [y/n] ", t300(300, 't');
  const struct { std::string head, extra, input, result, shown; std::function<void(TextMenu*)> prep = {}; } rows[] = {
      // Numbers begin the line; the rest of the line is the value; hot keys ignore case.
      {"", "", "1 3\n", "MODE=c a0 r1 end|", " 1) Mode . [1. a]"}, {"", "", "1\n1\n", "MODE=c a0 r1 end|", "[2. b]"},
      {"", "", " 1\n9\n1 9\nQ\nrest\n", "MODE=b a0 r1|rest\n", ""}, {"", "", "2\n7\n", "N=7 a0 r1 end|", "How many: "},
      {"", "", "2 11\n\n", "a0 r1 end|", Cat(25, 1003, 1, 10) + Cat(25, 1001) + "\f"},
      // A number that does not fit an integer is refused like one out of range, never wrapped.
      {"", "integer Z\n", "9 4294967297\n\n9 99999999999999999999\n\n9 -5 \n", "Z=-5 a0 r1 end|",
       Cat(25, 1003, -2147483647, 2147483647) + Cat(25, 1001) + "\f"},
      {"", "", "3 hello  world\n4 2.5\n", "NOTE=hello  world F=2.500 a0 r1 end|", ""},
      {"", "", "3 " + t300 + "\n", "NOTE=" + t300.substr(0, 255) + " a0 r1 end|", ""},
      // The pick list of a several-states entry: numbers toggle, "s" keeps, "c" takes back;
      // a number hidden or unknown drops the rest of its line.
      {"", "", "6 2, 3\ns\n", "M=v,w a0 r1 end|", "<act Many>"}, {"", "", "6\n1 2\nSave\n", "M=v a0 r1 end|", ""},
      {"", "", "6\n2\nc\n", "a0 r1 end|", "<act Many>"},
      {"", "", "6\n\n2 3\n9,3\nx\n-\nS\n", "a0 r1 end|", "       v",
       [](TextMenu* m) { HideStateSelection(&m->pItems[5], 1); }},
      // Accept needs every shown required text and a successful action.
      {"", "required E\n", "8\n\n9 e\n8\nrest\n", "E=e a0 r1|rest\n", Cat(25, 1011)},
      {"", "required E\n  access hidden\n", "8\nrest\n", "a0 r1|rest\n", ""},
      {"", "", "8\n1 3\n", "MODE=c a0 r1 end|", "<act Mode>",
       [](TextMenu* m) { gResult = 3, m->pItems[7].pfnAction = m->pItems[0].pfnAction = Act; }},
      {"flags reinit\n", "", "8\n1 3\n8\n", "MODE=c a0 r1 end|", "<act OK>",
       [](TextMenu* m) { m->pItems[7].ItemType = ITEM_ACTION, m->pItems[7].pfnAction = Act; }},
      // Leaving: the save question after changes, else the apply and the leave question.
      {save, "", "\ny\nrest\n", "a0 r1|rest\n", leave + "\n"},
      {save, "", "1 3\n\ny\nx\n", "MODE=c a1 r1|x\n", "Save? [y/n] "},
      {save, "", "1 3\n\nn\nmaybe\nn\n", "MODE=c a0 r2 end|", "Save? [y/n] " + leave + leave},
      {save, "required E\n", "1 3\n\ny\n\n\nn\n", "MODE=c a0 r1 end|", Cat(25, 1011)},
      {"", "", "\nn\n\ny\nrest\n", "a2 r2|rest\n", leave + "\n"},
      // A submenu keeps its values while its parent runs; an action may leave every menu.
      {"", "", "7\n1 42\n\ny\n7\n\ny\n\ny\n", "K=42 a1 r3|", Cat(25, 1017, "Main") + "? [y/n] "},
      {"", "", "7\n2\n1 3\n", "a0 r2|1 3\n", " 1) Kay  [5]", [](TextMenu* m) {
         m->pItems[6].Value.pMenu->pItems[1].pfnAction = [](TextMenu*, TextMenuItem*) {
           return flExitTextMenu = 1, 0;
         };
       }},
      // The end of input or a closed input at every question leaves without applying.
      {save, "", "1 3\n\n", "MODE=c a0 r1 end|", "Save? [y/n] $"}, {"", "", "\n", "a1 r1 end|", leave + "$"},
      {"", "", "2\n", "a0 r1 end|", "How many: $"}, {"", "", "2 11\n", "a0 r1 end|", Cat(25, 1001) + "$"},
      {"", "required E\n", "8\n", "a0 r1 end|", Cat(25, 1011) + "$"}, {"", "", "6 2\n", "a0 r1 end|", " -> 2) v"},
      {"", "", "7\n", "a0 r2 end|", "Sub:"}, {"", "", kClosed, "a0 r1 end|", " 1) Mode"},
      {"flags save-ask\n", "", "s\n", "a0 r1 end|", "Enter the settings file name: $"},
      {"", "", "zz\n\n", "a0 r1 end|", Cat(25, 1012, "zz") + Cat(25, 1001) + "\f",
       [](TextMenu* m) { m->MenuFlags |= MENU_SAY_INVALID; }},
      // Choosing the current state, a hidden state, an entry that is not normal; "h" under
      // the help flag calls the help hook; the values are released without the keep flag.
      {"", "", "1 1\n1 2\nh\n3 v\nq\n", "MODE=c NOTE= R= a0 r1 end|", "<help Main>", [](TextMenu* m) {
         HideStateSelection(&m->pItems[0], 1), m->pItems[2].Access = 1, m->pItems[8].Access = 1;
         m->MenuFlags = (m->MenuFlags | MENU_HELP) & ~MENU_KEEP_ITEMS;
         pfnMenuHelp = [](TextMenu* menu, const char*) { std::printf("<help %s>", menu->pTitle); };
       }},
  };
  for (const auto& r : rows) {
    TextMenu* m = Desc("title Main\nflags single-spaced\n" + r.head + kEntries + r.extra + kSub);
    m->pfnApply = [](TextMenu*) { ++gApplied; };
    m->pfnRefresh = [](TextMenu*) { ++gRefreshed; };
    m->pItems[5].pfnAction = Act;
    gApplied = gRefreshed = gResult = flExitTextMenu = 0;
    pfnMenuHelp = nullptr;
    InitMenu(m, nullptr), InitMenu(m->pItems[6].Value.pMenu, nullptr);
    const std::vector<std::string> before = Lines();
    if (r.prep) r.prep(m);
    const std::string shown = Run(r.input, [&] { EXPECT_EQ(RunMenu(m, nullptr, 1), 0); });
    std::string got;
    const std::vector<std::string> after = Lines();
    for (size_t i = 0; i < before.size(); ++i) got += after[i] != before[i] ? after[i] + " " : "";
    got += "a" + std::to_string(gApplied) + " r" + std::to_string(gRefreshed) + (flInputEnded ? " end|" : "|");
    EXPECT_EQ(got + unread_, r.result) << r.head + r.extra + r.input.substr(0, 60);
    const bool last = !r.shown.empty() && r.shown.back() == '$';
    const size_t at = shown.rfind(r.shown.substr(0, r.shown.size() - last));
    EXPECT_TRUE(at != std::string::npos && (!last || at + r.shown.size() - 1 == shown.size()))
        << r.input << "\n" << shown;
  }
  pfnMenuHelp = nullptr;
}

// A new top-level run starts from the defaults; "s" under the save-ask flag writes
// the settings (the name's pattern: Validate_test).
TEST_F(MenuLoopTest, StartsFromDefaultsAndSavesToAFullPath) {
  TextMenu* m = Desc(std::string("title Main\nflags save-ask\n") + kEntries + kSub);
  const std::string file = scratch_ / "set_1";
  Run("1 3\n7\n1 42\n\ny\ns\n" + file + "\n\n", [&] { RunMenu(m, nullptr, 1); });
  EXPECT_EQ(testutil::ReadFile(file), "0[2] 9 0\n1[0] 13 0\n2[x] 12 0\n3[0.000] 14 0\n4[r] 11 0\n6{\n0[42] 13 0\n}\n");
  EXPECT_EQ(Run("", [&] { RunMenu(m, nullptr, 1); }).find("[42]"), std::string::npos);
  EXPECT_EQ(testutil::Take(FormatMenuValues(desc_)), "MODE=a\nN=0\nNOTE=x\nF=0.000\nR=r\nM=\nK=5\n");
  EXPECT_EQ(ProcessSelection(m, 99, nullptr) + FindSelection(m, nullptr, 9), 0);
}

// A menu with every stored type, a several-states entry and two conditioned submenus
// (entries 0 P, 1 T, 2 N, 3 C, 4 S, 5 F, 6 the submenu, 7 a text line). Each row is
// loaded into the menus at their defaults, and the settings are stored again (lines
// joined by blanks); the submenu's accept action runs at its '}'.
TEST_F(MenuLoopTest, LoadsAndStoresLines) {
  TextMenu* menu = Desc("choice P\n  states Letter,A4,A5\n  default A4\nrequired T\n  default Report\nstring N\n"
                        "integer C\n  default 2\nfloat S\n  default 1.5\nmulti F\n  states none,a,b\n  default a,b\n"
                        "submenu\n  when P.1 sub\n  when P.2 other\ntext x\nmenu sub\ninteger R\n  default 600\n"
                        "accept OK\nmenu other\ninteger O\n  default 1\n");
  TextMenu** subs = menu->pItems[6].Value.ppMenus;
  subs[0]->pItems[1].pfnAction = [](TextMenu*, TextMenuItem*) { return ++gApplied, 0; };
  const struct { const char *lines, *stored; } rows[] = {
      {"", "0[1] 9 0 1[Report] 11 0 2[] 12 0 3[2] 13 0 4[1.500] 14 0 6{ 0[600] 13 0 } 0"},
      {"0[1] 9 1\n1[Monthly] 11 2\n2[n-1.x] 12 0\n3[-7] 13 0\n4[2.250] 14 1\n6{\n0[300] 13 0\n}\n",
       "0[1] 9 1 1[Monthly] 11 2 2[n-1.x] 12 0 3[-7] 13 0 4[2.250] 14 1 6{ 0[300] 13 0 } 1"},
      // Indexes outside the menu, blocks of submenus that do not apply, bad access values.
      {"9[1] 13 0\n-1[1] 13 0\n0[0] 9 0\n6{\n0[5] 13 0\n2{\n}\n}\n3[8] 13 0\n0[1] 9 7\n0[x 9 0\nx\n",
       "0[1] 9 0 1[Report] 11 0 2[] 12 0 3[8] 13 0 4[1.500] 14 0 6{ 0[600] 13 0 } 0"},
      // A state outside the list is the first; a text runs to the line's last ']'.
      {"0[7] 9 0\n1[two words] 11 1\n2[a]b] 12 0\n3[12abc] 13 2\n4[x] 14 0\n",
       "0[0] 9 0 1[two words] 11 1 2[a]b] 12 0 3[12] 13 2 4[0.000] 14 0 0"},
      // A stored type changes an entry only within its kind of value.
      {"2[x] 11 0\n3[5] 9 0\n0[1] 11 0\n1[3] 13 0\n",
       "0[1] 9 0 1[3] 11 0 2[x] 11 0 3[5] 9 0 4[1.500] 14 0 6{ 0[600] 13 0 } 0"},
  };
  for (const auto& r : rows) {
    gApplied = 0;
    for (TextMenu* m : {menu, subs[0], subs[1]}) InitMenu(m, nullptr);
    for (int i = 0; i < 8; ++i) menu->pItems[i].Access = ACCESS_NORMAL;
    testutil::WriteFile(scratch_ / "in", r.lines);
    ASSERT_EQ(OpenInputFile((scratch_ / "in").c_str(), 1), 1);
    LoadMenu(menu);
    CloseInputFile();
    pOut = std::fopen((scratch_ / "out").c_str(), "w");
    StoreMenu(menu);
    std::fclose(pOut);
    pOut = nullptr;
    std::string got = testutil::ReadFile(scratch_ / "out") + std::to_string(gApplied);
    std::replace(got.begin(), got.end(), '\n', ' ');
    EXPECT_EQ(got, r.stored) << r.lines;
  }
  EXPECT_EQ(flLoadedSettings, 1);
}

}  // namespace
