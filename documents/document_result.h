// How a save or an open of a document ended, and the Russian message the program shows when it
// failed. A cancel is no failure: the user knows what happened and is told nothing.
#pragma once

#include <cstdint>
#include <string>

#include "documents/file_format.h"
#include "platform/file_io.h"

namespace kvarlo {

enum class DocumentOutcome {
    done,             // written, or read and installed
    cancelled,        // the dialog was closed without a name
    fileProblem,      // the file could not be written or read: `problem` says why
    unspellableName,  // the chosen name has a character Windows-1251 lacks
    nameTooLong,      // the chosen name does not fit the program's name buffer
    unknownKind,      // a name without the extension of a figure, game or solution
    otherDocument,    // the file holds a document of another kind: `foundKind`
    refused,          // not a document of this kind for this board, or a damaged one
};

struct DocumentResult {
    DocumentOutcome outcome = DocumentOutcome::done;
    bool saving = false;
    DocumentKind kind = DocumentKind::Figure;  // what was saved or opened
    FileProblem problem = FileProblem::none;
    uint32_t foundKind = 0;  // the kind word of the file, for otherDocument
    // The file in the program's Windows-1251; a name 1251 cannot spell has '?' for each
    // character it lacks.
    std::string path;

    bool done() const { return outcome == DocumentOutcome::done; }
    bool cancelled() const { return outcome == DocumentOutcome::cancelled; }
    bool failed() const { return !done() && !cancelled(); }
};

// The message for a failed save or open (Windows-1251): what could not be done with which
// document, the file, and the reason in a sentence. Empty when the result is no failure.
std::string failureMessage(const DocumentResult& result);

}  // namespace kvarlo
