#include "error_classes.h"

#include <iterator>

namespace trap {
namespace {

struct Range {
    int32_t first, last;
    int16_t code;
};

// First match wins; numbers not listed are class 15 (0 upward) or 62 (negative).
constexpr Range kClasses[] = {
    {3, 46, 2}, {50, 51, 2}, {454, 455, 2},
    {47, 49, 3}, {52, 69, 3}, {71, 76, 3}, {452, 453, 3}, {708, 708, 3}, {712, 713, 3},
    {716, 716, 3}, {719, 719, 3}, {722, 722, 3}, {725, 725, 3}, {730, 731, 3},
    {91, 95, 4},
    {280, 298, 5},
    {260, 260, 6}, {320, 394, 6},
    {400, 404, 7}, {426, 426, 7},
    {420, 425, 8},
    {460, 461, 9}, {520, 521, 9},
    {480, 481, 10}, {485, 485, 10},
    {482, 484, 11},
    {709, 711, 12}, {714, 715, 12}, {717, 718, 12}, {720, 721, 12}, {723, 724, 12},
    {726, 729, 12}, {732, 785, 12},
    {429, 430, 13}, {432, 432, 13}, {438, 438, 13}, {440, 440, 13}, {442, 443, 13},
    {445, 451, 13}, {458, 458, 13},
    {31999, 32000, 14}, {32016, 32750, 14}, {32767, 32767, 14},
    {30000, 30019, 45}, {32001, 32015, 45},
    {457, 457, 46}, {600, 646, 46},
    {20476, 20478, 47}, {24574, 24574, 47}, {28660, 28671, 47}, {32751, 32766, 47},
    {2420, 2448, 54}, {3000, 3005, 54}, {3007, 3007, 54}, {3010, 3044, 54},
    {3047, 3049, 54}, {3053, 3185, 54}, {3190, 3195, 54}, {3198, 3210, 54},
    {3213, 3217, 54}, {3219, 3224, 54}, {3226, 3259, 54}, {3262, 3451, 54},
    {3454, 3454, 54}, {3462, 3462, 54}, {3608, 3622, 54},
    {31003, 31004, 57}, {31006, 31009, 57}, {31017, 31019, 57}, {31021, 31024, 57},
    {31026, 31029, 57}, {31031, 31039, 57},
    {3006, 3006, 59}, {3008, 3009, 59}, {3045, 3046, 59}, {3050, 3052, 59},
    {3186, 3189, 59}, {3196, 3197, 59}, {3211, 3212, 59}, {3218, 3218, 59},
    {3225, 3225, 59}, {3260, 3261, 59},
    {70, 70, 60},
    {3452, 3453, 63}, {3455, 3461, 63}, {3463, 3463, 63}, {3465, 3465, 63},
    {3472, 3472, 63}, {3485, 3492, 63}, {3499, 3499, 63}, {3510, 3510, 63},
    {3515, 3515, 63}, {3520, 3520, 63}, {3532, 3533, 63}, {3545, 3546, 63},
    {3548, 3550, 63}, {3552, 3553, 63}, {3559, 3561, 63}, {3566, 3566, 63},
    {3569, 3569, 63}, {3572, 3572, 63}, {3574, 3577, 63}, {3584, 3584, 63},
    {3592, 3595, 63}, {3605, 3605, 63}, {3607, 3607, 63}, {3626, 3626, 63},
    {35600, 35618, 64},
    {40000, 40059, 65},
    {40500, 40516, 66},
};

struct Category {
    int16_t code;
    const char* text;
    const char* fallback;  // standard text of a number of this class without its own
};

constexpr Category kCategories[] = {
    {2, "General run-time", "Run-time error"},
    {3, "File System (disk, directory or file) access", "File access error"},
    {4, "Non-initialzed object or variant", "Object variable not set"},
    {5, "Dynamic Data Exchange protocol", "DDE error"},
    {6, "Form, control, property or object value", "Invalid property value"},
    {7, "Form or MDI child form", "Form error"},
    {8, "Object reference", "Object reference error"},
    {9, "Clipboard access or format", "Clipboard error"},
    {10, "Picturebox or image control", "Picture error"},
    {11, "Printer access", "Printer error"},
    {12, "Design-time", "Design-time error"},
    {13, "Object Linking and Embedding", "Automation error"},
    {14, "Custom Control or user defined", "Custom control error"},
    {15, "User defined ", "Application-defined or object-defined error"},
    {45, "Grid control", "Grid control error"},
    {46, "ODBC", "ODBC error"},
    {47, "Common Dialog", "Common dialog error"},
    {54, "Data Access", "Data access error"},
    {56, "Object", "Object error"},
    {57, "OLE Container Control", "OLE container control error"},
    {59, "ODBC Network", "ODBC network error"},
    {60, "Network ", "Permission denied"},
    {62, "Remote OLE Automation", "Automation error"},
    {63, "Replication", "Replication error"},
    {64, "Windows 95 Custom Control", "Common control error"},
    {65, "Remote Data Object (RDO)", "Remote data object error"},
    {66, "Remote Data Control (RDC)", "Remote data control error"},
};

// The texts of the numbers this program can raise or meet in its own code and calls.
struct Message {
    int32_t number;
    const char* text;
};

constexpr Message kMessages[] = {
    {3, "Return without GoSub"},
    {5, "Invalid procedure call or argument"},
    {6, "Overflow"},
    {7, "Out of memory"},
    {9, "Subscript out of range"},
    {10, "This array is fixed or temporarily locked"},
    {11, "Division by zero"},
    {13, "Type mismatch"},
    {14, "Out of string space"},
    {28, "Out of stack space"},
    {35, "Sub or Function not defined"},
    {48, "Error in loading DLL"},
    {49, "Bad DLL calling convention"},
    {51, "Internal error"},
    {52, "Bad file name or number"},
    {53, "File not found"},
    {54, "Bad file mode"},
    {55, "File already open"},
    {57, "Device I/O error"},
    {58, "File already exists"},
    {61, "Disk full"},
    {62, "Input past end of file"},
    {67, "Too many files"},
    {68, "Device unavailable"},
    {70, "Permission denied"},
    {71, "Disk not ready"},
    {75, "Path/File access error"},
    {76, "Path not found"},
    {91, "Object variable or With block variable not set"},
    {92, "For loop not initialized"},
    {94, "Invalid use of Null"},
    {380, "Invalid property value"},
    {381, "Invalid property array index"},
    {424, "Object required"},
    {429, "ActiveX component can't create object"},
    {430, "Class does not support Automation or does not support expected interface"},
    {438, "Object doesn't support this property or method"},
    {440, "Automation error"},
    {445, "Object doesn't support this action"},
    {446, "Object doesn't support named arguments"},
    {447, "Object doesn't support current locale setting"},
    {448, "Named argument not found"},
    {449, "Argument not optional"},
    {450, "Wrong number of arguments or invalid property assignment"},
    {451, "Property let procedure not defined and property get procedure did not return an object"},
    {453, "Specified DLL function not found"},
    {458, "Variable uses an Automation type not supported"},
    {482, "Printer error"},
    {513, "Application-defined or object-defined error"},
};

}  // namespace

int16_t ErrorClassOf(int32_t number) {
    if (number < 0) return 62;
    for (const auto& r : kClasses)
        if (number >= r.first && number <= r.last) return r.code;
    return 15;
}

std::string ErrorCategoryText(int16_t class_code) {
    for (const auto& c : kCategories)
        if (c.code == class_code) return c.text;
    return "Unknown Error Class";
}

StandardMessageEntry StandardMessage(int32_t number) {
    StandardMessageEntry entry;
    entry.help_file = kErrorHelpFile;
    entry.help_context = number > 0 ? number : 0;
    for (const auto& m : kMessages) {
        if (m.number == number) {
            entry.text = m.text;
            return entry;
        }
    }
    const int16_t code = ErrorClassOf(number);
    for (const auto& c : kCategories) {
        if (c.code == code) {
            entry.text = c.fallback;
            return entry;
        }
    }
    entry.text = "Unknown error";
    return entry;
}

}  // namespace trap
