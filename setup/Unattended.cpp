// Unattended.cpp - the answers and reports an unattended run takes from its
// environment: TVNN_CONTINUE, TVNN_RUNNING, TVNN_STATUS and TVNN_RESULT.
#include "setup/setup.h"
#include "setup/SetupPrivate.h"

#include "utils/utils.h"

#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <string>

#include <sys/stat.h>
#include <unistd.h>

UnattendedSettings Unattended;

namespace {

constexpr int kRefusedStatus = 2;

// What TVNN_RESULT may be, in the words of its refusal.
constexpr const char* kResultRule =
    "the path of a file in an existing folder, of letters, digits and / . _ - + , : @";

// A path's folder: "" for a path in the current directory, "/" for one in the root.
std::string FolderOf(const std::string& path) {
  const size_t slash = path.rfind('/');
  if (slash == std::string::npos) return "";
  return slash == 0 ? "/" : path.substr(0, slash);
}

// path made absolute from the current directory ("" when that cannot be read).
std::string Absolute(const char* path) {
  if (path[0] == '/') return path;
  char cwd[4096];
  if (getcwd(cwd, sizeof cwd) == nullptr) return "";
  return std::string(cwd) + (std::strcmp(cwd, "/") == 0 ? "" : "/") + path;
}

// "" when path may name the result file, else why not.
std::string ResultPathProblem(const char* path) {
  char reason[128];
  if (!CheckSafePath(path, reason, sizeof reason)) return reason;
  const std::string absolute = Absolute(path);
  if (absolute.empty()) return "the current directory cannot be read";
  if (absolute.back() == '/') return "it names a folder";
  const std::string folder = FolderOf(absolute);
  struct stat st;
  if (stat(folder.c_str(), &st) != 0 || !S_ISDIR(st.st_mode)) return "there is no folder " + folder;
  if (lstat(absolute.c_str(), &st) == 0 && S_ISDIR(st.st_mode)) return "it names a folder";
  return "";
}

// A value as it can be shown on one line: its JSON form, quotes and all.
std::string Shown(const char* value) {
  std::string json = JsonString(value);
  return "'" + json.substr(1, json.size() - 2) + "'";
}

// A variable: its name, its words (none for a path) and how they are said in a
// refusal, and how an allowed value is taken.
struct Variable {
  const char* name;
  const char* words[3];
  const char* allowed;
  void (*take)(const char* value);
};

const Variable kVariables[] = {
    {"TVNN_CONTINUE", {"yes", "no"}, "yes or no",
     [](const char* v) { Unattended.answerContinue = *v == 'y' ? ContinueAnswer::Yes : ContinueAnswer::No; }},
    {"TVNN_RUNNING", {"wait", "quit"}, "wait or quit",
     [](const char* v) { Unattended.answerRunning = *v == 'w' ? RunningAnswer::Wait : RunningAnswer::Quit; }},
    {"TVNN_STATUS", {"detailed"}, "detailed", [](const char*) { Unattended.detailedStatus = true; }},
    {"TVNN_RESULT", {}, kResultRule, [](const char* v) { Unattended.resultPath = Absolute(v); }},
};

}  // namespace

std::string UnattendedRefusal(const char* name, const char* value) {
  if (value == nullptr) value = "";
  for (const Variable& var : kVariables) {
    if (std::strcmp(name, var.name) != 0) continue;
    std::string problem;
    if (var.words[0] != nullptr) {
      for (const char* word : var.words) {
        if (word != nullptr && std::strcmp(value, word) == 0) return "";
      }
    } else {
      problem = ResultPathProblem(value);
      if (problem.empty()) return "";
      problem = ": " + problem;
    }
    return std::string(name) + " must be " + var.allowed + ", not " + Shown(value) + problem;
  }
  return std::string(name) + " is not a setting of setup";
}

void readUnattendedSettings() {
  for (const Variable& var : kVariables) {
    const char* value = std::getenv(var.name);
    if (value == nullptr || *value == '\0') continue;  // empty counts as unset
    const std::string refusal = UnattendedRefusal(var.name, value);
    if (refusal.empty()) {
      var.take(value);
      continue;
    }
    std::fflush(stdout);
    std::fprintf(stderr, "%s: %s\n", setup_internal::RunName(), refusal.c_str());
    exit_app(kRefusedStatus);
  }
}
