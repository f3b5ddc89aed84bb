#include "export/follow_up_calendar.h"

#include <algorithm>
#include <cstdio>

#include "common/atomic_file.h"
#include "common/version.h"
#include "export/calendar_history.h"
#include "export/contact_export.h"
#include "export/content_line.h"

namespace qm {

namespace {

/// A DATE-TIME value in UTC: "20260305T143000Z".
std::string utcDateTime(Date date) {
  std::string text = formatISO8601(date);
  std::erase_if(text, [](char c) { return c == '-' || c == ':'; });
  return text;
}

/// A DATE value: "20260307".
std::string dateValue(std::chrono::year_month_day day) {
  char text[16];
  std::snprintf(text, sizeof text, "%04d%02u%02u", static_cast<int>(day.year()),
                static_cast<unsigned>(day.month()), static_cast<unsigned>(day.day()));
  return text;
}

/// Content lines, each folded as it is added.
class ContentLines {
 public:
  void add(std::string_view line) { appendFoldedLine(text_, line); }
  void addText(std::string_view name, std::string_view value) {
    std::string line(name);
    line += ':';
    appendEscapedText(line, value);
    add(line);
  }
  const std::string& text() const { return text_; }

 private:
  std::string text_;
};

std::string descriptionOf(const FollowUpTask& task) {
  std::vector<std::string> lines;
  const FollowUpPerson& p = task.person;
  if (!p.name.empty()) lines.push_back(p.name);
  if (!p.company.empty()) lines.push_back("Company: " + p.company);
  if (!p.email.empty()) lines.push_back("E-mail: " + p.email);
  if (!p.draftSubject.empty()) lines.push_back("Draft subject: " + p.draftSubject);
  lines.insert(lines.end(), task.details.begin(), task.details.end());
  std::string text;
  for (const auto& line : lines) {
    if (!text.empty()) text += '\n';
    text += line;
  }
  return text;
}

/// The properties of a to-do that say what it is, without its time stamps:
/// these decide whether it changed since the last export.
std::string contentOf(const FollowUpTask& task) {
  ContentLines lines;
  lines.addText("SUMMARY", task.title);
  lines.addText("DESCRIPTION", descriptionOf(task));
  const FollowUpPerson& p = task.person;
  if (!p.name.empty() || !p.email.empty()) {
    const std::string contact = p.name.empty()    ? p.email
                                : p.email.empty() ? p.name
                                                  : p.name + " <" + p.email + ">";
    lines.addText("CONTACT", contact);
  }
  lines.add("DUE;VALUE=DATE:" + dateValue(task.due));
  lines.add("STATUS:NEEDS-ACTION");
  return lines.text();
}

}  // namespace

std::string followUpTaskUID(const FollowUpTask& task) {
  const char* prefix = task.kind == FollowUpTaskKind::followUp ? "followup-" : "nextstep-";
  return prefix + task.recordID.str() + "@quillmere";
}

std::string followUpCalendar(const std::vector<FollowUpTask>& tasks, CalendarHistory& history,
                             Date now) {
  ContentLines calendar;
  calendar.add("BEGIN:VCALENDAR");
  calendar.add("VERSION:2.0");
  calendar.add("PRODID:-//Quillmere//Quillmere " + std::string(quillmereVersion()) + "//EN");
  calendar.add("CALSCALE:GREGORIAN");
  std::string text = calendar.text();
  for (const FollowUpTask& task : tasks) {
    const std::string uid = followUpTaskUID(task);
    const std::string content = contentOf(task);
    const TaskRevision revision = history.revise(uid, contentFingerprint(content), now);
    ContentLines stamps;
    stamps.addText("UID", uid);
    // Without a METHOD, DTSTAMP is the time the to-do was last revised, as
    // LAST-MODIFIED: an unchanged to-do is written exactly as before.
    stamps.add("DTSTAMP:" + utcDateTime(revision.modified));
    stamps.add("LAST-MODIFIED:" + utcDateTime(revision.modified));
    stamps.add("SEQUENCE:" + std::to_string(revision.sequence));
    text += "BEGIN:VTODO\r\n";
    text += stamps.text();
    text += content;
    text += "END:VTODO\r\n";
  }
  text += "END:VCALENDAR\r\n";
  return text;
}

std::string proposedCalendarFileName(std::string_view eventName) {
  return proposedEventFileName(eventName, "_follow-ups.ics");
}

Result<CalendarExportSummary> exportFollowUpCalendar(Store& store, const Uuid& eventID,
                                                     const CalendarExportOptions& options,
                                                     const std::filesystem::path& file) {
  const FollowUpSources sources = QM_TRY(loadFollowUpSources(store, eventID));
  const std::vector<FollowUpTask> tasks = followUpTasks(sources, options.dueDays, options.now);
  CalendarExportSummary summary;
  for (const FollowUpTask& task : tasks)
    ++(task.kind == FollowUpTaskKind::followUp ? summary.followUps : summary.nextSteps);

  auto loaded = CalendarHistory::load(options.historyFile);
  CalendarHistory history;
  if (loaded) {
    history = std::move(*loaded);
  } else {
    // The calendar is still worth having: the history starts again, and the
    // unreadable file is kept aside for a look rather than overwritten.
    std::string warning = loaded.error().message;
    if (auto aside = setFileAside(options.historyFile, "unreadable"))
      warning += "; it was set aside as " + aside->string() + " and a new history begun";
    summary.warnings.push_back(std::move(warning));
  }
  const std::string document = followUpCalendar(tasks, history, options.now);
  QM_TRY(writeFileAtomically(file, document, 0600));
  if (auto saved = history.save(options.historyFile); !saved)
    summary.warnings.push_back("Could not record the calendar history: " + saved.error().message);
  return summary;
}

}  // namespace qm
