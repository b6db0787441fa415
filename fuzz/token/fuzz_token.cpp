// fuzz_token.cpp - fuzz target of the tokenizer and the keyword-list lookups. The
// input is "<flags byte><delimiters>\0<text>\0<word>": the text is split with every
// tokenizer, the word looked up in it as a keyword list, and the text sorted as one.
#include "fuzz/support/FuzzSupport.h"
#include "utils/utils.h"

#include <cstring>
#include <string>
#include <vector>

namespace {

// A writable copy of a text with room for more characters after its terminator.
std::vector<char> Writable(const std::string& text, size_t extra = 0) {
  std::vector<char> buf(text.size() + 1 + extra, '\0');
  std::memcpy(buf.data(), text.c_str(), std::strlen(text.c_str()));
  return buf;
}

// Number of times d occurs in the C text.
int Count(const char* text, char d) {
  int n = 0;
  for (; *text != '\0'; ++text) n += *text == d;
  return n;
}

void SharedScan(const std::string& text, const char* delims, bool sameLine) {
  std::vector<char> buf = Writable(text);
  char* input = buf.data();
  for (int i = 0; i < 10000; ++i) {
    const char* token = GetToken(input, delims);
    input = sameLine && (i % 2 == 1) ? TOKEN_SAME_LINE : nullptr;
    if (token == nullptr) {
      if (!sameLine || szIn == nullptr || *szIn == '\0') break;
      continue;
    }
    fuzz::Check(std::strlen(token) <= TOKEN_BUF_SIZE - 1, "a token fits GetTokenBuf");
    fuzz::Check(token[0] != '\0', "a token is never empty");
  }
}

void CallerScan(const std::string& text, const char* delims, size_t outSize) {
  std::vector<char> buf = Writable(text);
  std::vector<char> out(outSize, 'x');
  char* cursor = nullptr;
  char* input = buf.data();
  for (int i = 0; i < 10000; ++i) {
    const char* token = GetTokenD(input, delims, &cursor, out.data(), out.size());
    input = nullptr;
    if (token == nullptr) break;
    fuzz::Check(std::strlen(token) < outSize, "GetTokenD keeps to the caller's buffer");
  }
}

void InPlaceScans(const std::string& text, const char* delims, int capacity) {
  std::vector<char> buf = Writable(text);
  char* input = buf.data();
  for (int i = 0; i < 10000 && GetTokenParse(input, delims) != nullptr; ++i) input = nullptr;

  std::vector<char> fields = Writable(text);
  std::vector<char*> array(static_cast<size_t>(capacity) + 1, nullptr);
  const int n = ParseStr(fields.data(), delims, array.data(), capacity);
  fuzz::Check(n >= 0 && n <= capacity, "ParseStr finds at most its capacity");
  for (int i = 0; i < n; ++i) fuzz::Check(array[static_cast<size_t>(i)] != nullptr, "a field found is set");
}

void Counts(const std::string& text, const char* delims, int n) {
  std::vector<char> buf = Writable(text);
  const int count = GetTokenCount(buf.data(), delims);
  const char* nth = GetTokenN(buf.data(), delims, n);
  if (n >= 1 && n <= count) fuzz::Check(nth != nullptr, "GetTokenN finds a token that GetTokenCount counts");
  if (n > count) fuzz::Check(nth == nullptr, "GetTokenN finds no token beyond the count");
}

void Lookups(const std::string& list, const std::string& word, char d) {
  const int pos = FindToken(word.c_str(), list.c_str());
  const int items = list.empty() ? 0 : Count(list.c_str(), list[0]);
  fuzz::Check(pos >= 0 && pos <= items + 1, "FindToken gives a position within the list");
  const int posC = FindTokenC(word.c_str(), list.c_str());
  fuzz::Check(posC >= 0 && posC <= items + 1, "FindTokenC gives a position within the list");
  if (pos > 0 && word.find(list.empty() ? '\0' : list[0]) == std::string::npos) {
    fuzz::Check(posC > 0, "a word found exactly is found ignoring case");
  }
  FindTokenWithDelim(list.c_str(), word.c_str(), d);
}

void Sort(const std::string& list, char d, int ignoreCase) {
  const size_t before = std::strlen(list.c_str());
  std::vector<char> buf = Writable(list, 1);
  SortTokens(buf.data(), d, ignoreCase);
  const size_t after = std::strlen(buf.data());
  fuzz::Check(buf[buf.size() - 1] == '\0', "SortTokens writes at most one character more");
  fuzz::Check(after == before || after == before + 1, "SortTokens keeps the list's characters", list);
}

}  // namespace

extern "C" int LLVMFuzzerInitialize(int*, char***) {
  fuzz::Init();
  return 0;
}

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  if (size == 0) return 0;
  const uint8_t flags = data[0];
  const std::vector<std::string> parts = fuzz::Split(data + 1, size - 1, 3);
  const std::string& delimText = parts[0];
  const char* delims = delimText.c_str();
  const std::string& text = parts[1];
  const std::string& word = parts[2];
  const long before = fuzz::ManagedInUse();

  SharedScan(text, delims, (flags & 1) != 0);
  CallerScan(text, delims, 1 + (flags >> 1) % 300);
  InPlaceScans(text, delims, flags % 9);
  Counts(text, delims, static_cast<int>(flags % 12) - 1);
  Lookups(text, word, delims[0]);
  Sort(text, delims[0] != '\0' ? delims[0] : ',', flags & 2);

  fuzz::Check(fuzz::ManagedInUse() == before, "the tokenizer releases what it takes");
  return 0;
}
