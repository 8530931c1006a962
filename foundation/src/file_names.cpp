#include "foundation/file_names.h"

#include "foundation/arguments.h"
#include "platform.h"

std::string siblingFileName(std::string_view path, std::string_view fileName) {
    return platform::siblingFileName(path, fileName);
}

std::string typedFileName(std::string_view typed) {
    return platform::fileNamesIgnoreCase() ? toUpperAscii(typed) : std::string(typed);
}

std::string linkTarget(std::string_view path) {
    return platform::linkTarget(path);
}
