// HtmlParse.cpp - loads help files: pages, head and body items, character references
// and the link records of <a> tags.
#include "help/HtmlPrivate.h"
#include "help/HelpTesting.h"

#include "MemMgr/MemMgr.h"
#include "utils/utils.h"

#include <cctype>
#include <cstring>
#include <strings.h>

using namespace html_internal;

HtmlFile aFile[HTML_MAX_FILES];
int FileIndex = 0;
int CurrentFile = 0;
HtmlPage* pCurrentPage = nullptr;

namespace html_internal {

const char HtmlKeys[] =
    ",p,/p,b,/b,font,/font,a,/a,tr,/tr,br,table,fitab,/table,td,/td,h1,h2,h3,h4,h5,h6,"
    "/h1,/h2,/h3,/h4,/h5,/h6,ol,/ol,li,/li,div,/div,img,ul,/ul,dl,/dl,dt,/dt,dd,/dd,pre,/pre,";

int TagIndex(const char* tag) {
  if (tag == nullptr || *tag == '\0') return TAG_NONE;
  const size_t len = std::strlen(tag);
  int pos = 0;
  for (const char* p = HtmlKeys + 1; *p != '\0'; ++pos) {
    const char* end = std::strchr(p, ',');
    const size_t n = static_cast<size_t>(end - p);
    if (n == len && strncasecmp(p, tag, n) == 0) return pos + 1;
    p = end + 1;
  }
  return TAG_NONE;
}

bool IsInlineTag(const char* tag) {
  switch (TagIndex(tag)) {
    case TAG_B:
    case TAG_B_END:
    case TAG_FONT:
    case TAG_FONT_END:
    case TAG_A:
    case TAG_A_END:
    case TAG_IMG:
      return true;
    default:
      return false;
  }
}

bool AttributeValue(const char* attrs, const char* key, char* out, int size) {
  if (attrs == nullptr || out == nullptr || size <= 0) return false;
  bool found = false;
  const size_t klen = std::strlen(key);
  for (const char* p = attrs; *p != '\0';) {
    while (IsHtmlSpace(*p)) ++p;
    const char* word = p;
    while (*p != '\0' && !IsHtmlSpace(*p)) ++p;
    if (p == word) break;
    const char* eq = static_cast<const char*>(std::memchr(word, '=', static_cast<size_t>(p - word)));
    const size_t nlen = eq != nullptr ? static_cast<size_t>(eq - word) : static_cast<size_t>(p - word);
    if (nlen != klen || strncasecmp(word, key, klen) != 0) continue;
    // The last such key wins, as in the link records.
    found = true;
    const char* v = eq != nullptr ? eq + 1 : p;
    char quote = 0;
    if (v < p && (*v == '"' || *v == '\'')) quote = *v++;
    const char* vend = v;
    while (vend < p && (quote == 0 || *vend != quote)) ++vend;
    int n = static_cast<int>(vend - v);
    if (n > size - 1) n = size - 1;
    std::memcpy(out, v, static_cast<size_t>(n));
    out[n] = '\0';
  }
  return found;
}

}  // namespace html_internal

