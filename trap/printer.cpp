#include "printer.h"

#include <winspool.h>

#include <algorithm>
#include <cstring>

#include "core/text_table.h"

namespace trap {

PrinterCalls& Printer() {
    static PrinterCalls calls{::GetDefaultPrinterA, ::CreateDCA, ::StartDocA, ::StartPage,
                              ::TabbedTextOutA,     ::EndPage,   ::EndDoc,    ::DeleteDC};
    return calls;
}

void PrintToDefaultPrinter(const std::vector<std::string>& lines) {
    const PrinterCalls& p = Printer();
    DWORD size = 0;
    p.GetDefaultPrinterA(nullptr, &size);
    if (size == 0) return;
    std::string printer(size, '\0');
    if (!p.GetDefaultPrinterA(printer.data(), &size)) return;
    printer.resize(strlen(printer.c_str()));
    HDC dc = p.CreateDCA("WINSPOOL", printer.c_str(), nullptr, nullptr);
    if (!dc) return;
    const std::string doc_name = HollinReportText(34);  // read by the spooler until EndDoc
    DOCINFOA doc{};
    doc.cbSize = sizeof doc;
    doc.lpszDocName = doc_name.c_str();
    if (p.StartDocA(dc, &doc) > 0) {
        TEXTMETRICA tm{};
        GetTextMetricsA(dc, &tm);
        const int line_height = std::max<int>(tm.tmHeight + tm.tmExternalLeading, 1);
        const int page_height = GetDeviceCaps(dc, VERTRES);
        p.StartPage(dc);
        int y = 0;
        for (const std::string& line : lines) {
            if (y + line_height > page_height && y > 0) {
                p.EndPage(dc);
                p.StartPage(dc);
                y = 0;
            }
            p.TabbedTextOutA(dc, 0, y, line.c_str(), static_cast<int>(line.size()), 0, nullptr, 0);
            y += line_height;
        }
        p.EndPage(dc);
        p.EndDoc(dc);
    }
    p.DeleteDC(dc);
}

}  // namespace trap
