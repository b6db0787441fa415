// MenuRules.cpp - dependency rules between entries (N, H, P, S) and the conditions
// that choose the submenu of a submenu entry.
#include "TextMenu/TextMenuPrivate.h"

#include <cctype>
#include <cstdlib>
#include <cstring>

using namespace menu_internal;

namespace {

constexpr int kMaxTargets = 64;      // target entries of one rule
constexpr int kMaxRuleDepth = 16;    // P rules applying the rules of other entries

struct RuleState {
  int Depth = 0;  // nesting of ProcessStateFormat through P rules
};
RuleState S;

bool IsDigit(char c) { return std::isdigit(static_cast<unsigned char>(c)) != 0; }

// One parsed rule: its letter, its value list and its targets.
struct Rule {
  char Letter = 0;
  char Values[128] = {};
  int Targets[kMaxTargets] = {};
  int TargetCnt = 0;
};

// Parses the next rule of text at *pos: a letter, a value list up to '{', targets
// separated by ',' or '.' up to '}'. A rule ends at '}' or a blank. False at the end.
bool NextRule(const char* text, size_t* pos, Rule* rule) {
  size_t p = *pos;
  while (text[p] == ' ' || text[p] == '\t' || text[p] == '}' || text[p] == '\n') ++p;
  if (text[p] == '\0') {
    *pos = p;
    return false;
  }
  *rule = Rule{};
  rule->Letter = text[p++];
  size_t n = 0;
  while (text[p] != '\0' && text[p] != '{' && text[p] != ' ' && text[p] != '}') {
    if (n + 1 < sizeof rule->Values) rule->Values[n++] = text[p];
    ++p;
  }
  rule->Values[n] = '\0';
  if (text[p] == '{') {
    ++p;
    while (text[p] != '\0' && text[p] != '}' && text[p] != ' ') {
      if (IsDigit(text[p])) {
        const int v = std::atoi(text + p);
        if (rule->TargetCnt < kMaxTargets) rule->Targets[rule->TargetCnt++] = v;
        while (IsDigit(text[p])) ++p;
      } else {
        ++p;  // ',' or '.' between targets
      }
    }
  }
  *pos = p;
  return true;
}

TextMenuItem* Target(TextMenu* menu, int index) {
  return (index >= 0 && index < ItemCount(menu)) ? &menu->pItems[index] : nullptr;
}

void ApplyRule(TextMenu* menu, const Rule& r, bool match) {
  switch (r.Letter) {
    case 'N':
    case 'H':
      for (int i = 0; i < r.TargetCnt; ++i)
        if (TextMenuItem* t = Target(menu, r.Targets[i]))
          t->Access = match ? (r.Letter == 'N' ? ACCESS_NOSELECT : ACCESS_HIDDEN) : ACCESS_NORMAL;
      break;
    case 'P':
      if (!match) break;
      for (int i = 0; i < r.TargetCnt; ++i) {
        TextMenuItem* t = Target(menu, r.Targets[i]);
        if (t == nullptr) continue;
        ProcessStateFormat(menu, r.Targets[i]);
        if (t->pfnAction != nullptr) t->pfnAction(menu, t);
      }
      break;
    case 'S': {
      TextMenuItem* t = r.TargetCnt >= 1 ? Target(menu, r.Targets[0]) : nullptr;
      if (t == nullptr) break;
      const long v = r.TargetCnt >= 2 ? r.Targets[1] : 0;
      if (match) {
        // The value in force before the rule is kept once: applying the rule again
        // must not make the forced value the one to restore.
        if (t->Saved == -1) t->Saved = static_cast<int>(t->Value.Int);
        t->Value.Int = v;
      } else if (t->Saved != -1) {
        t->Value.Int = t->Saved;
        t->Saved = -1;
      }
      if (t->ItemType == ITEM_ONE_OF) UpdateStateSelection(t);
      break;
    }
    default:
      break;
  }
}

// Condition parser: or := and ('|' and)*, and := not ('&' not)*,
// not := '!' not | '(' or ')' | atom ['A'].
struct CondParser {
  TextMenu* Menu;
  const char* P;
  int Base;
  bool Bad = false;

