#include "export/xlsx_contact_export.h"

#include <stdlib.h>
#include <xlsxwriter.h>

#include <cmath>
#include <filesystem>

#include "common/atomic_file.h"
#include "common/date.h"
#include "export/csv_contact_layouts.h"

namespace qm {

namespace fs = std::filesystem;

namespace {

/// The longest text a cell holds, in bytes (Excel counts characters; a byte
/// limit never exceeds it).
constexpr std::size_t kCellTextBytes = 32767;
/// Excel's dates start in 1900, and its day numbers are only right from
/// 1900-03-01 on; earlier moments are written as text.
constexpr std::int64_t kFirstExcelUnixTime = -2203891200;

/// A private temporary folder, removed with what it holds.
class ScratchFolder {
 public:
  static Result<ScratchFolder> make() {
    std::error_code error;
    auto base = fs::temp_directory_path(error);
    if (error) base = "/tmp";
    std::string pattern = (base / "quillmere-xlsx-XXXXXX").string();
    if (!::mkdtemp(pattern.data()))
      return Error(ErrorCode::internal, "Could not make a temporary folder in " + base.string());
    return ScratchFolder(pattern);
  }
  ScratchFolder(ScratchFolder&& other) noexcept : path_(std::move(other.path_)) {
    other.path_.clear();
  }
  ~ScratchFolder() {
    std::error_code ignored;
    if (!path_.empty()) fs::remove_all(path_, ignored);
  }
  const fs::path& path() const { return path_; }

 private:
  explicit ScratchFolder(fs::path path) : path_(std::move(path)) {}
  fs::path path_;
};

/// Writes cells and keeps the first error the library reports.
class SheetWriter {
 public:
  SheetWriter(lxw_worksheet* sheet, lxw_format* dateFormat, lxw_format* scoreFormat)
      : sheet_(sheet), dateFormat_(dateFormat), scoreFormat_(scoreFormat) {}

  void text(lxw_row_t row, lxw_col_t col, std::string_view value, lxw_format* format = nullptr) {
    if (value.empty()) return;
    if (value.size() > kCellTextBytes) {
      std::size_t cut = kCellTextBytes;
      while (cut > 0 && (static_cast<unsigned char>(value[cut]) & 0xC0) == 0x80) --cut;
      value = value.substr(0, cut);
    }
    // A cell's line break is a line feed; a carriage return would show as a
    // control character.
    buffer_.clear();
    for (std::size_t i = 0; i < value.size(); ++i) {
      if (value[i] != '\r') {
        buffer_.push_back(value[i]);
      } else {
        if (i + 1 < value.size() && value[i + 1] == '\n') ++i;
        buffer_.push_back('\n');
      }
    }
    check(worksheet_write_string(sheet_, row, col, buffer_.c_str(), format));
  }
  void text(lxw_row_t row, lxw_col_t col, const std::string& value) {
    text(row, col, std::string_view(value));
  }
  void text(lxw_row_t row, lxw_col_t col, const std::optional<std::string>& value) {
    if (value) text(row, col, *value);
  }
  void score(lxw_row_t row, lxw_col_t col, std::optional<double> value) {
    if (value && std::isfinite(*value))
      check(worksheet_write_number(sheet_, row, col, *value, scoreFormat_));
  }
  void integer(lxw_row_t row, lxw_col_t col, std::optional<std::int64_t> value) {
    if (value)
      check(worksheet_write_number(sheet_, row, col, static_cast<double>(*value), nullptr));
  }
  void flag(lxw_row_t row, lxw_col_t col, bool value) {
    check(worksheet_write_boolean(sheet_, row, col, value ? 1 : 0, nullptr));
  }
  void date(lxw_row_t row, lxw_col_t col, std::optional<Date> value) {
    if (!value) return;
    const std::int64_t micros = unixMicros(*value);
    const std::int64_t seconds = micros / 1'000'000 - (micros % 1'000'000 < 0 ? 1 : 0);
    if (seconds < kFirstExcelUnixTime) return text(row, col, formatISO8601(*value));
    check(worksheet_write_unixtime(sheet_, row, col, seconds, dateFormat_));
  }
  void check(lxw_error error) {
    if (error != LXW_NO_ERROR && firstError_ == LXW_NO_ERROR) firstError_ = error;
  }
  lxw_error firstError() const { return firstError_; }

