// MenuDescParse.cpp - reads the plain-text description of a menu for shell scripts:
// menu lines (title, style, flags, save-prompt, name), entry lines and their
// attribute lines, and "menu NAME" blocks of submenus.
#include "TextMenu/MenuDescPrivate.h"

#include <cctype>
#include <cstdarg>
#include <cstdio>
#include <cstdlib>
#include <cstring>

namespace menu_desc {

namespace {

struct TypeWord {
  const char* pWord;
  int Type;
};

constexpr TypeWord kEntryWords[] = {
    {"text", ITEM_LINE},       {"bar", ITEM_BAR_ALL},      {"accept", ITEM_ACCEPT},
    {"quit", ITEM_EXIT},       {"submenu", ITEM_SUBMENU},  {"choice", ITEM_ONE_OF},
    {"multi", ITEM_MANY_OF},   {"required", ITEM_REQUIRED}, {"string", ITEM_OPTIONAL},
    {"integer", ITEM_INT},     {"float", ITEM_FLOAT},
};

struct FlagWord {
  const char* pWord;
  uint16_t Bit;
};

constexpr FlagWord kFlagWords[] = {
    {"empty-selects", MENU_EMPTY_SELECTS}, {"keep", MENU_KEEP_ITEMS},
    {"save-ask", MENU_SAVE_ASK},           {"save-exit", MENU_SAVE_EXIT},
    {"reinit", MENU_REINIT},               {"old-type", MENU_END_BY_OLD_TYPE},
    {"single-spaced", MENU_SINGLE_SPACED},
};

std::string Trim(const std::string& s) {
  const size_t a = s.find_first_not_of(" \t\r");
  if (a == std::string::npos) return "";
  const size_t b = s.find_last_not_of(" \t\r");
  return s.substr(a, b - a + 1);
}

// Splits off the first word of text; the rest is trimmed (rest may be text itself).
std::string FirstWord(std::string text, std::string* rest) {
  const size_t end = text.find_first_of(" \t");
  if (end == std::string::npos) {
    *rest = "";
    return text;
  }
  *rest = Trim(text.substr(end));
  return text.substr(0, end);
}

// A text argument: the rest of the line, or a quoted text with \" and \\ escapes.
bool Unquote(Description& d, int line, const std::string& in, std::string* out) {
  if (in.empty() || in[0] != '"') {
    *out = in;
    return true;
  }
  out->clear();
  for (size_t i = 1; i < in.size(); ++i) {
    if (in[i] == '\\' && i + 1 < in.size()) {
      out->push_back(in[++i]);
      continue;
    }
    if (in[i] == '"') {
      if (!Trim(in.substr(i + 1)).empty()) {
        Fault(d, line, "text after the closing quote");
        return false;
      }
      return true;
    }
    out->push_back(in[i]);
  }
  Fault(d, line, "a quoted text is not closed");
  return false;
}

bool IsName(const std::string& s) {
  if (s.empty() || !(std::isalpha(static_cast<unsigned char>(s[0])) || s[0] == '_')) return false;
  for (char c : s)
    if (!std::isalnum(static_cast<unsigned char>(c)) && c != '_') return false;
  return true;
}

bool IsMenuName(const std::string& s) {
  if (s.empty()) return false;
  for (char c : s)
    if (!std::isalnum(static_cast<unsigned char>(c)) && c != '_' && c != '-') return false;
  return true;
}

bool IsValueType(int t) { return t >= ITEM_ONE_OF; }

void MenuLine(Description& d, Menu& m, int line, const std::string& word, const std::string& arg) {
  std::string text;
  if (word == "title") {
    if (Unquote(d, line, arg, &text)) m.Title = text;
  } else if (word == "save-prompt") {
    if (Unquote(d, line, arg, &text)) {
      m.SavePrompt = text;
      m.HasSavePrompt = true;
    }
  } else if (word == "style") {
    if (arg == "0" || arg == "plain")
      m.Style = 0;
    else if (arg == "1" || arg == "centred" || arg == "centered")
      m.Style = 1;
    else if (arg == "2" || arg == "right")
      m.Style = 2;
    else
      Fault(d, line, "unknown style \"%s\" (plain, centred or right)", arg.c_str());
  } else if (word == "flags") {
    std::string rest = arg;
    while (!rest.empty()) {
      const std::string w = FirstWord(rest, &rest);
      bool known = false;
      for (const FlagWord& f : kFlagWords) {
        if (w != f.pWord) continue;
        m.Flags |= f.Bit;
        known = true;
      }
      if (!known) Fault(d, line, "unknown flag \"%s\"", w.c_str());
    }
  } else if (word == "name") {
    if (!m.Name.empty())
      Fault(d, line, "\"name\" belongs to the top menu");
    else if (Unquote(d, line, arg, &text))
      d.ProgName = text;
  }
}

void EntryLine(Description& d, Menu& m, int line, int type, const std::string& arg) {
  Entry e;
  e.Line = line;
  e.Type = type;
  std::string rest;
  if (IsValueType(type)) {
    e.Name = FirstWord(arg, &rest);
    if (!IsName(e.Name)) {
      Fault(d, line, "\"%s\" is not a NAME (letters, digits and '_', not first a digit)", e.Name.c_str());
      return;
    }
    if (!Unquote(d, line, rest, &e.Label)) return;
    if (e.Label.empty()) e.Label = e.Name;
  } else if (type == ITEM_SUBMENU) {
    e.Name = arg;
    if (!e.Name.empty() && !IsMenuName(e.Name)) {
      Fault(d, line, "\"%s\" is not a menu name", e.Name.c_str());
      return;
    }
    e.Label = e.Name.empty() ? "submenu" : e.Name;
  } else if (type == ITEM_BAR_ALL) {
    e.Label = "bar";
    char* end = nullptr;
    const long n = std::strtol(arg.c_str(), &end, 10);
    if (arg.empty() || *end != '\0' || n < 1 || n > 16) {
      Fault(d, line, "a bar needs a column count from 1 to 16");
      return;
    }
    e.BarColumns = static_cast<int>(n);
  } else {
    if (!Unquote(d, line, arg, &e.Label)) return;
    if (e.Label.empty() && type != ITEM_LINE) {
      Fault(d, line, "this entry needs a label");
      return;
    }
  }
  m.Entries.push_back(e);
}

void AttributeLine(Description& d, Menu& m, int line, const std::string& word, const std::string& arg) {
  if (m.Entries.empty()) {
    Fault(d, line, "\"%s\" before the first entry", word.c_str());
    return;
  }
  Entry& e = m.Entries.back();
  const bool states = e.Type == ITEM_ONE_OF || e.Type == ITEM_MANY_OF;
  const bool typed = e.Type >= ITEM_REQUIRED;
  std::string text;
  if (word == "key") {
    if (e.Type < ITEM_ACCEPT || e.Type == ITEM_BAR_ALL)
      Fault(d, line, "this entry cannot have a key");
    else if (arg.size() != 1 || !std::isgraph(static_cast<unsigned char>(arg[0])) ||
             std::isdigit(static_cast<unsigned char>(arg[0])))
      Fault(d, line, "a key is one character that is not a digit");
    else
      e.Key = static_cast<char>(std::tolower(static_cast<unsigned char>(arg[0])));
  } else if (word == "states") {
    if (!states) Fault(d, line, "only choice and multi entries have states");
    e.States = arg;
  } else if (word == "default") {
    if (!IsValueType(e.Type)) Fault(d, line, "this entry has no value");
    if (Unquote(d, line, arg, &text)) {
      e.Default = text;
      e.HasDefault = true;
      e.DefaultLine = line;
    }
  } else if (word == "prompt") {
    if (!typed) Fault(d, line, "only text and number entries have a prompt");
    if (Unquote(d, line, arg, &text)) e.Prompt = text;
  } else if (word == "pattern") {
    if (!typed) Fault(d, line, "only text and number entries have a pattern");
    e.Pattern = arg;
  } else if (word == "rules") {
    if (!states) Fault(d, line, "only choice and multi entries have rules");
    e.Rules = arg;
    e.RulesLine = line;
  } else if (word == "access") {
    if (arg == "normal")
      e.Access = ACCESS_NORMAL;
    else if (arg == "fixed")
      e.Access = ACCESS_NOSELECT;
    else if (arg == "hidden")
      e.Access = ACCESS_HIDDEN;
    else
      Fault(d, line, "unknown access \"%s\" (normal, fixed or hidden)", arg.c_str());
  } else if (word == "when") {
    std::string menuName;
    const std::string cond = FirstWord(arg, &menuName);
    if (e.Type != ITEM_SUBMENU || !e.Name.empty())
      Fault(d, line, "\"when\" belongs to a submenu entry without a menu name");
    else if (cond.empty() || !IsMenuName(menuName))
      Fault(d, line, "\"when\" needs a condition and a menu name");
    e.Whens.emplace_back(cond, menuName);
    e.WhenLines.push_back(line);
  }
}

bool IsMenuWord(const std::string& w) {
  return w == "title" || w == "style" || w == "flags" || w == "save-prompt" || w == "name";
}

bool IsAttributeWord(const std::string& w) {
  return w == "key" || w == "states" || w == "default" || w == "prompt" || w == "pattern" ||
         w == "rules" || w == "access" || w == "when";
}

}  // namespace

void Fault(Description& d, int line, const char* fmt, ...) {
  std::fprintf(stderr, "%s:%d: ", d.Source.c_str(), line);
  va_list ap;
  va_start(ap, fmt);
  std::vfprintf(stderr, fmt, ap);
  va_end(ap);
  std::fputc('\n', stderr);
  ++d.Errors;
}

void ParseText(Description& d, const char* text) {
  d.Menus.assign(1, Menu{});
  int lineNo = 0;
  for (const char* p = text; *p != '\0';) {
    const char* end = std::strchr(p, '\n');
    const std::string raw(p, end != nullptr ? static_cast<size_t>(end - p) : std::strlen(p));
    p = end != nullptr ? end + 1 : p + raw.size();
    ++lineNo;
    const std::string line = Trim(raw);
    if (line.empty() || line[0] == '#') continue;
    std::string arg;
    const std::string word = FirstWord(line, &arg);
    Menu& m = d.Menus.back();
    if (word == "menu") {
      if (!IsMenuName(arg)) {
        Fault(d, lineNo, "\"menu\" needs a name (letters, digits, '_' and '-')");
        continue;
      }
      Menu sub;
      sub.Line = lineNo;
      sub.Name = arg;
      d.Menus.push_back(sub);
      continue;
    }
    if (IsMenuWord(word)) {
      if (!m.Entries.empty())
        Fault(d, lineNo, "\"%s\" must come before the entries of its menu", word.c_str());
      else
        MenuLine(d, m, lineNo, word, arg);
      continue;
    }
    if (IsAttributeWord(word)) {
      AttributeLine(d, m, lineNo, word, arg);
      continue;
    }
    bool entry = false;
    for (const TypeWord& t : kEntryWords) {
      if (word != t.pWord) continue;
      EntryLine(d, m, lineNo, t.Type, arg);
      entry = true;
    }
    if (!entry) Fault(d, lineNo, "unknown word \"%s\"", word.c_str());
  }
}

}  // namespace menu_desc