namespace {

// The 96 Latin-1 character entities, codes 160 to 255 in order, each with its ';'.
const char HTMLKeys[] =
    ",nbsp;,iexcl;,cent;,pound;,curren;,yen;,brvbar;,sect;,uml;,copy;,ordf;,laquo;,not;,"
    "shy;,reg;,macr;,deg;,plusmn;,sup2;,sup3;,acute;,micro;,para;,middot;,cedil;,sup1;,"
    "ordm;,raquo;,frac14;,frac12;,frac34;,iquest;,Agrave;,Aacute;,Acirc;,Atilde;,Auml;,"
    "Aring;,AElig;,Ccedil;,Egrave;,Eacute;,Ecirc;,Euml;,Igrave;,Iacute;,Icirc;,Iuml;,"
    "ETH;,Ntilde;,Ograve;,Oacute;,Ocirc;,Otilde;,Ouml;,times;,Oslash;,Ugrave;,Uacute;,"
    "Ucirc;,Uuml;,Yacute;,THORN;,szlig;,agrave;,aacute;,acirc;,atilde;,auml;,aring;,"
    "aelig;,ccedil;,egrave;,eacute;,ecirc;,euml;,igrave;,iacute;,icirc;,iuml;,eth;,"
    "ntilde;,ograve;,oacute;,ocirc;,otilde;,ouml;,divide;,oslash;,ugrave;,uacute;,"
    "ucirc;,uuml;,yacute;,thorn;,yuml;,";
constexpr int kEntityCount = 96;
constexpr int kEntityFirstCode = 160;
constexpr int kEntityNameReach = 16;  // the ';' of a name lies less than this after '&'

// Code of the entity name (with its ';', length len), matched exactly; 0 when absent.
int EntityCode(const char* name, size_t len) {
  int pos = 0;
  for (const char* p = HTMLKeys + 1; *p != '\0' && pos < kEntityCount; ++pos) {
    const char* end = std::strchr(p, ',');
    if (static_cast<size_t>(end - p) == len && std::memcmp(p, name, len) == 0)
      return kEntityFirstCode + pos;
    p = end + 1;
  }
  return 0;
}

// Bounds of a tag's name within its text: leading white space skipped, the name up
// to the next white space.
void TagName(char* text, char** name, char** nameEnd) {
  char* p = text;
  while (IsHtmlSpace(*p)) ++p;
  *name = p;
  while (*p != '\0' && *p != '>' && !IsHtmlSpace(*p)) ++p;
  *nameEnd = p;
}

bool NameIs(const char* name, const char* nameEnd, const char* word) {
  const size_t n = static_cast<size_t>(nameEnd - name);
  return std::strlen(word) == n && strncasecmp(name, word, n) == 0;
}

// After "<!--": the position after the closing "-->", or the end of the text.
char* SkipComment(char* p) {
  char* end = std::strstr(p + 4, "-->");
  return end != nullptr ? end + 3 : p + std::strlen(p);
}

// The parse of one head or body: a text run written in place behind the read
// position, and the blank that white space after an inline tag stands for.
struct Run {
  List* list;
  char* start = nullptr;  // start of the open run, null when none is open
  char* w = nullptr;      // write position of the run
  bool lead = false;      // the run began with the blank after an inline tag
  bool afterInline = false;
  bool pendingBlank = false;
  bool endsBlank = false;  // what was last appended ends with white space

