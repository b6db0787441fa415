// Files.cpp - opening, reading and finding files: streams, the line reader with
// continuation lines, the comment-filtering reader and the whole-file readers.
#include "utils/utils.h"

FILE* pIn = nullptr;
char InputFileName[INPUT_FILE_NAME_SIZE] = "";
int FileStatus = 1;
char LineBuf[LINE_BUF_SIZE + 1] = "";
int LineLen = 0;
char Line[LINE_SIZE] = "";
int LineCnt = 0;
long InPos = 0;
char flInputFilterState = 1;
long SavedFileSize = 0;
