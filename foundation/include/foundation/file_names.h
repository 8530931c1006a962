// File-name conventions of the platform the programs run on.
#pragma once

#include <string>
#include <string_view>

// The name of the file called fileName in the directory that holds path.
std::string siblingFileName(std::string_view path, std::string_view fileName);

// A file name typed on the command line as the platform's file services expect it: upper-cased
// where they ignore case (Windows), as typed where case matters (POSIX).
std::string typedFileName(std::string_view typed);

// The file that path leads to: where path is a symbolic link, the path of its final target
// (relative paths stay relative); otherwise path itself.
std::string linkTarget(std::string_view path);