  // Opens a run whose first character will be written at at; the blank after an
  // inline tag goes into the white space just before it.
  void Open(char* at) {
    start = w = at;
    lead = false;
    if (pendingBlank) {
      start = at - 1;
      *start = ' ';
      lead = true;
    }
    pendingBlank = false;
  }
  void Put(char* at, char c) {
    if (start == nullptr) Open(at);
    *w++ = c;
  }
  // Appends the open run as a text item; empty runs are dropped.
  void Close() {
    if (start == nullptr) return;
    const bool empty = w == start;
    *w = '\0';
    if (!empty) {
      endsBlank = IsHtmlSpace(w[-1]);
      HtmlItem* item = AddAtribute(list, nullptr, start);
      if (item != nullptr) item->LeadBlank = lead ? 1 : 0;
    }
    start = nullptr;
  }
};

// A numeric reference "&#123;" at p: writes its character (a code outside 1 to 255
// as '?') and returns the position after it; null when p holds none.
char* NumericReference(Run& run, char* p) {
  if (p[1] != '#' || !std::isdigit(static_cast<unsigned char>(p[2]))) return nullptr;
  long code = 0;
  char* q = p + 2;
  while (std::isdigit(static_cast<unsigned char>(*q))) {
    if (code < 100000) code = code * 10 + (*q - '0');
    ++q;
  }
  // The reference ends at its ';'; one that lacks it ends after its digits rather
  // than swallowing the text up to some later ';'.
  for (char* s = q; *s != '\0' && *s != '<' && *s != '&' && !IsHtmlSpace(*s); ++s) {
    if (*s == ';') {
      q = s + 1;
      break;
    }
  }
  run.Put(p, code >= 1 && code <= 255 ? static_cast<char>(code) : '?');
  return q;
}

// The references of the markup's own characters, known in any case.
struct MarkupReference {
  const char* Name;  // with its ';'
  char Character;
};
constexpr MarkupReference kMarkupReferences[] = {{"quot;", '"'}, {"amp;", '&'}, {"lt;", '<'}, {"gt;", '>'}};

// A named reference at p ("&quot;", "&amp;", "&lt;", "&gt;" in any case, or an
// entity): writes its character and returns the position after it; null when p
// starts no known reference.
char* NamedReference(Run& run, char* p) {
  for (const MarkupReference& m : kMarkupReferences) {
    const size_t len = std::strlen(m.Name);
    if (strncasecmp(p + 1, m.Name, len) != 0) continue;
    run.Put(p, m.Character);
    return p + 1 + len;
  }
  const char* semi = nullptr;
  for (int i = 1; i < kEntityNameReach && p[i] != '\0'; ++i) {
    if (p[i] == ';') {
      semi = p + i;
      break;
    }
  }
  if (semi == nullptr) return nullptr;
  const int code = EntityCode(p + 1, static_cast<size_t>(semi - p));
  if (code == 0) return nullptr;
  run.Put(p, static_cast<char>(code));
  return const_cast<char*>(semi) + 1;
}

// A page record appended to the file's pages; null when memory ran out.
HtmlPage* NewPage(HtmlFile* file, char* name) {
  HtmlPage page{};
  page.pName = name;
  page.pHead = ListCreate();
  page.pBody = ListCreate();
  page.pLinks = ListCreate();
  if (page.pHead == nullptr || page.pBody == nullptr || page.pLinks == nullptr) {
    ListDel(page.pHead);
    ListDel(page.pBody);
    ListDel(page.pLinks);
    return nullptr;
  }
  return static_cast<HtmlPage*>(ListPushItem(file->pPages, &page, sizeof page));
}

// The page name of an html tag's attributes: the text after page=" up to the next
// double quote; null when there is none or it is empty.
char* PageName(char* attrs) {
  char* p = StrCaseStr(attrs, "page=\"");
  if (p == nullptr) return nullptr;
  p += 6;
  char* end = std::strchr(p, '"');
  if (end != nullptr) *end = '\0';
  return *p != '\0' ? p : nullptr;
}

// Releases the records that the items of a list own: the link of an "a" tag, the
// measured table of a "fitab", and the copy of a text run cut at a page's end tag;
// the items themselves go with the list. Other texts point into the file's content,
// which PutMem leaves alone (a pointer inside an allocation releases nothing).
void ReleaseItemRecords(List* list) {
  if (list == nullptr) return;
  for (ListLink* l = list->pFirst; l != nullptr; l = l->pNext) {
    const auto* item = static_cast<const HtmlItem*>(l->pItem);
    if (item->pTag == nullptr) {
      PutMem(item->pValue);
      continue;
    }
    const int tag = TagIndex(item->pTag);
    if (tag == TAG_A) PutMem(item->pValue);
    if (tag != TAG_FITAB) continue;
    auto* table = static_cast<HtmlTable*>(item->pValue);
    if (table == nullptr) continue;
    PutMem(table->pColWidths);
    PutMem(table->pRowHeights);
    PutMem(table);
  }
}

// Releases what a file record holds and clears it.
void ReleaseFile(HtmlFile* file) {
  if (file->pPages != nullptr) {
    for (auto* page = static_cast<HtmlPage*>(ListWalk(file->pPages, 0)); page != nullptr;
         page = static_cast<HtmlPage*>(ListWalk(file->pPages, 1))) {
      ReleaseItemRecords(page->pHead);
      ReleaseItemRecords(page->pBody);
      ListDel(page->pHead);
      ListDel(page->pBody);
      ListDel(page->pLinks);
      PutMem(page->pImage);
    }
    ListDel(file->pPages);
  }
  PutMem(file->pName);
  PutMem(file->pContent);
  *file = HtmlFile{};
}

// Scans the file's text tag by tag into pages. Text outside head and body is ignored.
void ScanPages(HtmlFile* file) {
  HtmlPage* page = nullptr;
  while (char* tag = GetKeyWord(file)) {
    char* name;
    char* nameEnd;
    TagName(tag, &name, &nameEnd);
    if (NameIs(name, nameEnd, "html")) {
      if (std::strstr(tag, "SkipPage") != nullptr) {
        // The page is left out: skip past the next closing html tag.
        char* close = StrCaseStr(file->pCursor, "</html");
        char* gt = close != nullptr ? std::strchr(close, '>') : nullptr;
        file->pCursor = gt != nullptr ? gt + 1 : file->pCursor + std::strlen(file->pCursor);
        continue;
      }
      char* attrs = nameEnd;
      char* pageName = PageName(attrs);
      if (page == nullptr || pageName != nullptr) page = NewPage(file, pageName);
    } else if (NameIs(name, nameEnd, "head")) {
      if (page != nullptr && page->pHead->Count == 0) ParseHtml(file, page->pHead, "head");
    } else if (NameIs(name, nameEnd, "body")) {
      if (page != nullptr) ParseHtml(file, page->pBody, "body");
    }
  }
}

}  // namespace

