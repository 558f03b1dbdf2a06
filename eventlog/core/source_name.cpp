#include "source_name.h"

namespace lorvex {

std::string DefaultSourceName(const std::string& path) {
    size_t dot = std::string::npos;
    for (size_t i = path.size(); i-- > 1;) {
        if (path[i] == '.') {
            dot = i;
            break;
        }
    }
    if (dot == std::string::npos) return path;
    const std::string cut = path.substr(0, dot);
    for (size_t i = cut.size(); i-- > 1;) {
        if (cut[i] == '\\') return cut.substr(i + 1);
    }
    return cut;
}

}  // namespace lorvex
