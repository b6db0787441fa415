// TextMenuTesting.h - a hook of the menu engine for its tests: where the secret
// prompt reads from and how long it waits.
#pragma once

// The terminal GetPassPhrase opens (null: "/dev/tty"; the text is kept, not copied)
// and its wait per character in seconds (0: 60).
void SetPassPhraseSource(const char* tty, int timeoutSeconds);
