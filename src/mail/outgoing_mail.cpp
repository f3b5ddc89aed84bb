#include "mail/outgoing_mail.h"

#include "settings/app_settings.h"

namespace qm {

namespace {

/// One plain address: a local part, one at sign and a domain, with nothing
/// that could end the address or start another command on the wire.
bool isPlainAddress(std::string_view address) {
  for (const char c : address) {
    const auto byte = static_cast<unsigned char>(c);
    if (byte <= 0x20 || byte == 0x7f || c == '<' || c == '>' || c == ',' || c == ';' || c == '"')
      return false;
  }
  const auto at = address.find('@');
  return at != std::string_view::npos && at > 0 && at + 1 < address.size() &&
         address.find('@', at + 1) == std::string_view::npos;
}

}  // namespace

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
  return message.contact ? message.contact->fullName() : std::string("Unknown");
}

Result<OutgoingMail> outgoingMail(const DraftMessage& message, const AppSettings& settings,
                                  Date date) {
  std::string sender = QM_TRY(senderAddress(settings));
  if (!message.contact)
    return Error(ErrorCode::failedPrecondition,
                 "The draft \"" + message.draft.subject + "\" has no contact to send it to");
  const std::string name = draftContactName(message);
  const std::string recipient = message.contact->email.value_or("");
  if (recipient.empty())
    return Error(ErrorCode::failedPrecondition,
                 "The draft to " + name + " cannot be sent: " + name + " has no e-mail address");
  if (!isPlainAddress(recipient))
    return Error(ErrorCode::failedPrecondition, "The draft to " + name + " cannot be sent: \"" +
                                                    recipient + "\" is not one e-mail address");
  EmlOptions options{settings.displayName(), date};
  return OutgoingMail{emlContent(message, options), std::move(sender), recipient};
}

}  // namespace qm