char* GetKeyWord(HtmlFile* file) {
  if (file == nullptr || file->pCursor == nullptr) return nullptr;
  char* p = file->pCursor;
  for (;;) {
    p = std::strchr(p, '<');
    if (p == nullptr) {
      file->pCursor += std::strlen(file->pCursor);
      return nullptr;
    }
    if (std::strncmp(p, "<!--", 4) != 0) break;
    p = SkipComment(p);
  }
  char* text = p + 1;
  char* gt = std::strchr(text, '>');
  if (gt != nullptr) {
    *gt = '\0';
    file->pCursor = gt + 1;
  } else {
    file->pCursor = text + std::strlen(text);
  }
  return text;
}

HtmlItem* AddAtribute(List* list, char* tag, char* value) {
  if (list == nullptr) return nullptr;
  HtmlItem item{};
  item.pTag = tag;
  // "fitab" names a table the renderer has measured, which holds its table record;
  // the word written in a page is no such table and is ignored as an unknown tag.
  if (TagIndex(tag) == TAG_FITAB) item.pTag = const_cast<char*>("!fitab");
  item.pValue = value;
  item.Len = value != nullptr ? static_cast<int>(std::strlen(value)) : 0;
  if (tag != nullptr && strcasecmp(tag, "a") == 0) {
    auto* link = static_cast<HtmlLink*>(GetMem(sizeof(HtmlLink)));
    if (link == nullptr) return nullptr;
    link->EndRow = -1;
    // Words key=value: name makes an anchor, href a link; the last such key wins.
    for (char* p = value; p != nullptr && *p != '\0';) {
      while (IsHtmlSpace(*p)) ++p;
      char* word = p;
      while (*p != '\0' && !IsHtmlSpace(*p)) ++p;
      if (p == word) break;
      if (*p != '\0') *p++ = '\0';
      char* eq = std::strchr(word, '=');
      if (eq == nullptr) continue;
      *eq = '\0';
      char* v = eq + 1;
      if (*v == '"' || *v == '\'') {
        const char quote = *v++;
        if (char* q = std::strchr(v, quote)) *q = '\0';
      }
      if (strcasecmp(word, "name") == 0) {
        link->pTarget = v;
        link->Kind = HTML_LINK_NAME;
      } else if (strcasecmp(word, "href") == 0) {
        link->pTarget = v;
        link->Kind = HTML_LINK_HREF;
      }
    }
    item.pValue = link;
    item.Len = 0;
  }
  return static_cast<HtmlItem*>(ListPushItem(list, &item, sizeof item));
}

