#include "mail/outgoing_mail.h"

#include "common/text.h"
#include "settings/app_settings.h"

namespace qm {

Result<std::string> senderAddress(const AppSettings& settings) {
  std::string address = settings.senderEmail();
  if (address.empty())
    return Error(ErrorCode::failedPrecondition,
                 "No sender address is set, and mail servers refuse messages from Quillmere's "
                 "no-reply address: set yours with quillmere settings set senderEmail "
                 "you@example.com (or in Settings ▸ General)");
  return address;
}

std::string draftContactName(const DraftMessage& message) {
  if (message.contact) return message.contact->fullName();
  const std::string address = recipientAddress(message);
  return address.empty() ? std::string("Unknown") : address;
}

Result<OutgoingMail> outgoingMail(const DraftMessage& message, const AppSettings& settings,
                                  Date date) {
  QM_TRY(senderAddress(settings));
  const std::string name = draftContactName(message);
  const std::string recipient = recipientAddress(message);
  if (recipient.empty()) {
    if (!message.contact)
      return Error(ErrorCode::failedPrecondition,
                   "The draft \"" + message.draft.subject + "\" has no recipient address");
    return Error(ErrorCode::failedPrecondition,
                 "The draft to " + name + " cannot be sent: " + name +
                     " has no e-mail address; give the draft one in its To field");
  }
  // The address goes on the wire as it is: nothing in it may end it or start
  // another command.
  if (const auto problem = emailAddressProblem(recipient); !problem.empty())
    return Error(ErrorCode::failedPrecondition, "The draft to " + name + " cannot be sent: \"" +
                                                    recipient + "\": " + std::string(problem));
  // The message a mail program would show, never marked as one still to send.
  EmlOptions options = emlOptionsFrom(settings);
  options.forMailProgram = false;
  options.date = date;
  std::string sender = options.senderEmail;
  return OutgoingMail{emlContent(message, options), std::move(sender), recipient};
}

}  // namespace qm
