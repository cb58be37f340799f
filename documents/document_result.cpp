// The Russian messages of failed saves and opens. The file layer and the codec say what went
// wrong in English words for the command line; the user of the program reads one Russian
// sentence chosen by the kind of failure instead.
#include "documents/document_result.h"

namespace kvarlo {

namespace {

// "Фигуру", as in "сохранить Фигуру".
const char* accusative(DocumentKind kind) {
    switch (kind) {
        case DocumentKind::Game:
            return "Игру";
        case DocumentKind::Solution:
            return "Решение";
        case DocumentKind::Figure:
            break;
    }
    return "Фигуру";
}

// "Фигуры", as in "файл Фигуры"; empty for a kind word no document has.
const char* genitive(uint32_t kind) {
    switch (kind) {
        case static_cast<uint32_t>(DocumentKind::Figure):
            return "Фигуры";
        case static_cast<uint32_t>(DocumentKind::Game):
            return "Игры";
        case static_cast<uint32_t>(DocumentKind::Solution):
            return "Решения";
        default:
            return "";
    }
}

const char* problemSentence(FileProblem problem, bool saving) {
    switch (problem) {
        case FileProblem::noName:
            return "Не указано имя файла.";
        case FileProblem::notFound:
            return saving ? "Файл не создан: папки, в которой он должен лежать, нет."
                          : "Такого файла нет.";
        case FileProblem::noPermission:
            return saving ? "Нет прав на запись этого файла или в его папку."
                          : "Нет прав на чтение этого файла.";
        case FileProblem::diskFull:
            return "На диске не хватает места. Прежний файл, если он был, не изменён.";
        case FileProblem::isFolder:
            return "Это имя папки, а не файла.";
        case FileProblem::notRegularFile:
            return "Это не обычный файл, а устройство, канал или сокет.";
        case FileProblem::tooLarge:
            return "Файл слишком велик.";
        case FileProblem::none:
        case FileProblem::other:
            break;
    }
    return saving ? "Система не дала записать файл. Прежний файл, если он был, не изменён."
                  : "Система не дала прочитать файл.";
}

std::string reasonSentence(const DocumentResult& result) {
    switch (result.outcome) {
        case DocumentOutcome::fileProblem:
            return problemSentence(result.problem, result.saving);
        case DocumentOutcome::unspellableName:
            return "Имя файла содержит знаки, которых нет в кодировке программы "
                   "(Windows-1251). Выберите, пожалуйста, другое имя.";
        case DocumentOutcome::nameTooLong:
            return "Имя файла слишком длинное для программы.";
        case DocumentOutcome::unknownKind:
            return "Программа открывает файлы Фигур (.t1a), Игр (.t1b) и Решений (.t1c).";
        case DocumentOutcome::otherDocument:
            return std::string("Это файл ") + genitive(result.foundKind) + ", а не " +
                   genitive(static_cast<uint32_t>(result.kind)) + ".";
        case DocumentOutcome::refused:
            return std::string("Это не файл ") + genitive(static_cast<uint32_t>(result.kind)) +
                   " для этого поля, или файл повреждён.";
        case DocumentOutcome::done:
        case DocumentOutcome::cancelled:
            break;
    }
    return {};
}

std::string headline(const DocumentResult& result) {
    if (result.outcome == DocumentOutcome::unknownKind) {
        return "Не удалось открыть файл";
    }
    return result.saving
               ? std::string("Не удалось сохранить ") + accusative(result.kind) + " в файл"
               : std::string("Не удалось открыть ") + accusative(result.kind) + " из файла";
}

}  // namespace

std::string failureMessage(const DocumentResult& result) {
    if (!result.failed()) {
        return {};
    }
    std::string message = headline(result);
    // A name too long for the dialog's buffer never reached the program.
    if (!result.path.empty()) {
        message += "\n\n" + result.path;
    }
    return message + "\n\n" + reasonSentence(result);
}

}  // namespace kvarlo
