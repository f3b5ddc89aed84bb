#pragma once

#include <string_view>

#include "store/contact_note.h"

namespace qm {

/// What a note says, as the window shows it and the contact exports write it:
/// the AI-cleaned text, else the typed text, else the processed transcription,
/// else the raw transcription, else the recognised handwriting. An empty text
/// counts as absent; empty when the note says nothing. The text lives in `note`.
std::string_view noteText(const ContactNote& note);

}  // namespace qm