  bool Or() {
    bool v = And();
    while (*P == '|') {
      ++P;
      const bool w = And();
      v = v || w;
    }
    return v;
  }
  bool And() {
    bool v = Not();
    while (*P == '&') {
      ++P;
      const bool w = Not();
      v = v && w;
    }
    return v;
  }
  bool Not() {
    if (*P == '!') {
      ++P;
      return !Not();
    }
    if (*P == '(') {
      ++P;
      const bool v = Or();
      if (*P == ')')
        ++P;
      else
        Bad = true;
      return v;
    }
    return Atom();
  }
  bool Atom() {
    const char* start = P;
    if (*P == '+' || *P == '-') ++P;
    if (!IsDigit(*P)) {
      Bad = true;
      return false;
    }
    while (IsDigit(*P)) ++P;
    if (*P != '.') {
      Bad = true;
      return false;
    }
    ++P;
    if (*P == '-') ++P;
    while (IsDigit(*P)) ++P;
    const int t = TestState(Menu, start, Base);
    if (*P == 'A') {
      ++P;
      return t == 2;
    }
    return t != 0;
  }
};

}  // namespace

int TestFormatState(const char* list, long value) {
  if (list == nullptr) return 0;
  for (const char* p = list; *p != '\0';) {
    if (*p == '*') return 1;
    if (!IsDigit(*p)) {
      ++p;
      continue;
    }
    if (std::atol(p) == value) return 1;
    while (IsDigit(*p)) ++p;
  }
  return 0;
}

void ProcessStateFormat(TextMenu* menu, int index) {
  TextMenuItem* it = Target(menu, index);
  if (it == nullptr || it->pRules == nullptr || it->Access != ACCESS_NORMAL) return;
  if (it->ItemType != ITEM_ONE_OF && it->ItemType != ITEM_MANY_OF) return;
  // P rules apply the rules of other entries; a loop of them ends here.
  if (S.Depth >= kMaxRuleDepth) return;
  ++S.Depth;
  size_t pos = 0;
  Rule r;
  while (NextRule(it->pRules, &pos, &r)) ApplyRule(menu, r, TestFormatState(r.Values, it->Value.Int) != 0);
  --S.Depth;
}

int TestState(TextMenu* menu, const char* atom, int base) {
  if (atom == nullptr) return 0;
  const char* p = atom;
  int index;
  if (*p == '+' || *p == '-') {
    const int d = std::atoi(p + 1);
    index = *p == '+' ? base + d : base - d;
  } else {
    index = std::atoi(p);
  }
  const char* dot = std::strchr(p, '.');
  if (dot == nullptr) return 0;
  const long v = std::atol(dot + 1);
  const TextMenuItem* t = Target(menu, index);
  if (t == nullptr || t->Value.Int != v) return 0;
  return t->Access == ACCESS_NORMAL ? 1 : 2;
}

int TestStateCondition(TextMenu* menu, const char* cond, int base) {
  if (cond == nullptr || *cond == '\0') return 0;
  CondParser parser{menu, cond, base};
  const bool v = parser.Or();
  // A condition that cannot be read to its end does not hold.
  if (parser.Bad || *parser.P != '\0') return 0;
  return v ? 1 : 0;
}

TextMenu* ValidateMenu(TextMenu* menu, int index) {
  TextMenuItem* it = Target(menu, index);
  if (it == nullptr || it->ItemType != ITEM_SUBMENU || it->Access != ACCESS_NORMAL) return nullptr;
  if (it->pRules == nullptr) return it->Value.pMenu;
  if (it->Value.ppMenus == nullptr) return nullptr;
  // One condition per submenu, separated by blanks.
  char cond[MENU_LINE_SIZE];
  const char* p = it->pRules;
  for (int k = 0;; ++k) {
    while (*p == ' ' || *p == '\t') ++p;
    if (*p == '\0') return nullptr;
    size_t n = 0;
    while (*p != '\0' && *p != ' ' && *p != '\t') {
      if (n + 1 < sizeof cond) cond[n++] = *p;
      ++p;
    }
    cond[n] = '\0';
    if (TestStateCondition(menu, cond, index)) return it->Value.ppMenus[k];
  }
}
