// The one document name shared by figures, games and solutions: the last file saved or opened,
// without its extension. It proposes every save's file name and ends the window title.
#pragma once

#include <cstddef>

namespace kvarlo {

inline constexpr size_t documentNameStorage = 324;
// At most this many characters are kept of a path.
inline constexpr size_t documentNameMaxLength = 255;

struct DocumentName {
    char text[documentNameStorage] = "untitled";
};

// Stores the path's first 255 characters, without the extension of its file name: the text is
// cut at the last '.' that follows the last separator ('/' or '\\'), so a dot in a folder name
// stays. A null path stores the empty name.
void setDocumentName(DocumentName& name, const char* path);

// "<name>.<extension>" into out (always terminated); false when it does not fit.
bool composeProposedName(const DocumentName& name, const char* extension, char* out,
                         size_t outSize);

}  // namespace kvarlo
