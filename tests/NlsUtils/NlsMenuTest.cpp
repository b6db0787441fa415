// NlsMenuTest.cpp - menu entries and menu texts filled from message set 25 of the
// core catalogue.
#include "NlsFixture.h"

#include "TextMenu/TextMenu.h"

#include <cstring>
#include <string>

namespace {

class MenuTexts : public NlsTest {
 protected:
  void SetUp() override {
    NlsTest::SetUp();
    Compile("25 201 \"~a Accept\"\n"
            "25 202 \"~c Cancel\"\n"
            "25 203 \"Letter,A4,Legal\"\n"
            "25 204 \"" + std::string(200, 'x') + "\"\n");
    pDrvCoreDB = Open();
    ASSERT_NE(nullptr, pDrvCoreDB);
  }
  void TearDown() override {
    for (TextMenuItem& item : items_) {
      PutMem(item.pLabel);
      PutMem(item.pStates);
      PutMem(item.pPrompt);
    }
    NlsTest::TearDown();
  }
  TextMenuItem items_[4] = {};
};

TEST_F(MenuTexts, LabelsStatesPromptsAndMenuTextsTakeConsecutiveMessages) {
  NlsTtyMenuItemCvt(items_, 201, 2);
  EXPECT_STREQ("~a Accept", items_[0].pLabel);
  EXPECT_STREQ("~c Cancel", items_[1].pLabel);
  EXPECT_EQ(nullptr, items_[2].pLabel);
  NlsTtyMenuItemStateCvt(items_ + 2, 203, 1);
  EXPECT_STREQ("Letter,A4,Legal", items_[2].pStates);
  EXPECT_EQ(nullptr, items_[2].pLabel);
  NlsTtyMenuItemPromptCvt(items_ + 3, 202, 1);
  EXPECT_STREQ("~c Cancel", items_[3].pPrompt);
  EXPECT_EQ(nullptr, items_[3].pStates);
  // A menu text is a new copy of any length.
  char* text = nullptr;
  NlsTtyMenuCvt(&text, 204);
  EXPECT_EQ(std::string(200, 'x'), Take(text));
  NlsTtyMenuCvt(&text, 205);
  EXPECT_EQ("25_205", Take(text));
  char* again = nullptr;
  NlsTtyMenuCvt(&text, 201);
  NlsTtyMenuCvt(&again, 201);
  EXPECT_NE(text, again);
  EXPECT_EQ("~a Accept", Take(text));
  EXPECT_EQ("~a Accept", Take(again));
}

TEST_F(MenuTexts, EntryTextsAreCutTo127CharactersAndMissingMessagesGiveTheirKeys) {
  NlsTtyMenuItemCvt(items_, 204, 1);
  EXPECT_EQ(std::string(127, 'x'), items_[0].pLabel);
  NlsTtyMenuItemCvt(items_ + 1, 299, 2);
  EXPECT_STREQ("25_299", items_[1].pLabel);
  EXPECT_STREQ("25_300", items_[2].pLabel);
  // Without the core catalogue every entry shows its key.
  DbTClose(pDrvCoreDB);
  pDrvCoreDB = nullptr;
  NlsTtyMenuItemPromptCvt(items_ + 3, 201, 1);
  EXPECT_STREQ("25_201", items_[3].pPrompt);
}

}  // namespace
