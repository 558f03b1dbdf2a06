#include "traced_common.h"

#include "com_support.h"
#include "common/core/cipher.h"
#include "common/trace_names.h"
#include "hollin.h"
#include "list_files.h"
#include "settings_store.h"

namespace quenloc {

namespace {

namespace trace = vantrel::common::trace;

template <class Body>
void Traced(const trace::Names& names, Body&& body) {
    trap::Frame frame(names.module, names.procedure);
    frame.Run([&] { frame.Do([&] { Translate(body); }); });
}

}  // namespace

bool TracedGetKeyValue(const std::string& value_name, std::string& out) {
    bool result = false;
    Traced(trace::kGetKeyValue, [&] {
        result = vantrel::common::GetKeyValue(HKEY_LOCAL_MACHINE, vantrel::common::kSettingsKey, value_name, out);
    });
    return result;
}

void TracedLoadAddressesFromFile(std::vector<std::string>& list, const std::string& path) {
    Traced(trace::kLoadAddressesFromFile, [&] {
        vantrel::common::LoadAddressesFromFile([&](const std::string& item) { list.push_back(item); }, path);
    });
}

std::string TracedGetAddressesFromFile(const std::string& path, std::string& user_name) {
    std::string result;
    Traced(trace::kGetAddressesFromFile, [&] { result = vantrel::common::GetAddressesFromFile(path, user_name); });
    return result;
}

std::string TracedRC4ED(const std::string& text, const std::string& key) {
    std::string result;
    Traced(trace::kRC4ED, [&] { result = vantrel::common::RC4ED(text, key); });
    return result;
}

}  // namespace quenloc
