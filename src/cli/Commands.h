#pragma once

#include <cstdio>
#include <string>
#include <vector>

namespace lignado::cli {

using Args = std::vector<std::string>;  // the arguments after the command word

int cmdImport(const Args& args);
int cmdCheck(const Args& args);
int cmdTags(const Args& args);
int cmdList(const Args& args);
int cmdBuild(const Args& args);
int cmdUpload(const Args& args);

// Prints a Windows-1252 text as UTF-8, control characters replaced (TerminalText): names and
// values from a file cannot send escape sequences to the terminal.
void printCp1252(std::FILE* out, const std::string& text);

}  // namespace lignado::cli
