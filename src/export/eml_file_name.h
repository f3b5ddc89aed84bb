#pragma once

#include <filesystem>
#include <string>
#include <string_view>

#include "export/eml_message.h"

namespace qm {

/// The proposed file name of a draft's .eml: the contact's full name (or
/// "Draft"), " — ", the first 40 characters of the subject, with "/" and ":"
/// replaced by "-", double quotes removed, white space trimmed, and ".eml".
/// Whole UTF-8 characters only: bytes that are not valid UTF-8 are dropped,
/// control characters (line breaks, tabs) become spaces, and a name too long
/// for the file system is shortened.
std::string emlFileName(const DraftMessage& message);

/// `folder / fileName` if nothing exists there, otherwise the first of
/// "name (2).ext", "name (3).ext", … that does not exist.
std::filesystem::path uniqueFileURL(const std::filesystem::path& folder, std::string_view fileName);

}  // namespace qm
