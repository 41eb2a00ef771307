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

} // namespace tuft::meshio
