// key_access KEY: prints the access list of a key under HKLM as a security descriptor
// string ("D:P(A;CI;KA;;;BA)..."), for the installation's tests. Exit 0 when it was read.
#include <windows.h>
#include <sddl.h>

#include <cstdio>
#include <vector>

#include "platform/winapi/handles.h"

int main(int argc, char** argv) {
    if (argc != 2) return 2;
    vantrel::RegKey key;
    LONG r = ::RegOpenKeyExA(HKEY_LOCAL_MACHINE, argv[1], 0, READ_CONTROL, key.put());
    if (r != ERROR_SUCCESS) {
        std::fprintf(stderr, "key_access: cannot open %s: error %ld\n", argv[1], r);
        return 1;
    }
    DWORD size = 0;
    ::RegGetKeySecurity(key.get(), DACL_SECURITY_INFORMATION, nullptr, &size);
    std::vector<BYTE> sd(size ? size : 1);
    if ((r = ::RegGetKeySecurity(key.get(), DACL_SECURITY_INFORMATION, sd.data(), &size)) != ERROR_SUCCESS) {
        std::fprintf(stderr, "key_access: cannot read the access list: error %ld\n", r);
        return 1;
    }
    char* text = nullptr;
    if (!::ConvertSecurityDescriptorToStringSecurityDescriptorA(sd.data(), SDDL_REVISION_1, DACL_SECURITY_INFORMATION,
                                                                &text, nullptr)) {
        std::fprintf(stderr, "key_access: cannot convert the access list: error %lu\n", ::GetLastError());
        return 1;
    }
    vantrel::LocalMemory owned(text);
    std::printf("%s\n", text);
    return 0;
}
