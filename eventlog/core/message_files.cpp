#include "message_files.h"

namespace lorvex {

std::vector<std::string> SplitFileList(const std::string& value) {
    std::vector<std::string> paths;
    size_t start = 0;
    for (;;) {
        size_t semi = value.find(';', start);
        if (semi == std::string::npos) {
            paths.push_back(value.substr(start));
            return paths;
        }
        paths.push_back(value.substr(start, semi - start));
        start = semi + 1;
    }
}

std::string RemotePath(const std::string& path, const std::string& computer) {
    const std::string share = "\\\\" + computer + "\\";
    if (path.size() >= 2 && path[1] == ':') return share + path[0] + "$" + path.substr(2);
    static const std::string kSystemRoot = "%SystemRoot%";
    if (path.compare(0, kSystemRoot.size(), kSystemRoot) == 0) return share + "admin$" + path.substr(kSystemRoot.size());
    return path;
}

}  // namespace lorvex
