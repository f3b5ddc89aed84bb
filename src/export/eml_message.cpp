#include "export/eml_message.h"

#include <algorithm>
#include <cctype>
#include <ctime>

#include "common/base64.h"
#include "common/text.h"
#include "common/uuid.h"
#include "export/markdown_html.h"
#include "export/quoted_printable.h"
#include "settings/app_settings.h"

namespace qm {

namespace {

constexpr std::string_view kCRLF = "\r\n";
/// RFC 5322 allows lines of up to 998 characters; "Subject: " takes 9.
constexpr std::size_t kMaxPlainSubject = 998 - 9;
/// RFC 2047 limits a header line holding encoded words to 76 characters.
/// "=?UTF-8?B?" and "?=" take 12 of them, and Base64 writes 3 bytes as 4.
constexpr std::size_t encodedWordBytes(std::size_t lineStart) {
  return (76 - lineStart - 12) / 4 * 3;
}
/// The first word follows "Subject: ", each later one a folding space.
constexpr std::size_t kFirstEncodedWordBytes = encodedWordBytes(9);
constexpr std::size_t kEncodedWordBytes = encodedWordBytes(1);

bool isControl(unsigned char c) {
  return c < 0x20 || c == 0x7F;
}

bool writesPlain(std::string_view subject) {
  if (subject.size() > kMaxPlainSubject) return false;
  // "=?" would read as the start of an encoded word; leading or trailing
  // blanks are dropped by readers.
  if (subject.find("=?") != std::string_view::npos) return false;
  if (!subject.empty() && (subject.front() == ' ' || subject.back() == ' ')) return false;
  for (unsigned char c : subject)
    if (c >= 0x80 || isControl(c)) return false;
  return true;
}

/// The length of the UTF-8 sequence starting with `lead` (1 for a stray byte).
std::size_t sequenceLength(unsigned char lead) {
  if (lead >= 0xF0 && lead < 0xF8) return 4;
  if (lead >= 0xE0) return lead < 0xF0 ? 3 : 1;
  if (lead >= 0xC0) return 2;
  return 1;
}

std::string sanitizedName(std::string_view name) {
  std::string out;
  out.reserve(name.size());
  for (char c : name) out += isControl(static_cast<unsigned char>(c)) ? ' ' : c;
  return out;
}

std::string sanitizedAddress(std::string_view address) {
  std::string out;
  out.reserve(address.size());
  for (char c : address) {
    const auto u = static_cast<unsigned char>(c);
    if (!isControl(u) && c != ' ' && c != '<' && c != '>') out += c;
  }
  return out;
}

std::string twoDigits(int n) {
  return std::string{static_cast<char>('0' + n / 10), static_cast<char>('0' + n % 10)};
}

}  // namespace

std::string encodeSubject(std::string_view subject) {
  if (writesPlain(subject)) return std::string(subject);
  std::string out;
  std::size_t start = 0;
  while (start < subject.size()) {
    std::size_t end = start;
    while (end < subject.size()) {
      const auto next =
          std::min(subject.size(), end + sequenceLength(static_cast<unsigned char>(subject[end])));
      if (next - start > (start == 0 ? kFirstEncodedWordBytes : kEncodedWordBytes)) break;
      end = next;
    }
    if (!out.empty()) out += "\r\n ";
    out += "=?UTF-8?B?" + base64Encode(subject.substr(start, end - start)) + "?=";
    start = end;
  }
  return out;
}

std::string formatAddress(std::string_view name, std::string_view address) {
  std::string to = sanitizedAddress(address);
  if (to.empty()) to = kNoReplyAddress;
  const std::string cleanName = sanitizedName(name);
  if (cleanName.empty()) return "<" + to + ">";
  std::string quoted;
  if (cleanName.find_first_of(",;\"@") != std::string::npos ||
      cleanName.find('\\') != std::string::npos) {
    for (char c : cleanName) {
      if (c == '"' || c == '\\') quoted += '\\';
      quoted += c;
    }
  } else {
    quoted = cleanName;
  }
  return "\"" + quoted + "\" <" + to + ">";
}

std::string formatEmailDate(Date date) {
  static constexpr const char* kDays[] = {"Sun", "Mon", "Tue", "Wed", "Thu", "Fri", "Sat"};
  static constexpr const char* kMonths[] = {"Jan", "Feb", "Mar", "Apr", "May", "Jun",
                                            "Jul", "Aug", "Sep", "Oct", "Nov", "Dec"};
  const std::time_t seconds =
      std::chrono::floor<std::chrono::seconds>(date).time_since_epoch().count();
  std::tm local{};
  localtime_r(&seconds, &local);
  const long offsetMinutes = local.tm_gmtoff / 60;
  const long absolute = offsetMinutes < 0 ? -offsetMinutes : offsetMinutes;
  std::string out = std::string(kDays[local.tm_wday]) + ", " + twoDigits(local.tm_mday) + " " +
                    kMonths[local.tm_mon] + " " + std::to_string(local.tm_year + 1900) + " " +
                    twoDigits(local.tm_hour) + ":" + twoDigits(local.tm_min) + ":" +
                    twoDigits(local.tm_sec) + " " + (offsetMinutes < 0 ? "-" : "+") +
                    twoDigits(static_cast<int>(absolute / 60)) +
                    twoDigits(static_cast<int>(absolute % 60));
  return out;
}

EmlOptions emlOptionsFrom(const AppSettings& settings) {
  EmlOptions options;
  options.senderName = settings.senderName();
  if (trimUnicodeWhitespace(options.senderName).empty())
    options.senderName = settings.displayName();
  options.senderEmail = settings.senderEmail();
  options.signature = settings.emailSignature();
  return options;
}

std::string recipientAddress(const DraftMessage& message) {
  if (message.draft.recipientEmail) {
    std::string chosen = sanitizedAddress(*message.draft.recipientEmail);
    if (!chosen.empty()) return chosen;
  }
  if (message.contact && message.contact->email) return sanitizedAddress(*message.contact->email);
  return {};
}

std::string bodyWithSignature(std::string_view body, std::string_view signature) {
  // One kind of line break, so that both parts break where the text does.
  const auto lines = [](std::string_view from) {
    std::string to;
    to.reserve(from.size());
    for (std::size_t i = 0; i < from.size(); ++i) {
      if (from[i] == '\r') {
        to += '\n';
        if (i + 1 < from.size() && from[i + 1] == '\n') ++i;
      } else {
        to += from[i];
      }
    }
    return to;
  };
  std::string text = lines(body);
  std::string sig = lines(signature);
  if (trimUnicodeWhitespace(sig).empty()) return text;
  while (!text.empty() && (text.back() == '\n' || text.back() == ' ')) text.pop_back();
  // A signature written with its own separator line keeps it, once.
  if (sig.starts_with("-- \n") || sig.starts_with("--\n")) sig.erase(0, sig.find('\n') + 1);
  if (!text.empty()) text += "\n\n";
  text += "-- \n";
  text += sig;
  return text;
}

std::string emlContent(const DraftMessage& message, const EmlOptions& options) {
  const std::string sender =
      options.senderName.empty() ? std::string(kDefaultSenderName) : options.senderName;
  const std::string senderAddress = sanitizedAddress(options.senderEmail).empty()
                                        ? std::string(kNoReplyAddress)
                                        : sanitizedAddress(options.senderEmail);
  const std::string recipientName = message.contact ? message.contact->fullName() : std::string();
  std::string recipient = recipientAddress(message);
  if (recipient.empty()) recipient = kPlaceholderRecipient;

  std::string messageID = Uuid::random().str();
  for (char& c : messageID) c = static_cast<char>(std::tolower(static_cast<unsigned char>(c)));
  // "=_" cannot occur in quoted-printable text ("=" is always followed by
  // hexadecimal digits or a line break there), so no part can end early.
  const std::string boundary = "=_qm_" + messageID;
  const std::string text = bodyWithSignature(message.draft.body, options.signature);

  std::string out;
  auto line = [&](std::string_view content) {
    out += content;
    out += kCRLF;
  };
  line("MIME-Version: 1.0");
  line("Date: " + formatEmailDate(options.date));
  line("Message-ID: <" + messageID + "@" + std::string(kMessageIDDomain) + ">");
  line("From: " + formatAddress(sender, senderAddress));
  line("To: " + formatAddress(recipientName, recipient));
  line("Subject: " + encodeSubject(message.draft.subject));
  if (options.forMailProgram) line("X-Unsent: 1");
  line("X-Mailer: Quillmere Companion");
  line("Content-Type: multipart/alternative; boundary=\"" + boundary + "\"");
  line("");
  line("--" + boundary);
  line("Content-Type: text/plain; charset=UTF-8");
  line("Content-Transfer-Encoding: quoted-printable");
  line("");
  // Each part's text ends with a line break of its own; the one before the
  // boundary belongs to the boundary.
  line(encodeQuotedPrintable(text));
  line("");
  line("--" + boundary);
  line("Content-Type: text/html; charset=UTF-8");
  line("Content-Transfer-Encoding: quoted-printable");
  line("");
  line(encodeQuotedPrintable(markdownToHTML(text)));
  line("");
  line("--" + boundary + "--");
  return out;
}

}  // namespace qm