namespace {

// Text run: the white space at r, kept as written inside pre (CR LF as one line feed),
// elsewhere folded to one blank; returns the position after it.
char* SpaceRun(Run& run, char* r, bool pre) {
  const char c = *r;
  if (pre) {
    if (c == '\r' && r[1] == '\n') ++r;
    run.Put(r, c == '\r' ? '\n' : *r);
    return r + 1;
  }
  if (run.start != nullptr) {
    // The first white space of a run stays (a carriage return as a line feed, so that
    // text with CR LF line ends keeps its lines); the rest is skipped.
    *run.w++ = c == '\r' ? '\n' : c;
    ++r;
    while (IsHtmlSpace(*r)) ++r;
    return r;
  }
  // One blank at most: none when the text before already ends with one.
  if (run.afterInline && !run.endsBlank) run.pendingBlank = true;
  return r + 1;
}

// Reference: the '&' at r as a numeric or named reference, or else as itself; returns
// the position after what it read.
char* Reference(Run& run, char* r) {
  char* next = NumericReference(run, r);
  if (next == nullptr) next = NamedReference(run, r);
  if (next != nullptr) return next;
  // An '&' that starts no reference: an ordinary character inside a run; outside one
  // it is dropped and the run starts with the character after it.
  if (run.start != nullptr) {
    *run.w++ = '&';
  } else {
    run.Open(r + 1);
  }
  return r + 1;
}

// Closes the open run before a tag at r that ends the list unconsumed; when the run
// ends right at its '<', which must stay, the item gets a copy.
void CloseBeforeTag(Run& run, char* r) {
  if (run.start == nullptr || run.w != r) {
    run.Close();
    return;
  }
  *r = '\0';
  char* copy = SaveStr_(run.start);
  *r = '<';
  HtmlItem* item = *copy != '\0' ? AddAtribute(run.list, nullptr, copy) : nullptr;
  if (item != nullptr) {
    item->LeadBlank = run.lead ? 1 : 0;
  } else {
    PutMem(copy);
  }
  run.start = nullptr;
}

// Tag: the comment or tag at r's '<' appended to the run's list; returns the position
// after it, or null (the file's cursor set) when it ends the list.
char* Tag(HtmlFile* file, Run& run, char* r, const char* endTag, bool head, bool* pre) {
  if (std::strncmp(r, "<!--", 4) == 0) {
    run.Close();
    run.afterInline = run.pendingBlank = false;
    return SkipComment(r);
  }
  char* name;
  char* nameEnd;
  TagName(r + 1, &name, &nameEnd);
  // A page's html tag, or the body after a head, ends the list without being
  // consumed, so that a missing end tag loses no page.
  if (NameIs(name, nameEnd, "html") || NameIs(name, nameEnd, "/html") ||
      (head && (NameIs(name, nameEnd, "body") || NameIs(name, nameEnd, "/body")))) {
    CloseBeforeTag(run, r);
    file->pCursor = r;
    return nullptr;
  }
  run.Close();
  char* gt = std::strchr(nameEnd, '>');
  char* next = gt != nullptr ? gt + 1 : nameEnd + std::strlen(nameEnd);
  if (gt != nullptr) *gt = '\0';
  char* attrs = nullptr;
  if (*nameEnd != '\0') {
    *nameEnd = '\0';
    attrs = nameEnd + 1;
  }
  if (name[0] == '/' && strcasecmp(name + 1, endTag) == 0) {
    file->pCursor = next;
    return nullptr;
  }
  const bool inlineTag = IsInlineTag(name);
  // White space between two inline tags stands before the second one, so that a
  // link or bold text after it keeps its distance from what went before.
  if (run.pendingBlank && inlineTag) {
    HtmlItem* blank = AddAtribute(run.list, nullptr, const_cast<char*>(" "));
    if (blank != nullptr) blank->LeadBlank = 1;
    run.endsBlank = true;
  }
  if (*name != '\0') AddAtribute(run.list, name, attrs);
  run.afterInline = inlineTag;
  if (!inlineTag) run.endsBlank = false;
  run.pendingBlank = false;
  const int index = TagIndex(name);
  if (index == TAG_PRE) {
    *pre = true;
    // The line end right after <pre> belongs to the markup, not to the text.
    if (*next == '\r' && next[1] == '\n') ++next;
    if (*next == '\n' || *next == '\r') ++next;
  } else if (index == TAG_PRE_END) {
    *pre = false;
  }
  return next;
}

}  // namespace

