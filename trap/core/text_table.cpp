#include "text_table.h"

#include <cstdio>

namespace trap {

std::string StampDate(const StampTime& t) {
    char buf[32];
    std::snprintf(buf, sizeof buf, "%02d-%02d-%04d", t.month, t.day, t.year);
    return buf;
}

std::string StampClock(const StampTime& t) {
    char buf[32];
    std::snprintf(buf, sizeof buf, "%02d:%02d:%02d", t.hour, t.minute, t.second);
    return buf;
}

std::string HollinReportText(int16_t number, const StampTime& now, const ProgramIdentity& program) {
    switch (number) {
    case 1: return "] END PROGRAM ";
    case 16: return " error";
    case 17: return " <unavailable: line numbers not used>";
    case 18: return "<< ERROR >>";
    case 19: return "Module    ";
    case 20:
        return StampDate(now) + " " + StampClock(now) + " - start Hollin client v" + kComponentVersion +
               " data capture";
    case 21: return "The error handler was not initialized before a call to 'HollinPOP()' was made.";
    case 22: return "The program is too deeply nested. The error handler can only handle 1000 levels of recursion.";
    case 23: return "generated error";
    case 24: return " - Internal Error Handler";
    case 25: return "An internal error ";
    case 26: return " has occured in module HOLLIN, proceure pfErr(), line ";
    case 27: return "Error Information";
    case 28: return "Call Tree & Arguments";
    case 29: return "System State Information";
    case 30: return "Procedure";
    case 31:
        return StampDate(now) + " " + StampClock(now) + " - stop Hollin client v" + kComponentVersion +
               " data capture";
    case 32: return "Hollin(tm) : Program START";
    case 33: return "START PROGRAM";
    case 34: return "Program Error Intercepted";
    case 35: return "Line Number ";
    case 36: return "Error No. ";
    case 37: return "Description ";
    case 38: return "Category ";
    case 39: return " bytes";
    case 40: return "YES";
    case 41: return "NO";
    case 42: return "&Continue";
    case 43: return "&Go to";
    case 44: return "&Break to";
    case 48: return "Procedure is unbalanced or contains calls to unbalanced routines. ";
    case 49: return "'HollinPOP()' was called without 'HollinPUSH()'. ";
    case 50: return "Choose OK to break into the development environment.";
    case 51: return "Choose CANCEL to continue with program.";
    case 52:
        return "Windows is in 'Standard' mode. Microsecond timer resolution only available under Windows "
               "'Enhanced' mode. Using millisecond timer resolution.";
    case 53: return "Hollin";
    case 55: return "&More";
    case 58: return "trappable errors";
    case 61: return "Source ";
    case 62:
        return program.folder + "\\" + program.name + " ver " + std::to_string(program.major) + "." +
               std::to_string(program.minor) + "." + std::to_string(program.revision);
    default: return "";
    }
}

}  // namespace trap
