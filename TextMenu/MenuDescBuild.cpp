// MenuDescBuild.cpp - checks a parsed menu description and builds the engine's
// menu tables from it; formats the chosen values as NAME=VALUE lines.
#include "TextMenu/MenuDescPrivate.h"
#include "TextMenu/TextMenuPrivate.h"

#include "MemMgr/MemMgr.h"

#include <cctype>
#include <cerrno>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <map>
#include <set>

namespace menu_desc {

namespace {

using NameMap = std::map<std::string, int>;  // entry name -> index in its menu

std::vector<std::string> SplitStates(const std::string& states) {
  std::vector<std::string> out;
  size_t start = 0;
  for (;;) {
    const size_t comma = states.find(',', start);
    out.push_back(states.substr(start, comma == std::string::npos ? std::string::npos : comma - start));
    if (comma == std::string::npos) return out;
    start = comma + 1;
  }
}

// A state as shown: without a leading '_'.
std::string Shown(const std::string& state) {
  return (!state.empty() && state[0] == '_') ? state.substr(1) : state;
}

// The state of a default: a state's text, else its number from 1; -1 when none.
int FindState(const std::vector<std::string>& states, const std::string& word) {
  for (size_t i = 0; i < states.size(); ++i)
    if (Shown(states[i]) == word) return static_cast<int>(i);
  char* end = nullptr;
  const long n = std::strtol(word.c_str(), &end, 10);
  if (!word.empty() && *end == '\0' && n >= 1 && n <= static_cast<long>(states.size()))
    return static_cast<int>(n - 1);
  return -1;
}

bool IsIdentStart(char c) { return std::isalpha(static_cast<unsigned char>(c)) || c == '_'; }
bool IsIdent(char c) { return std::isalnum(static_cast<unsigned char>(c)) || c == '_'; }

// Appends the index of the entry whose name starts at in[*i] to out and moves *i past
// the name. False, with a fault naming the name and what named it, when no entry of
// the menu has that name.
bool AppendIndex(Description& d, int line, const char* what, const std::string& in, size_t* i,
                 const NameMap& names, std::string* out) {
  size_t j = *i;
  while (j < in.size() && IsIdent(in[j])) ++j;
  const std::string name = in.substr(*i, j - *i);
  const auto it = names.find(name);
  if (it == names.end()) {
    Fault(d, line, "the %s names \"%s\", which is no entry of this menu", what, name.c_str());
    return false;
  }
  *out += std::to_string(it->second);
  *i = j;
  return true;
}

// Rules: entry names inside the braces become the entries' indexes.
bool TranslateRules(Description& d, int line, const std::string& in, const NameMap& names, std::string* out) {
  out->clear();
  bool inBraces = false;
  for (size_t i = 0; i < in.size();) {
    const char c = in[i];
    if (c == '{') inBraces = true;
    if (c == '}' || c == ' ') inBraces = false;
    if (!inBraces || !IsIdentStart(c)) {
      out->push_back(c);
      ++i;
      continue;
    }
    if (!AppendIndex(d, line, "rule", in, &i, names, out)) return false;
  }
  return true;
}

// Checks the syntax of a translated condition: atoms "[+-]i.v" with an optional
// 'A', '!', '&', '|' and parentheses.
struct CondCheck {
  const char* P;
  bool Or() {
    if (!And()) return false;
    while (*P == '|') {
      ++P;
      if (!And()) return false;
    }
    return true;
  }
  bool And() {
    if (!Not()) return false;
    while (*P == '&') {
      ++P;
      if (!Not()) return false;
    }
    return true;
  }
  bool Not() {
    if (*P == '!') {
      ++P;
      return Not();
    }
    if (*P == '(') {
      ++P;
      if (!Or() || *P != ')') return false;
      ++P;
      return true;
    }
    if (*P == '+' || *P == '-') ++P;
    if (!std::isdigit(static_cast<unsigned char>(*P))) return false;
    while (std::isdigit(static_cast<unsigned char>(*P))) ++P;
    if (*P++ != '.') return false;
    if (*P == '-') ++P;
    if (!std::isdigit(static_cast<unsigned char>(*P))) return false;
    while (std::isdigit(static_cast<unsigned char>(*P))) ++P;
    if (*P == 'A') ++P;
    return true;
  }
};

// Conditions: a name followed by '.' becomes its entry's index.
bool TranslateCondition(Description& d, int line, const std::string& in, const NameMap& names,
                        std::string* out) {
  out->clear();
  for (size_t i = 0; i < in.size();) {
    const char c = in[i];
    const bool suffix = c == 'A' && i > 0 && std::isdigit(static_cast<unsigned char>(in[i - 1]));
    if (suffix || !IsIdentStart(c)) {
      out->push_back(c);
      ++i;
      continue;
    }
    if (!AppendIndex(d, line, "condition", in, &i, names, out)) return false;
  }
  CondCheck check{out->c_str()};
  if (!check.Or() || *check.P != '\0') {
    Fault(d, line, "the condition \"%s\" cannot be read", in.c_str());
    return false;
  }
  return true;
}

// Checks one entry's values against its type; converts the default.
void CheckEntry(Description& d, const Entry& e) {
  const int line = e.DefaultLine != 0 ? e.DefaultLine : e.Line;
  if (e.Type == ITEM_ONE_OF || e.Type == ITEM_MANY_OF) {
    if (e.States.empty()) {
      Fault(d, e.Line, "the entry %s has no states", e.Name.c_str());
      return;
    }
    const std::vector<std::string> states = SplitStates(e.States);
    if (states.size() > static_cast<size_t>(MENU_MAX_STATES))
      Fault(d, e.Line, "the entry %s has %zu states; an entry holds at most %d", e.Name.c_str(),
            states.size(), MENU_MAX_STATES);
    for (const std::string& s : states)
      if (Shown(s).empty()) Fault(d, e.Line, "the entry %s has an empty state", e.Name.c_str());
    if (!e.HasDefault) return;
    if (e.Type == ITEM_ONE_OF) {
      if (FindState(states, e.Default) < 0)
        Fault(d, line, "the default \"%s\" is no state of %s", e.Default.c_str(), e.Name.c_str());
      return;
    }
    for (const std::string& w : SplitStates(e.Default))
      if (FindState(states, w) < 0)
        Fault(d, line, "the default \"%s\" is no state of %s", w.c_str(), e.Name.c_str());
    return;
  }
  if (!e.HasDefault) return;
  char* end = nullptr;
  const char* text = e.Default.c_str();
  if (e.Type == ITEM_INT) {
    errno = 0;
    const long v = std::strtol(text, &end, 10);
    if (*text == '\0' || *end != '\0' || errno != 0 || v < menu_internal::kIntValueMin || v > menu_internal::kIntValueMax)
      Fault(d, line, "the default of %s is no integer", e.Name.c_str());
  } else if (e.Type == ITEM_FLOAT) {
    std::strtod(text, &end);
    if (*text == '\0' || *end != '\0') Fault(d, line, "the default of %s is no number", e.Name.c_str());
  } else if ((e.Type == ITEM_REQUIRED || e.Type == ITEM_OPTIONAL) && e.Default.size() >= MENU_VALUE_SIZE) {
    Fault(d, line, "the default of %s is longer than %d characters", e.Name.c_str(), MENU_VALUE_SIZE - 1);
  }
}

char* Managed(const std::string& s) { return SaveStr_(s.c_str()); }

MenuValue DefaultOf(const Entry& e) {
  if (!e.HasDefault) return (e.Type == ITEM_REQUIRED || e.Type == ITEM_OPTIONAL) ? MenuValue(nullptr) : MenuValue(0);
  switch (e.Type) {
    case ITEM_ONE_OF:
      return MenuValue(FindState(SplitStates(e.States), e.Default));
    case ITEM_MANY_OF: {
      const std::vector<std::string> states = SplitStates(e.States);
      unsigned long bits = 0;
      for (const std::string& w : SplitStates(e.Default)) bits |= 1UL << FindState(states, w);
      return MenuValue(static_cast<long>(bits));
    }
    case ITEM_INT:
      return MenuValue(std::strtol(e.Default.c_str(), nullptr, 10));
    case ITEM_FLOAT:
      return MenuValue(std::strtod(e.Default.c_str(), nullptr));
    default:
      return MenuValue(Managed(e.Default));
  }
}

// Index of each menu block by name; faults for duplicates.
std::map<std::string, int> MenuIndex(Description& d) {
  std::map<std::string, int> index;
  for (size_t i = 1; i < d.Menus.size(); ++i) {
    if (!index.emplace(d.Menus[i].Name, static_cast<int>(i)).second)
      Fault(d, d.Menus[i].Line, "the menu \"%s\" is defined twice", d.Menus[i].Name.c_str());
  }
  return index;
}

// The menus an entry opens.
std::vector<std::pair<std::string, int>> Opens(const Entry& e) {
  std::vector<std::pair<std::string, int>> out;
  if (!e.Name.empty()) out.emplace_back(e.Name, e.Line);
  for (size_t k = 0; k < e.Whens.size(); ++k) out.emplace_back(e.Whens[k].second, e.WhenLines[k]);
  return out;
}

// Faults for a menu that opens itself through its submenus: a depth-first walk
// that reports each way back to a menu still being walked once.
void CheckCycles(Description& d, const std::map<std::string, int>& index, int menu, std::vector<int>& state) {
  state[menu] = 1;  // being walked
  for (const Entry& e : d.Menus[menu].Entries) {
    if (e.Type != ITEM_SUBMENU) continue;
    for (const auto& [name, line] : Opens(e)) {
      const auto it = index.find(name);
      if (it == index.end()) continue;
      if (state[it->second] == 1) {
        Fault(d, line, "the menu \"%s\" would open itself", name.c_str());
        continue;
      }
      if (state[it->second] == 0) CheckCycles(d, index, it->second, state);
    }
  }
  state[menu] = 2;  // done
}

// The names of the value entries of a menu and their indexes.
NameMap NamesOf(const Menu& m) {
  NameMap names;
  for (size_t i = 0; i < m.Entries.size(); ++i)
    if (m.Entries[i].Type >= ITEM_ONE_OF) names[m.Entries[i].Name] = static_cast<int>(i);
  return names;
}

// Faults of the names in an entry's rules and conditions.
void CheckReferences(Description& d, const Entry& e, const NameMap& names) {
  std::string text;
  if ((e.Type == ITEM_ONE_OF || e.Type == ITEM_MANY_OF) && !e.Rules.empty())
    TranslateRules(d, e.RulesLine, e.Rules, names, &text);
  for (size_t k = 0; k < e.Whens.size(); ++k) TranslateCondition(d, e.WhenLines[k], e.Whens[k].first, names, &text);
}

void CheckMenus(Description& d, const std::map<std::string, int>& index) {
  std::set<std::string> names;
  for (size_t mi = 0; mi < d.Menus.size(); ++mi) {
    Menu& m = d.Menus[mi];
    if (m.Entries.empty()) Fault(d, m.Line != 0 ? m.Line : 1, "the menu has no entries");
    if (mi > 0 && m.HasSavePrompt)
      Fault(d, m.Line, "\"save-prompt\" belongs to the top menu: submenus are saved with it");
    std::set<char> keys;
    const NameMap entryNames = NamesOf(m);
    for (const Entry& e : m.Entries) {
      if (!e.Name.empty() && e.Type != ITEM_SUBMENU && !names.insert(e.Name).second)
        Fault(d, e.Line, "the name %s is used twice", e.Name.c_str());
      if (e.Key != 0 && !keys.insert(e.Key).second) Fault(d, e.Line, "the key %c is used twice", e.Key);
      if (e.Key == 's' && (m.Flags & (MENU_SAVE_ASK | MENU_SAVE_EXIT)))
        Fault(d, e.Line, "the key s saves the settings in this menu");
      if (e.Type == ITEM_SUBMENU) {
        if (e.Name.empty() && e.Whens.empty()) Fault(d, e.Line, "the submenu names no menu");
        for (const auto& [name, line] : Opens(e))
          if (index.find(name) == index.end()) Fault(d, line, "there is no menu \"%s\"", name.c_str());
      }
      CheckEntry(d, e);
      CheckReferences(d, e, entryNames);
    }
  }
  std::vector<int> state(d.Menus.size(), 0);
  CheckCycles(d, index, 0, state);
}

void FillItem(Description& d, const Entry& e, const NameMap& names, const std::map<std::string, int>& index,
              const std::vector<TextMenu*>& menus, TextMenuItem* it) {
  it->pLabel = e.Key != 0 ? SaveStr("~%c %s", e.Key, e.Label.c_str()) : Managed(e.Label);
  it->ItemType = e.Type;
  it->Access = e.Access;
  it->pPrompt = e.Prompt.empty() ? nullptr : Managed(e.Prompt);
  it->pStates = e.States.empty() ? nullptr : Managed(e.States);
  it->Default = DefaultOf(e);
  it->Saved = -1;
  std::string text;
  if (e.Type == ITEM_BAR_ALL) it->Value = MenuValue(e.BarColumns);
  if (e.Type >= ITEM_REQUIRED && !e.Pattern.empty()) it->pRules = Managed(e.Pattern);
  if ((e.Type == ITEM_ONE_OF || e.Type == ITEM_MANY_OF) && !e.Rules.empty() &&
      TranslateRules(d, e.RulesLine, e.Rules, names, &text))
    it->pRules = Managed(text);
  if (e.Type != ITEM_SUBMENU) return;
  if (e.Whens.empty()) {
    it->Value = MenuValue(menus[index.at(e.Name)]);
    return;
  }
  auto** subs = static_cast<TextMenu**>(GetMem(sizeof(TextMenu*) * e.Whens.size()));
  std::string conds;
  for (size_t k = 0; k < e.Whens.size(); ++k) {
    if (!TranslateCondition(d, e.WhenLines[k], e.Whens[k].first, names, &text)) continue;
    conds += (k > 0 ? " " : "") + text;
    subs[k] = menus[index.at(e.Whens[k].second)];
  }
  it->pRules = Managed(conds);
  it->Value = MenuValue(subs);
}

}  // namespace

MenuDescription* Build(Description& d) {
  const std::map<std::string, int> index = MenuIndex(d);
  CheckMenus(d, index);
  if (d.Errors > 0) return nullptr;

  std::vector<TextMenu*> menus;
  for (size_t mi = 0; mi < d.Menus.size(); ++mi) menus.push_back(static_cast<TextMenu*>(GetMem(sizeof(TextMenu))));
  auto* desc = static_cast<MenuDescription*>(GetMem(sizeof(MenuDescription)));
  int named = 0;
  for (const Menu& m : d.Menus)
    for (const Entry& e : m.Entries) named += (e.Type >= ITEM_ONE_OF) ? 1 : 0;
  desc->pEntries = static_cast<MenuDescEntry*>(GetMem(sizeof(MenuDescEntry) * static_cast<size_t>(named + 1)));

  for (size_t mi = 0; mi < d.Menus.size(); ++mi) {
    const Menu& m = d.Menus[mi];
    TextMenu* tm = menus[mi];
    tm->pTitle = Managed(m.Title.empty() ? m.Name : m.Title);
    tm->TitleStyle = m.Style;
    tm->pSavePrompt = m.HasSavePrompt ? Managed(m.SavePrompt) : nullptr;
    // The program reads the values after the menu has ended: they are kept.
    tm->MenuFlags = static_cast<uint16_t>(m.Flags | MENU_KEEP_ITEMS);
    tm->pItems = static_cast<TextMenuItem*>(GetMem(sizeof(TextMenuItem) * (m.Entries.size() + 1)));
    const NameMap names = NamesOf(m);
    for (size_t i = 0; i < m.Entries.size(); ++i) {
      const Entry& e = m.Entries[i];
      FillItem(d, e, names, index, menus, &tm->pItems[i]);
      if (e.Type == ITEM_SUBMENU)
        for (const auto& [name, line] : Opens(e)) {
          TextMenu* sub = menus[index.at(name)];
          if (sub->pParent == nullptr) sub->pParent = tm;
        }
      if (e.Type >= ITEM_ONE_OF) desc->pEntries[desc->EntryCnt++] = {Managed(e.Name), tm, static_cast<int>(i)};
    }
  }
  if (d.Errors > 0) return nullptr;
  desc->pTop = menus[0];
  desc->pName = d.ProgName.empty() ? nullptr : Managed(d.ProgName);
  return desc;
}

}  // namespace menu_desc

