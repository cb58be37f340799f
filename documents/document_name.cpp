// The shared document name.
#include "documents/document_name.h"

#include <cstdio>
#include <cstring>

namespace kvarlo {

void setDocumentName(DocumentName& name, const char* path) {
    // Pads with zeros like the fixed-size copy the name has always been made with.
    std::memset(name.text, 0, sizeof name.text);
    if (path) {
        std::strncpy(name.text, path, documentNameMaxLength);
    }
    char* fileName = name.text;
    for (char* c = name.text; *c; ++c) {
        if (*c == '/' || *c == '\\') {
            fileName = c + 1;
        }
    }
    if (char* dot = std::strrchr(fileName, '.')) {
        *dot = '\0';
    }
}

bool composeProposedName(const DocumentName& name, const char* extension, char* out,
                         size_t outSize) {
    const int written = std::snprintf(out, outSize, "%s.%s", name.text, extension);
    return written >= 0 && static_cast<size_t>(written) < outSize;
}

}  // namespace kvarlo
