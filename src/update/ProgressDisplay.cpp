#include "ProgressDisplay.h"

#include "UpdateTexts.h"
#include "text/WideFormat.h"

ProgressFigures ComputeProgress(std::int64_t totalBytes, std::int64_t currentSize,
                                std::int64_t bytesDone, double fraction) {
    ProgressFigures figures;
    figures.totalKb = totalBytes / 1024;
    const double done =
        static_cast<double>(currentSize) * fraction + static_cast<double>(bytesDone);
    figures.doneKb = static_cast<std::int64_t>(done) / 1024;
    // Below 1 KB in all there is nothing to divide by; the bar stays empty.
    if (figures.totalKb > 0) {
        const double percent =
            static_cast<double>(figures.doneKb) / static_cast<double>(figures.totalKb) * 100.0;
        figures.position = percent < 0 ? 0 : percent > 100 ? 100 : static_cast<int>(percent);
    }
    return figures;
}

std::wstring ProgressLine(const ProgressFigures& figures) {
    return vesk::text::FormatWide(L"%s %dKB %s %dKB.", UpdateText(L"IDS_POPDLG_UPDATE_TEXT"),
                                  figures.doneKb, UpdateText(L"IDS_POPDLG_UPDATE_TEXT2"),
                                  figures.totalKb);
}
