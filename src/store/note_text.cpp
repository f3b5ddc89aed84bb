#include "store/note_text.h"

namespace qm {

std::string_view noteText(const ContactNote& note) {
  for (const auto* text : {&note.cleanedText, &note.textContent, &note.transcriptionProcessed,
                           &note.transcriptionRaw, &note.rawOCRText}) {
    if (*text && !(*text)->empty()) return **text;
  }
  return {};
}

}  // namespace qm