 private:
  lxw_worksheet* sheet_;
  lxw_format* dateFormat_;
  lxw_format* scoreFormat_;
  std::string buffer_;
  lxw_error firstError_ = LXW_NO_ERROR;
};

Error libraryError(lxw_error error) {
  if (error == LXW_ERROR_WORKSHEET_INDEX_OUT_OF_RANGE)
    return Error(ErrorCode::invalidArgument, "Too many contacts for one Excel sheet");
  return Error(ErrorCode::internal,
               std::string("Could not build the Excel workbook: ") + lxw_strerror(error));
}

void writeRow(SheetWriter& w, lxw_row_t row, const Contact& c,
              const ContactExportMeeting& meeting) {
  lxw_col_t col = 0;
  w.text(row, col++, c.firstName);
  w.text(row, col++, c.lastName);
  w.text(row, col++, c.company);
  w.text(row, col++, c.title);
  w.text(row, col++, c.email);
  w.text(row, col++, c.phone);
  w.text(row, col++, c.linkedinURL);
  w.text(row, col++, c.country);
  w.text(row, col++, c.city);
  w.text(row, col++, c.stateRegion);
  w.text(row, col++, c.tier);
  w.score(row, col++, c.overallScore);
  w.text(row, col++, meetingStatusText(c.status));
  w.flag(row, col++, c.isTarget);
  w.flag(row, col++, c.isFavorite);
  w.integer(row, col++, c.interactionRating);
  w.text(row, col++, c.capturedBy);
  w.date(row, col++, c.metAt);
  w.text(row, col++, c.companyIndustry);
  w.text(row, col++, c.companySize);
  w.text(row, col++, c.companyWebsite);
  w.text(row, col++, c.verifiedEmail);
  w.text(row, col++, c.verifiedPhone);
  w.text(row, col++, c.aiSummary);
  w.text(row, col++, c.aiFollowUpPriority);
  w.text(row, col++, c.whyMeet);
  w.text(row, col++, c.approachAngle);
  w.text(row, col++, c.watchOuts);
  w.text(row, col++, meeting.eventName);
  w.text(row, col++, c.ownedBy);
  w.text(row, col++, meetingNotesText(meeting, c, "\n"));
}

}  // namespace

Result<std::string> xlsxContacts(const std::vector<Contact>& contacts,
                                 const ContactExportMeeting& meeting) {
  if (contacts.size() >= LXW_ROW_MAX)
    return Error(ErrorCode::invalidArgument, "Too many contacts for one Excel sheet");
  auto scratch = QM_TRY(ScratchFolder::make());
  const fs::path file = scratch.path() / "contacts.xlsx";
  std::string tmpdir = scratch.path().string();

  // Rows are streamed to a temporary file as they are written rather than
  // kept in memory; they are written in order, which is all this needs.
  lxw_workbook_options options{};
  options.constant_memory = LXW_TRUE;
  options.tmpdir = tmpdir.data();
  lxw_workbook* workbook = workbook_new_opt(file.c_str(), &options);
  if (!workbook) return Error(ErrorCode::internal, "Could not start the Excel workbook");
  lxw_worksheet* sheet = workbook_add_worksheet(workbook, "Contacts");
  lxw_format* bold = workbook_add_format(workbook);
  format_set_bold(bold);
  lxw_format* dateFormat = workbook_add_format(workbook);
  format_set_num_format(dateFormat, "yyyy-mm-dd hh:mm:ss");
  lxw_format* scoreFormat = workbook_add_format(workbook);
  format_set_num_format(scoreFormat, "0.0");

  SheetWriter w(sheet, dateFormat, scoreFormat);
  const lxw_col_t lastColumn = static_cast<lxw_col_t>(kWorkbookColumns.size() - 1);
  // The column ranges of a sheet may not overlap (spreadsheet programs offer
  // to "repair" such a file), so each width is set on its own range.
  constexpr lxw_col_t kMetAt = 17;
  constexpr lxw_col_t kFirstAIText = 23;
  constexpr auto kEvent = static_cast<lxw_col_t>(kGenericColumns.size());
  constexpr lxw_col_t kOwner = kEvent + 1;
  constexpr lxw_col_t kNotes = kEvent + 2;
  static_assert(kWorkbookColumns[kMetAt] == "Met At" && kWorkbookColumns[kNotes] == "Notes");
  w.check(worksheet_set_column(sheet, 0, kMetAt - 1, 16, nullptr));
  w.check(worksheet_set_column(sheet, kMetAt, kMetAt, 20, nullptr));
  w.check(worksheet_set_column(sheet, kMetAt + 1, kFirstAIText - 1, 16, nullptr));
  w.check(worksheet_set_column(sheet, kFirstAIText, kEvent - 1, 40, nullptr));
  w.check(worksheet_set_column(sheet, kEvent, kEvent, 24, nullptr));
  w.check(worksheet_set_column(sheet, kOwner, kOwner, 16, nullptr));
  w.check(worksheet_set_column(sheet, kNotes, kNotes, 60, nullptr));
  worksheet_freeze_panes(sheet, 1, 0);
  for (lxw_col_t col = 0; col <= lastColumn; ++col) w.text(0, col, kWorkbookColumns[col], bold);
  w.check(worksheet_autofilter(sheet, 0, 0, static_cast<lxw_row_t>(contacts.size()), lastColumn));
  lxw_row_t row = 1;
  for (const Contact& c : contacts) writeRow(w, row++, c, meeting);

  const lxw_error closed = workbook_close(workbook);  // also frees the workbook
  if (w.firstError() != LXW_NO_ERROR) return libraryError(w.firstError());
  if (closed != LXW_NO_ERROR) return libraryError(closed);
  return readFile(file);
}

}  // namespace qm
