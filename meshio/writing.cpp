#include "meshio/writing.h"

namespace tuft::meshio {

std::string oneWord(const std::string &name, const char *fallback)
{
    std::string result = name.empty() ? fallback : name;
    for (char &c : result)
        if (c == ' ' || c == '\t' || c == '\r' || c == '\n')
            c = '_';
    return result;
}

std::string objName(const std::string &name)
{
    const std::string word = oneWord(name, "Default");
    return word[0] == '#' ? "_" + word : word;
}

} // namespace tuft::meshio
