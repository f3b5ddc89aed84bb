#pragma once

#include <string>

#include "common/date.h"
#include "common/result.h"
#include "export/eml_message.h"

namespace qm {

class AppSettings;

/// One message as it goes to the mail server: its bytes and its envelope.
struct OutgoingMail {
  /// The whole message, headers and body, lines ended by CRLF.
  std::string message;
  /// The envelope sender (MAIL FROM): the address the message's From shows.
  std::string sender;
  /// The envelope recipient (RCPT TO): the address the draft goes to.
  std::string recipient;
};

/// The address drafts are sent from: the `senderEmail` setting. A mail server
/// refuses the application's no-reply address (or files it as spam), so
/// without one nothing is sent (`failedPrecondition`, saying where to set it).
Result<std::string> senderAddress(const AppSettings& settings);

/// The draft as it is sent: the e-mail a mail program would show for it
/// (`emlOptionsFrom` the settings: the sender's name, address and signature),
/// from the user's address to the draft's recipient (`recipientAddress`: the
/// one chosen for the draft, else the contact's). `failedPrecondition` naming
/// the contact when the draft has no address to go to, or when no sender
/// address is set.
Result<OutgoingMail> outgoingMail(const DraftMessage& message, const AppSettings& settings,
                                  Date date = now());

/// The name of the contact a draft goes to, for lines about it: without a
/// contact its recipient address, else "Unknown".
std::string draftContactName(const DraftMessage& message);

}  // namespace qm
