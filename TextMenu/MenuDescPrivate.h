// MenuDescPrivate.h - the parsed form of a menu description, between the reader of the
// text (MenuDescParse.cpp) and the builder of the engine's tables (MenuDescBuild.cpp).
#pragma once

#include "TextMenu/TextMenu.h"

#include <cstdint>
#include <string>
#include <utility>
#include <vector>

namespace menu_desc {

// One entry line and its attribute lines.
struct Entry {
  int Line = 0;            // line of the entry in the description
  int Type = 0;            // ITEM_...
  std::string Name;        // value entries: NAME; submenu without conditions: the menu block
  std::string Label;
  char Key = 0;            // hot key, 0 when none
  int Access = ACCESS_NORMAL;
  std::string States;
  bool HasDefault = false;
  std::string Default;
  int DefaultLine = 0;
  std::string Prompt;
  std::string Pattern;
  std::string Rules;
  int RulesLine = 0;
  int BarColumns = 0;      // bar: column count
  std::vector<std::pair<std::string, std::string>> Whens;  // condition, menu block
  std::vector<int> WhenLines;
};

// The top menu or one "menu NAME" block.
struct Menu {
  int Line = 0;
  std::string Name;        // "" for the top menu
  std::string Title;
  int Style = 0;
  uint16_t Flags = 0;
  std::string SavePrompt;
  bool HasSavePrompt = false;
  std::vector<Entry> Entries;
};

struct Description {
  std::string Source;      // the name in error reports
  std::string ProgName;    // "name" of the top menu
  std::vector<Menu> Menus; // [0] is the top menu
  int Errors = 0;
};

// Reports a fault of the description on standard error and counts it.
void Fault(Description& d, int line, const char* fmt, ...) KANDU_PRINTF(3, 4);

// Reads the text into d (faults counted in d.Errors).
void ParseText(Description& d, const char* text);
// Builds the engine's menus; null when the description has faults (reported).
MenuDescription* Build(Description& d);

}  // namespace menu_desc