void ParseHtml(HtmlFile* file, List* list, const char* endTag) {
  if (file == nullptr || list == nullptr || file->pCursor == nullptr || endTag == nullptr) return;
  const bool head = strcasecmp(endTag, "head") == 0;
  Run run{list};
  bool pre = false;  // inside <pre>: white space is kept as written
  char* r = file->pCursor;
  while (*r != '\0') {
    const char c = *r;
    if (IsHtmlSpace(c)) {
      r = SpaceRun(run, r, pre);
    } else if (c == '&') {
      r = Reference(run, r);
    } else if (c != '<') {
      run.Put(r++, c);
    } else {
      r = Tag(file, run, r, endTag, head, &pre);
      if (r == nullptr) return;
    }
  }
  // The end of the text ends the list; the text still open is kept.
  run.Close();
  file->pCursor = r;
}

HtmlFile* FindHtmlFile(const char* name) {
  if (name == nullptr) return nullptr;
  for (int i = 0; i < FileIndex; ++i) {
    if (aFile[i].pName != nullptr && std::strcmp(aFile[i].pName, name) == 0) {
      CurrentFile = i;
      return &aFile[i];
    }
  }
  return nullptr;
}

HtmlPage* FindHtmlPage(HtmlFile* file, const char* name) {
  if (file == nullptr || file->pPages == nullptr) return nullptr;
  for (auto* page = static_cast<HtmlPage*>(ListWalk(file->pPages, 0)); page != nullptr;
       page = static_cast<HtmlPage*>(ListWalk(file->pPages, 1))) {
    if (name == nullptr) return page;
    if (page->pName != nullptr ? std::strcmp(page->pName, name) == 0
                               : std::strcmp(name, "contents") == 0)
      return page;
  }
  return nullptr;
}

HtmlFile* ParseHtmlFile(const char* name, const char* text) {
  if (name == nullptr || strncasecmp(name, "http://", 7) == 0) return nullptr;
  if (strncasecmp(name, "file://", 7) == 0) name += 7;
  char* fileName = SaveStr_(name);
  char* target = nullptr;
  if (char* hash = std::strchr(fileName, '#')) {
    *hash = '\0';
    target = SaveStr_(hash + 1);
  }
  if (HtmlFile* loaded = FindHtmlFile(fileName); loaded != nullptr && loaded->pPages->Count > 0) {
    pCurrentPage = static_cast<HtmlPage*>(ListFindItemN(loaded->pPages, 1));
    PutMem(fileName);
    PutMem(target);
    return loaded;
  }
  // Every slot in use: no further file is loaded.
  char* content = FileIndex < HTML_MAX_FILES
                      ? (text != nullptr ? SaveStr_(text) : GetSavedFileContent(nullptr, fileName))
                      : nullptr;
  if (content == nullptr) {
    PutMem(fileName);
    PutMem(target);
    return nullptr;
  }
  HtmlFile* file = &aFile[FileIndex];
  *file = HtmlFile{};
  file->pName = fileName;
  file->pContent = content;
  file->pCursor = content;
  file->pPages = ListCreate();
  if (file->pPages != nullptr) ScanPages(file);
  if (file->pPages == nullptr || file->pPages->Count == 0) {
    ReleaseFile(file);
    PutMem(target);
    return nullptr;
  }
  CurrentFile = FileIndex++;
  for (auto* page = static_cast<HtmlPage*>(ListFindItemN(file->pPages, 1)); page != nullptr;) {
    pCurrentPage = page;
    PrintTextImage(file);
    const long pos = ListGetItemPos(file->pPages, page);
    page = static_cast<HtmlPage*>(ListFindItemN(file->pPages, pos + 1));
  }
  pCurrentPage = static_cast<HtmlPage*>(ListFindItemN(file->pPages, 1));
  if (target != nullptr && *target != '\0') GoToTarget(target);
  PutMem(target);
  return file;
}

void HtmlResetFiles() {
  for (int i = 0; i < FileIndex; ++i) ReleaseFile(&aFile[i]);
  FileIndex = 0;
  CurrentFile = 0;
  pCurrentPage = nullptr;
  HistoryI = 0;
  TargetPos = 0;
}