MenuDescription* ParseMenuDescription(const char* text, const char* source) {
  menu_desc::Description d;
  d.Source = source != nullptr ? source : "menu";
  menu_desc::ParseText(d, text != nullptr ? text : "");
  return menu_desc::Build(d);
}

MenuDescription* LoadMenuDescription(const char* path) {
  if (path == nullptr) return nullptr;
  const char* program = my_name != nullptr ? my_name : "menu";
  std::string text;
  if (!ReadWholeFile(program, path, &text)) return nullptr;
  const char* source = std::strcmp(path, "-") == 0 ? "standard input" : path;
  if (text.find('\0') != std::string::npos) {
    std::fprintf(stderr, "%s: %s: the description holds a zero byte\n", program, source);
    return nullptr;
  }
  return ParseMenuDescription(text.c_str(), source);
}

char* FormatMenuValues(const MenuDescription* desc) {
  using namespace menu_internal;
  std::string out;
  for (int i = 0; desc != nullptr && i < desc->EntryCnt; ++i) {
    const MenuDescEntry& e = desc->pEntries[i];
    const TextMenuItem& it = e.pMenu->pItems[e.Index];
    out += e.pName;
    out += '=';
    char num[64];
    int len = 0;
    switch (it.ItemType) {
      case ITEM_ONE_OF: {
        const char* s = ShownState(&it, static_cast<int>(it.Value.Int), &len);
        out.append(s, static_cast<size_t>(len));
        break;
      }
      case ITEM_MANY_OF: {
        // The first state is the entry's "none" (shown so when it is the only one
        // chosen): the value names only the other states chosen.
        bool first = true;
        for (int k = 1; k < it.StateCnt && k < MENU_MAX_STATES; ++k) {
          if (((static_cast<unsigned long>(it.Value.Int) >> k) & 1UL) == 0) continue;
          const char* s = ShownState(&it, k, &len);
          if (!first) out += ',';
          out.append(s, static_cast<size_t>(len));
          first = false;
        }
        break;
      }
      case ITEM_REQUIRED:
      case ITEM_OPTIONAL:
        out += it.Value.pText != nullptr ? it.Value.pText : "";
        break;
      case ITEM_INT:
        std::snprintf(num, sizeof num, "%ld", it.Value.Int);
        out += num;
        break;
      case ITEM_FLOAT:
        std::snprintf(num, sizeof num, "%.3f", static_cast<double>(it.Value.Float));
        out += num;
        break;
      default:
        break;
    }
    out += '\n';
  }
  return SaveStr_(out.c_str());
}
