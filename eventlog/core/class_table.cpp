#include "class_table.h"

namespace lorvex {

vantrel::com::ClassRegistration ClassRegistrationOf(const std::string& name, const std::string& clsid,
                                                    const std::string& type_lib) {
    vantrel::com::ClassRegistration c;
    c.clsid = clsid;
    c.name = name + " Class";
    c.prog_id = "Lorvex." + name;
    c.versioned = true;
    c.type_lib = type_lib;
    c.programmable = true;
    c.app_id = true;
    return c;
}

}  // namespace lorvex
