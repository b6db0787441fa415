// fuzz_token.cpp - fuzz target of the tokenizer and the keyword-list lookups. The input
// is "<flags byte><delimiters>\0<text>\0<word>": the text is split with every tokenizer,
// the word looked up in it as a keyword list, and the text sorted as one. The tokens
// must keep to their buffers.
#include "fuzz/support/FuzzSupport.h"

void fuzz::Run(std::string_view input) {
  if (input.empty()) return;
  const uint8_t flags = TakeByte(input);
  const std::vector<std::string> parts = Split(input, 3);
  const std::string delimiters = parts[0].c_str(), text = parts[1].c_str(), &word = parts[2];
  const char* delims = delimiters.c_str();
  CheckReleased("the tokenizer releases what it takes", [&] {
    // The shared scan, in same-line mode every other call when the flag is set.
    std::string shared = text, buf = text, parse = text, fields = text, counted = text;
    char* in = shared.data();
    for (int i = 0; i < 10000; ++i) {
      const char* token = GetToken(in, delims);
      in = (flags & 1) != 0 && i % 2 == 1 ? TOKEN_SAME_LINE : nullptr;
      if (token == nullptr && ((flags & 1) == 0 || szIn == nullptr || *szIn == '\0')) break;
      if (token != nullptr) Check(std::strlen(token) <= TOKEN_BUF_SIZE - 1, "a token fits GetTokenBuf");
    }
    // The caller's-buffer and in-place scans, field splitting and counting, the lookups
    // of word in the text as a list, and the text sorted as one.
    std::string out(1 + (flags >> 1) % 300, 'x'), sorted = text + std::string(2, '\0');  // room for one more
    char* cursor = nullptr;
    for (in = buf.data(); const char* token = GetTokenD(in, delims, &cursor, out.data(), out.size()); in = nullptr)
      Check(std::strlen(token) < out.size(), "GetTokenD keeps to the caller's buffer");
    for (in = parse.data(); GetTokenParse(in, delims) != nullptr; in = nullptr) {}
    const int capacity = flags % 9;
    std::vector<char*> array(static_cast<size_t>(capacity));
    const int n = ParseStr(fields.data(), delims, array.data(), capacity);
    Check(n >= 0 && n <= capacity, "ParseStr finds at most its capacity");
    GetTokenCount(counted.data(), delims);
    GetTokenN(counted.data(), delims, static_cast<int>(flags % 12) - 1);
    FindToken(word.c_str(), text.c_str());
    FindTokenC(word.c_str(), text.c_str());
    FindTokenWithDelim(text.c_str(), word.c_str(), *delims);
    SortTokens(sorted.data(), *delims != '\0' ? *delims : ',', flags & 2);
    Check(sorted.back() == '\0', "SortTokens writes at most one character more", text);
  });
}
