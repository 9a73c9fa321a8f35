#pragma once
// The printed report in a modal preview. A report of more than a thousand
// pages asks first, and its pages are laid out under a progress dialog whose
// Cancel stops at the pages laid out so far; the memory the pages took goes
// back to the system when the preview closes.

class QWidget;
class QString;

namespace meterlink {
class RecordTable;
struct ReportDetails;
}

namespace report_preview {

constexpr int kAskAbovePages = 1000;

QString questionText(int pages);

// Returns once the preview is closed (or the user declined it). The
// preview's fields (title, operator, comment, "Plain table") edit details.
void show(const meterlink::RecordTable& table, QWidget* window, meterlink::ReportDetails& details);

}  // namespace report_preview
