#pragma once

#include <optional>
#include <string>
#include <string_view>

#include "common/date.h"
#include "store/contact.h"
#include "store/follow_up_draft.h"

namespace qm {

/// The application's fixed addresses in exported messages.
inline constexpr std::string_view kNoReplyAddress = "no-reply@quillmere.app";
inline constexpr std::string_view kPlaceholderRecipient = "recipient@example.com";
inline constexpr std::string_view kMessageIDDomain = "quillmere.app";
/// The sender name when the `displayName` setting is empty.
inline constexpr std::string_view kDefaultSenderName = "Quillmere User";

/// A draft with the contact it is addressed to (none when the draft has no
/// contact or the contact is gone).
struct DraftMessage {
  FollowUpDraft draft;
  std::optional<Contact> contact;
};

/// What a message takes beyond the draft.
struct EmlOptions {
  /// The sender's name; empty: "Quillmere User".
  std::string senderName;
  /// The sender's address; empty: the application's no-reply address.
  std::string senderEmail;
  /// Added below the body (after a "-- " line) in both parts; never part of
  /// the stored draft.
  std::string signature;
  /// Marks the message as one still to be sent ("X-Unsent: 1"), so that a
  /// mail program opens it as a draft to edit and send rather than as mail
  /// it received. Off for files saved and for messages sent.
  bool forMailProgram = false;
  Date date = now();
};

class AppSettings;

/// The options the user's settings give: `senderName` (else `displayName`),
/// `senderEmail` and `emailSignature`, dated now.
EmlOptions emlOptionsFrom(const AppSettings& settings);

/// The address the draft goes to: the one chosen for this draft, else the
/// contact's e-mail; empty when there is neither.
std::string recipientAddress(const DraftMessage& message);

/// The body as the message shows it: the draft's text, then the signature
/// under a "-- " line when there is one.
std::string bodyWithSignature(std::string_view body, std::string_view signature);

/// The draft as a complete e-mail message, lines ended by CRLF, ending with
/// CRLF: headers, then a multipart/alternative body holding the text as
/// written (markdown reads as plain text) and as HTML, both quoted-printable,
/// so that every mail program shows it. Without a recipient address the
/// message is addressed to a placeholder. No header text can start a header
/// line of its own: a subject holding a line break is written as encoded
/// words, and line breaks in names become spaces.
std::string emlContent(const DraftMessage& message, const EmlOptions& options);

/// `"name" <address>`, or `<address>` for an empty name; an empty address is
/// the no-reply address. A name holding a comma, semicolon, double quote or
/// at sign has its double quotes (and backslashes) escaped with a backslash;
/// control characters in the name become spaces and are dropped from the
/// address. Non-ASCII names stay UTF-8 inside the quotes.
std::string formatAddress(std::string_view name, std::string_view address);

/// The value of a Subject header: `subject` itself when it is printable ASCII
/// that no reader could take for anything else, otherwise RFC 2047 encoded
/// words ("=?UTF-8?B?…?=") folded onto continuation lines, each holding whole
/// UTF-8 characters. Written after "Subject: ", no line of the header is
/// longer than 76 characters.
std::string encodeSubject(std::string_view subject);

/// `date` as an e-mail Date value in the machine's time zone, with English
/// names whatever the locale: "Thu, 05 Mar 2026 14:30:00 +0100".
std::string formatEmailDate(Date date);

}  // namespace qm
