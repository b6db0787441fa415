// setup.h - the installer's shared declarations: its messages, run state and stages.
#pragma once

// ===== Messages and language selection =====

// Number of texts in each message table (numbers 0 to 70).
constexpr int NLS_SETUP_MSG_COUNT = 71;

// The six parallel message tables, ISO-8859-1 texts used as printf formats. A number
// names the same message in every table, with the same placeholders in the same order.
extern const char* const NLS_ENGLISH[NLS_SETUP_MSG_COUNT];
extern const char* const NLS_SPANISH[NLS_SETUP_MSG_COUNT];
extern const char* const NLS_ITALIAN[NLS_SETUP_MSG_COUNT];
extern const char* const NLS_FRENCH[NLS_SETUP_MSG_COUNT];
extern const char* const NLS_GERMAN[NLS_SETUP_MSG_COUNT];
extern const char* const NLS_PORTUGUESE[NLS_SETUP_MSG_COUNT];

// The table of this run: null until the first nlsSetupStrCvt, then fixed.
extern const char* const* pCurLang;

// Message n (0 to 70) in the run's language, chosen from LANG at the first call
// (LANG is cut at its first '.' in the environment, so later commands see the cut
// value). The text is constant: never modify or release it. "" for n out of range.
const char* nlsSetupStrCvt(int n);
