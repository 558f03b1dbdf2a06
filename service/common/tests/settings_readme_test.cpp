// README's configuration tables against the settings the programs read: a value read but
// not documented, documented with another type, default or reader, or documented but read
// by nobody, fails here.
#include <gtest/gtest.h>

#include <fstream>
#include <map>
#include <sstream>
#include <string>
#include <vector>

#include "core/settings_table.h"

namespace vc = vantrel::common;

namespace {

struct Row {
    std::string key;  // the first code span of the heading above the table
    std::string value, type, fallback, readers;
    int line;
};

std::vector<std::string> CodeSpans(const std::string& text) {
    std::vector<std::string> spans;
    for (size_t open = text.find('`'); open != std::string::npos; open = text.find('`', open)) {
        const size_t close = text.find('`', open + 1);
        if (close == std::string::npos) break;
        spans.push_back(text.substr(open + 1, close - open - 1));
        open = close + 1;
    }
    return spans;
}

std::string Trim(const std::string& s) {
    const size_t b = s.find_first_not_of(' ');
    if (b == std::string::npos) return "";
    return s.substr(b, s.find_last_not_of(' ') - b + 1);
}

std::vector<std::string> Cells(const std::string& line) {
    std::vector<std::string> cells;
    std::string cell;
    for (size_t i = 1; i < line.size(); ++i) {
        if (line[i] == '|') {
            cells.push_back(Trim(cell));
            cell.clear();
        } else {
            cell += line[i];
        }
    }
    return cells;
}

// The rows of every table under "## Configuration", up to the next section.
std::vector<Row> ConfigurationRows(std::istream& in) {
    std::vector<Row> rows;
    std::string line, key;
    bool inside = false;
    int number = 0;
    while (std::getline(in, line)) {
        ++number;
        if (line.rfind("## ", 0) == 0) {
            inside = line == "## Configuration";
            continue;
        }
        if (!inside) continue;
        if (line.rfind("### ", 0) == 0) {
            const auto spans = CodeSpans(line);
            key = spans.empty() ? "" : spans.front();
            continue;
        }
        if (line.rfind("| ", 0) != 0) continue;
        const auto cells = Cells(line);
        if (cells.size() < 5 || cells[0] == "value" || cells[0].rfind("---", 0) == 0) continue;
        std::string value;
        for (const auto& span : CodeSpans(cells[0])) value += (value.empty() ? "" : " ") + span;
        const auto type = CodeSpans(cells[1]);
        rows.push_back({key, value, type.empty() ? cells[1] : type.front(), cells[2], cells[3], number});
    }
    return rows;
}

std::string Documented(const vc::Setting& s) {
    return *s.section ? "[" + std::string(s.section) + "] " + s.name : std::string(s.name);
}

bool KeyMatches(const std::string& heading, const vc::Setting& s) {
    if (s.type == vc::SettingType::IniText) return heading == s.key;
    const std::string key = std::string("HKLM\\") + s.key;
    // A key with a subkey per program and log is named with its placeholders.
    return heading == key || heading.rfind(key + "\\", 0) == 0;
}

const char* TypeName(vc::SettingType type) {
    switch (type) {
    case vc::SettingType::RegSz: return "REG_SZ";
    case vc::SettingType::RegDword: return "REG_DWORD";
    case vc::SettingType::IniText: return "text";
    }
    return "";
}

// The programs a "read by" cell names.
unsigned ReadersNamed(const std::string& cell) {
    const std::pair<const char*, unsigned> programs[] = {{"Quenloc.exe", vc::kReadByService},
                                                         {"Tallisk.exe", vc::kReadByManager},
                                                         {"syslogsend.exe", vc::kReadBySender},
                                                         {"VelmSendmail.ocx", vc::kReadByMailControl},
                                                         {"Mirrolan.dll", vc::kReadByMonitor}};
    unsigned readers = 0;
    for (const auto& p : programs)
        if (cell.find(p.first) != std::string::npos) readers |= p.second;
    return readers;
}

class SettingsReadme : public ::testing::Test {
protected:
    void SetUp() override {
        std::ifstream in(VANTREL_README_PATH);
        ASSERT_TRUE(in) << "cannot read " << VANTREL_README_PATH;
        rows_ = ConfigurationRows(in);
        ASSERT_FALSE(rows_.empty()) << "README has no table under \"## Configuration\"";
    }
    std::vector<Row> rows_;
};

TEST_F(SettingsReadme, EveryValueReadIsDocumentedOnceWithItsTypeDefaultAndReaders) {
    for (const auto& s : vc::kSettings) {
        const std::string value = Documented(s);
        std::vector<const Row*> found;
        for (const auto& row : rows_)
            if (row.value == value && KeyMatches(row.key, s)) found.push_back(&row);
        if (found.size() != 1) {
            ADD_FAILURE() << s.key << " " << value << " is read but documented " << found.size() << " times";
            continue;
        }
        const Row& row = *found.front();
        EXPECT_EQ(row.type, TypeName(s.type)) << value << " (README line " << row.line << ")";
        if (*s.fallback) {
            const auto spans = CodeSpans(row.fallback);
            EXPECT_TRUE(row.fallback.rfind("`", 0) == 0 && !spans.empty() && spans.front() == s.fallback)
                << value << " (README line " << row.line << "): programs take " << s.fallback
                << " when it is absent, README says " << row.fallback;
        } else {
            EXPECT_TRUE(row.fallback.rfind("empty", 0) == 0 || row.fallback.rfind("none", 0) == 0)
                << value << " (README line " << row.line << "): programs take nothing when it is absent, README says "
                << row.fallback;
        }
        EXPECT_EQ(ReadersNamed(row.readers), s.readers)
            << value << " (README line " << row.line << "): README names readers \"" << row.readers << "\"";
    }
}

TEST_F(SettingsReadme, NothingIsDocumentedThatNoProgramReads) {
    for (const auto& row : rows_) {
        bool read = false;
        for (const auto& s : vc::kSettings) read = read || (row.value == Documented(s) && KeyMatches(row.key, s));
        EXPECT_TRUE(read) << row.key << " " << row.value << " (README line " << row.line
                          << ") is documented but no program reads it";
    }
}

}  // namespace
