// HelpTesting.h - a hook of the help viewer for its tests and fuzz targets: a fresh
// start between cases.
#pragma once

// Forgets every loaded file, the current page and the history, and releases what
// they held.
void HtmlResetFiles();
