// fuzz_token.cpp - fuzz target of the tokenizer and the keyword-list lookups. The input
// is "<flags byte><delimiters>\0<text>\0<word>": the text is split with every tokenizer,
// the word looked up in it as a keyword list, and the text sorted as one.
#include "fuzz/support/FuzzSupport.h"

#include <algorithm>

namespace {

// The shared scan, in same-line mode every other call when sameLine is set.
void SharedScan(std::string text, const char* delims, bool sameLine) {
  char* input = text.data();
  for (int i = 0; i < 10000; ++i) {
    const char* token = GetToken(input, delims);
    input = sameLine && i % 2 == 1 ? TOKEN_SAME_LINE : nullptr;
    if (token == nullptr && (!sameLine || szIn == nullptr || *szIn == '\0')) break;
    if (token == nullptr) continue;
    fuzz::Check(std::strlen(token) <= TOKEN_BUF_SIZE - 1, "a token fits GetTokenBuf");
    fuzz::Check(token[0] != '\0', "a token is never empty");
  }
}

// The caller's-buffer scan, the in-place scans, field splitting and counting.
void OtherScans(const std::string& text, const char* delims, uint8_t flags) {
  std::string buf = text, parse = text, fields = text, counted = text;
  std::string out(1 + (flags >> 1) % 300, 'x');
  char* cursor = nullptr;
  for (char* in = buf.data(); const char* token = GetTokenD(in, delims, &cursor, out.data(), out.size()); in = nullptr)
    fuzz::Check(std::strlen(token) < out.size(), "GetTokenD keeps to the caller's buffer");
  for (char* in = parse.data(); GetTokenParse(in, delims) != nullptr; in = nullptr) {
  }
  const int capacity = flags % 9;
  std::vector<char*> array(static_cast<size_t>(capacity) + 1, nullptr);
  const int n = ParseStr(fields.data(), delims, array.data(), capacity);
  fuzz::Check(n >= 0 && n <= capacity, "ParseStr finds at most its capacity");
  fuzz::Check(std::count(array.begin(), array.begin() + std::max(n, 0), nullptr) == 0, "a field found is set");
  const int count = GetTokenCount(counted.data(), delims), nth = static_cast<int>(flags % 12) - 1;
  const char* token = GetTokenN(counted.data(), delims, nth);
  if (nth >= 1 && nth <= count) fuzz::Check(token != nullptr, "GetTokenN finds a token that GetTokenCount counts");
  if (nth > count) fuzz::Check(token == nullptr, "GetTokenN finds no token beyond the count");
}

void Lookups(const std::string& list, const std::string& word, char d, int ignoreCase) {
  const int pos = FindToken(word.c_str(), list.c_str()), posC = FindTokenC(word.c_str(), list.c_str());
  const int items = list.empty() ? 0 : static_cast<int>(std::count(list.begin(), list.end(), list[0]));
  fuzz::Check(pos >= 0 && pos <= items + 1, "FindToken gives a position within the list");
  fuzz::Check(posC >= 0 && posC <= items + 1, "FindTokenC gives a position within the list");
  if (pos > 0 && word.find(list.empty() ? '\0' : list[0]) == std::string::npos)
    fuzz::Check(posC > 0, "a word found exactly is found ignoring case");
  FindTokenWithDelim(list.c_str(), word.c_str(), d);
  std::string sorted = list + std::string(2, '\0');  // room for one more character and its end
  SortTokens(sorted.data(), d != '\0' ? d : ',', ignoreCase);
  fuzz::Check(sorted.back() == '\0', "SortTokens writes at most one character more");
  const size_t after = std::strlen(sorted.c_str());
  fuzz::Check(after == list.size() || after == list.size() + 1, "SortTokens keeps the list's characters", list);
}

}  // namespace

void fuzz::Run(std::string_view input) {
  if (input.empty()) return;
  const uint8_t flags = TakeByte(input);
  const std::vector<std::string> parts = Split(input, 3);
  const std::string delims = parts[0].c_str(), text = parts[1].c_str();
  CheckReleased("the tokenizer releases what it takes", [&] {
    SharedScan(text, delims.c_str(), (flags & 1) != 0);
    OtherScans(text, delims.c_str(), flags);
    Lookups(text, parts[2], delims.c_str()[0], flags & 2);
  });
}
