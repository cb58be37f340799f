// The Russian messages of failed saves and opens: each names what failed, the file and a reason
// of its own; a cancel or a success has none.
#include "documents/document_result.h"

#include <gtest/gtest.h>

#include <set>
#include <string>

namespace kvarlo {
namespace {

DocumentResult failed(DocumentOutcome outcome, bool saving, DocumentKind kind,
                      FileProblem problem = FileProblem::none) {
    DocumentResult result;
    result.outcome = outcome;
    result.saving = saving;
    result.kind = kind;
    result.problem = problem;
    result.path = "/home/\xFF/star.t1b";  // "я": the path is shown as the program holds it
    return result;
}

// The sentence after the file's name.
std::string reasonOf(const DocumentResult& result) {
    const std::string message = failureMessage(result);
    return message.substr(message.rfind("\n\n") + 2);
}

TEST(FailureMessages, NameWhatFailedTheFileAndTheReason) {
    EXPECT_EQ(failureMessage(failed(DocumentOutcome::fileProblem, true, DocumentKind::Game,
                                    FileProblem::noPermission)),
              "Не удалось сохранить Игру в файл\n\n/home/\xFF/star.t1b\n\n"
              "Нет прав на запись этого файла или в его папку.");
    DocumentResult other = failed(DocumentOutcome::otherDocument, false, DocumentKind::Figure);
    other.foundKind = static_cast<uint32_t>(DocumentKind::Solution);
    EXPECT_EQ(failureMessage(other),
              "Не удалось открыть Фигуру из файла\n\n/home/\xFF/star.t1b\n\n"
              "Это файл Решения, а не Фигуры.");
    EXPECT_EQ(reasonOf(failed(DocumentOutcome::refused, false, DocumentKind::Solution)),
              "Это не файл Решения для этого поля, или файл повреждён.");
    const std::string unspellable =
        failureMessage(failed(DocumentOutcome::unspellableName, true, DocumentKind::Figure));
    EXPECT_EQ(unspellable.find("Не удалось сохранить Фигуру в файл\n\n/home/\xFF/star.t1b"), 0u);
    EXPECT_NE(unspellable.find("Windows-1251"), std::string::npos);
    EXPECT_EQ(failureMessage(failed(DocumentOutcome::unknownKind, false, DocumentKind::Figure))
                  .find("Не удалось открыть файл\n\n"),
              0u);
}

TEST(FailureMessages, ANameThatNeverReachedTheProgramLeavesNoEmptyLine) {
    DocumentResult result = failed(DocumentOutcome::nameTooLong, true, DocumentKind::Solution);
    result.path.clear();
    EXPECT_EQ(failureMessage(result),
              "Не удалось сохранить Решение в файл\n\nИмя файла слишком длинное для программы.");
}

// Every kind of file problem reads differently, and a save says other things than an open
// where the two differ (a missing folder, a missing file).
TEST(FailureMessages, EachFileProblemHasASentenceOfItsOwn) {
    for (const bool saving : {true, false}) {
        std::set<std::string> reasons;
        for (const FileProblem problem :
             {FileProblem::noName, FileProblem::notFound, FileProblem::noPermission,
              FileProblem::diskFull, FileProblem::isFolder, FileProblem::notRegularFile,
              FileProblem::tooLarge, FileProblem::other}) {
            const std::string reason = reasonOf(
                failed(DocumentOutcome::fileProblem, saving, DocumentKind::Figure, problem));
            EXPECT_GT(reason.size(), 10u);
            EXPECT_TRUE(reasons.insert(reason).second) << reason;
        }
    }
    EXPECT_NE(reasonOf(failed(DocumentOutcome::fileProblem, true, DocumentKind::Figure,
                              FileProblem::notFound)),
              reasonOf(failed(DocumentOutcome::fileProblem, false, DocumentKind::Figure,
                              FileProblem::notFound)));
}

TEST(FailureMessages, ACancelOrASuccessHasNone) {
    EXPECT_EQ(failureMessage(failed(DocumentOutcome::cancelled, true, DocumentKind::Figure)), "");
    EXPECT_EQ(failureMessage(failed(DocumentOutcome::done, false, DocumentKind::Game)), "");
}

}  // namespace
}  // namespace kvarlo
