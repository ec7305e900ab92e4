#pragma once
// The splitter window as a program: runs the window until it is closed and returns the
// exit status. Declared without wx so that the program's main can stay free of it.

#include <string>

namespace quarva::splitter::ui {

// With `automationClient` (a bus name) the window also serves the automation object
// for that client (splitter/Automation.h).
int runSplitterWindow(int argc, char** argv, const std::string& commandLineFile, const std::string& programFolder,
                      const std::string& automationClient = {});

}  // namespace quarva::splitter::ui
