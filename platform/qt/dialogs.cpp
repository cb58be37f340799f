// Dialog boxes from resource templates (a nested message loop until EndDialog), the open and save
// file dialogs over QFileDialog and message boxes over QMessageBox, with the test seams that
// answer them.
#include <unistd.h>
#include <QApplication>
#include <QCloseEvent>
#include <QDialog>
#include <QFileDialog>
#include <QFileInfo>
#include <QGuiApplication>
#include <QLabel>
#include <QMessageBox>
#include <QPixmap>
#include <QPointer>
#include <QPushButton>
#include <cstring>
#include <deque>
#include <functional>
#include <mutex>

#include "platform/core/file_dialogs.h"
#include "platform/cp1251.h"
#include "platform/qt/layer.h"
#include "platform/qt/resources.h"
#include "platform/qt/test_seams.h"

namespace kvarlo::platform {

void tellOwnerWhenShown(WaitingBox& waiting, QObject& box, std::function<void(int)> close) {
    waiting.closeWith(std::move(close));
    // Queued to the box: it runs from the box's own loop, once the box is up.
    QMetaObject::invokeMethod(
        &box, [&waiting] { waiting.tellOwner(WA_INACTIVE); }, Qt::QueuedConnection);
}

namespace {

// Dialog units to pixels for the dialog font: 8 pixels per 4 horizontal and 16 per 8 vertical.
int unitsX(int units) {
    return units * 2;
}
int unitsY(int units) {
    return units * 2;
}

Window* openDialog = nullptr;

class DialogBox : public QDialog {
public:
    explicit DialogBox(QWidget* parent) : QDialog(parent) {}
    Window* window = nullptr;

    void reject() override {  // Esc
        if (window != nullptr)
            callWindowProc(*window, WM_COMMAND, MAKEWPARAM(IDCANCEL, 0), 0);
    }
    void accept() override {}

protected:
    void closeEvent(QCloseEvent* event) override {  // the caption's close box
        event->ignore();
        if (window != nullptr)
            callWindowProc(*window, WM_CLOSE, 0, 0);
    }
};

// ---- Dialog boxes from templates ----

// The box's window record, which the dialog procedure knows it by. The box may be destroyed
// first (with its owner): the record then forgets it and the box ends with -1.
Window* attachDialogWindow(DialogBox& box, DLGPROC proc) {
    auto* window = new Window;
    window->className = "#32770";
    window->dialog = true;
    window->dialogProc = proc;
    window->top = &box;
    window->visible = true;
    box.window = window;
    QObject::connect(&box, &QObject::destroyed, [window] {
        window->dialog = false;
        window->top = nullptr;
        if (!window->dialogEnded) {
            window->dialogEnded = true;
            window->dialogResult = -1;
        }
    });
    return window;
}

// A push button whose click comes to the dialog procedure as WM_COMMAND with its id.
QPushButton* addButton(DialogBox& box, Window* window, const DialogControl& c, const QRect& area) {
    auto* button = new QPushButton(fromAnsi(c.text), &box);
    button->setGeometry(area);
    const bool isDefault = (c.style & 0x0F) == BS_DEFPUSHBUTTON;
    button->setDefault(isDefault);
    button->setAutoDefault(isDefault);
    const int id = c.id;
    QObject::connect(button, &QPushButton::clicked, &box,
                     [window, id] { callWindowProc(*window, WM_COMMAND, MAKEWPARAM(id, 0), 0); });
    return button;
}

// A static control: a bitmap resource or plain text.
void addStatic(DialogBox& box, const DialogControl& c, const QRect& area) {
    auto* label = new QLabel(&box);
    if ((c.style & 0x1F) == SS_BITMAP) {
        const QImage image =
            bitmapImage(c.image.text != nullptr ? c.image.text : MAKEINTRESOURCEA(c.image.id));
        label->setPixmap(QPixmap::fromImage(image));
        // Shown at the picture's own size, whatever the template's box says.
        label->setGeometry(
            QRect(area.topLeft(), (c.style & SS_REALSIZEIMAGE) ? image.size() : area.size()));
        label->setScaledContents(!(c.style & SS_REALSIZEIMAGE));
        return;
    }
    label->setTextFormat(Qt::PlainText);
    label->setText(fromAnsi(c.text));
    label->setGeometry(area);
    const DWORD align = c.style & 0x03;
    label->setAlignment((align == SS_CENTER  ? Qt::AlignHCenter
                         : align == SS_RIGHT ? Qt::AlignRight
                                             : Qt::AlignLeft) |
                        Qt::AlignTop);
}

// The template's controls, laid out in dialog units; returns the first button that is a tab
// stop, which takes the focus when the procedure asks for it.
QWidget* addControls(DialogBox& box, Window* window, const DialogResource& resource) {
    QWidget* firstTabStop = nullptr;
    for (unsigned i = 0; i < resource.count; ++i) {
        const DialogControl& c = resource.controls[i];
        const QRect area(unitsX(c.x), unitsY(c.y), unitsX(c.cx), unitsY(c.cy));
        if (std::strcmp(c.className, "BUTTON") == 0) {
            QPushButton* button = addButton(box, window, c, area);
            if (firstTabStop == nullptr && (c.style & WS_TABSTOP))
                firstTabStop = button;
        } else {
            addStatic(box, c, area);
        }
    }
    return firstTabStop;
}

// The modal loop: the program's messages keep flowing while the box is open. Returns what
// EndDialog gave, or Cancel when WM_QUIT ended the box (the quit stays for the main loop).
INT_PTR runDialogLoop(Window& window) {
    MSG msg;
    while (!window.dialogEnded) {
        if (takeMessage(msg, nullptr, 0, 0, true)) {
            if (msg.message == WM_QUIT) {
                PostQuitMessage(static_cast<int>(msg.wParam));
                break;
            }
            DispatchMessageA(&msg);
        } else {
            waitForWork();
        }
    }
    return window.dialogEnded ? window.dialogResult : IDCANCEL;
}

// Hides the box, if it still exists, and destroys it with its window record.
void takeDownDialog(QPointer<DialogBox>& guard, Window* window) {
    if (guard) {
        guard->hide();
        guard->window = nullptr;
        QObject::disconnect(guard, &QObject::destroyed, nullptr, nullptr);
    }
    // Still a dialog while it is taken down, whatever became of the box.
    window->dialog = true;
    DestroyWindow(handleOf(window));
    delete guard.data();
}

// Whether a real modal dialog could ever be answered here: not without widgets, off the GUI
// thread, or on a platform that shows nothing.
bool someoneCanAnswer() {
    const QString platform = QGuiApplication::platformName();
    return haveWidgets() && onGuiThread() && platform != QLatin1String("offscreen") &&
           platform != QLatin1String("minimal");
}

// ---- The file dialogs' seam ----
struct ScriptedAnswer {
    enum class Kind { cancel, ansi, utf8 } kind = Kind::cancel;
    std::string name;
};
struct Seam {
    std::deque<ScriptedAnswer> answers;
    std::vector<testing::FileDialogRequest> log;
    std::deque<std::function<void(QWidget*)>> whenShown;  // for the next dialog boxes
};

// The folders a file dialog starts from, remembered for the process as Windows remembers them
// for a program: the first initial folder it was given, and the folder of the last name chosen.
struct DialogFolders {
    std::optional<std::string> firstInitial;
    std::string lastChosen;
};
DialogFolders& dialogFolders() {
    static auto* folders = new DialogFolders;
    return *folders;
}

// Where a dialog given `initialDir` opens. A program that always passes the same folder (the
// current one, as ours does) comes back to where the user last chose a file.
std::string startFolderFor(const std::string& initialDir) {
    DialogFolders& folders = dialogFolders();
    if (!folders.firstInitial)
        folders.firstInitial = initialDir;
    if (initialDir == *folders.firstInitial && !folders.lastChosen.empty())
        return folders.lastChosen;
    return initialDir;
}

void rememberChosenFolder(const std::string& path) {
    const auto slash = path.find_last_of("/\\");
    if (slash != std::string::npos)
        dialogFolders().lastChosen = path.substr(0, slash == 0 ? 1 : slash);
}
Seam& seam() {
    static auto* s = new Seam;
    return *s;
}
// A test's action for a dialog box just shown runs from the box's modal loop, as a user's
// input would: queued to the box, not called from here.
void actWhenShown(const QPointer<DialogBox>& box) {
    if (seam().whenShown.empty())
        return;
    auto action = std::move(seam().whenShown.front());
    seam().whenShown.pop_front();
    QMetaObject::invokeMethod(
        box.data(), [box, action] { action(box.data()); }, Qt::QueuedConnection);
}

bool fileExists(const std::string& ansiPath) {
    return ::access(cp1251ToUtf8(ansiPath).c_str(), F_OK) == 0;
}

bool folderOfExists(const std::string& ansiPath) {
    const auto slash = ansiPath.find_last_of("/\\");
    if (slash == std::string::npos)
        return true;
    return ::access(cp1251ToUtf8(ansiPath.substr(0, slash == 0 ? 1 : slash)).c_str(), F_OK) == 0;
}

testing::FileDialogRequest describeRequest(const OPENFILENAMEA& ofn, bool save) {
    testing::FileDialogRequest request;
    request.save = save;
    request.title = ofn.lpstrTitle != nullptr ? ofn.lpstrTitle : "";
    request.filters = filterPairs(ofn.lpstrFilter);
    request.initialDir = ofn.lpstrInitialDir != nullptr ? ofn.lpstrInitialDir : "";
    request.startFolder = startFolderFor(request.initialDir);
    request.defaultExtension = ofn.lpstrDefExt != nullptr ? ofn.lpstrDefExt : "";
    request.proposedName = std::string(ofn.lpstrFile, strnlen(ofn.lpstrFile, ofn.nMaxFile));
    request.flags = ofn.Flags;
    request.owner = ofn.hwndOwner;
    return request;
}

// The real dialog: the name the user chose, or nothing when it was cancelled.
std::optional<QString> showFileDialog(const OPENFILENAMEA& ofn,
                                      const testing::FileDialogRequest& request) {
    Window* owner = windowFromHandle(ofn.hwndOwner);
    QFileDialog dialog(owner != nullptr ? owner->top : nullptr, fromAnsi(request.title.c_str()));
    dialog.setAcceptMode(request.save ? QFileDialog::AcceptSave : QFileDialog::AcceptOpen);
    dialog.setFileMode(request.save ? QFileDialog::AnyFile : QFileDialog::ExistingFile);
    if (!(ofn.Flags & OFN_OVERWRITEPROMPT))
        dialog.setOption(QFileDialog::DontConfirmOverwrite);
    QStringList filters;
    for (const auto& [description, pattern] : request.filters) {
        QString patterns = fromAnsi(pattern.c_str());
        patterns.replace(QLatin1Char(';'), QLatin1Char(' '));
        const QString text = fromAnsi(description.c_str());
        // Qt reads the patterns from the text's last parentheses; a description that already
        // shows them ("Figures (*.t1a)") is used as it is.
        filters << (text.endsWith(QStringLiteral("(") + patterns + QLatin1Char(')'))
                        ? text
                        : text + QStringLiteral(" (") + patterns + QLatin1Char(')'));
    }
    if (!filters.isEmpty()) {
        dialog.setNameFilters(filters);
        const DWORD index = ofn.nFilterIndex == 0 ? 1 : ofn.nFilterIndex;
        if (index <= static_cast<DWORD>(filters.size()))
            dialog.selectNameFilter(filters[static_cast<int>(index - 1)]);
    }
    if (!request.startFolder.empty())
        dialog.setDirectory(fromAnsi(request.startFolder.c_str()));
    if (!request.defaultExtension.empty())
        dialog.setDefaultSuffix(fromAnsi(request.defaultExtension.c_str()));
    if (!request.proposedName.empty())
        dialog.selectFile(fromAnsi(request.proposedName.c_str()));
    WaitingBox waiting(ofn.hwndOwner, {IDOK, IDCANCEL});
    // OK as the dialog's own button does it (QFileDialog keeps accept() to itself).
    tellOwnerWhenShown(waiting, dialog, [&dialog](int id) {
        QMetaObject::invokeMethod(&dialog, id == IDOK ? "accept" : "reject", Qt::DirectConnection);
    });
    int result;
    {
        ForeignModalScope scope;  // the program's messages keep flowing while it is open
        result = dialog.exec();
    }
    if (result != QDialog::Accepted || dialog.selectedFiles().isEmpty())
        return std::nullopt;
    return dialog.selectedFiles().front();
}

// The chosen name in the program's strings. One they cannot hold fails the dialog, and the
// caller's buffer gets it spelled with '?' for what 1251 lacks, so a message can name it.
std::optional<std::string> takeChosenName(OPENFILENAMEA& ofn, const QString& chosen) {
    auto name = toAnsi(chosen);
    if (!name) {
        setDialogError(FNERR_INVALIDFILENAME);
        const std::string shown = toAnsiLossy(chosen);
        const size_t n = std::min<size_t>(shown.size(), ofn.nMaxFile - 1);
        std::memcpy(ofn.lpstrFile, shown.data(), n);
        ofn.lpstrFile[n] = '\0';
    }
    return name;
}

// Where no dialog can be shown, only its owner can answer it (told by WM_ACTIVATE, as on Windows):
// OK takes the proposed name, in the folder the dialog would have opened in.
std::optional<std::string> nameAnsweredUnshown(const OPENFILENAMEA& ofn,
                                               const testing::FileDialogRequest& request) {
    if (!onGuiThread())
        return std::nullopt;
    WaitingBox waiting(ofn.hwndOwner, {IDOK, IDCANCEL});
    if (waiting.waitUnshown() != IDOK || request.proposedName.empty())
        return std::nullopt;
    if (request.proposedName.front() == '/')
        return request.proposedName;
    std::string folder = request.startFolder;
    if (folder.empty()) {
        char current[MAX_PATH] = {};
        GetCurrentDirectoryA(sizeof current, current);
        folder = current;
    }
    return folder + (folder.empty() || folder.back() != '/' ? "/" : "") + request.proposedName;
}

// The name the user chose (1251): the oldest scripted answer, or the real dialog's; nothing
// when the dialog was cancelled or its name refused.
std::optional<std::string> chooseName(OPENFILENAMEA& ofn,
                                      const testing::FileDialogRequest& request) {
    if (!seam().answers.empty()) {
        const ScriptedAnswer answer = seam().answers.front();
        seam().answers.pop_front();
        switch (answer.kind) {
            case ScriptedAnswer::Kind::cancel:
                return std::nullopt;
            case ScriptedAnswer::Kind::ansi:
                return answer.name;
            case ScriptedAnswer::Kind::utf8:
                return takeChosenName(ofn, QString::fromStdString(answer.name));
        }
    }
    if (!someoneCanAnswer())
        return nameAnsweredUnshown(ofn, request);
    const std::optional<QString> chosen = showFileDialog(ofn, request);
    return chosen ? takeChosenName(ofn, *chosen) : std::nullopt;
}

}  // namespace

bool runFileDialog(OPENFILENAMEA* ofn, bool save) {
    const testing::FileDialogRequest request = describeRequest(*ofn, save);
    seam().log.push_back(request);
    const std::optional<std::string> chosen = chooseName(*ofn, request);
    if (!chosen || chosen->empty())
        return false;
    OPENFILENAMEA copy = *ofn;
    if (!deliverPath(copy, *chosen)) {
        *ofn = copy;
        return false;
    }
    const std::string path = copy.lpstrFile;
    if (!save && (ofn->Flags & OFN_FILEMUSTEXIST) && !fileExists(path))
        return false;
    if ((ofn->Flags & OFN_PATHMUSTEXIST) && !folderOfExists(path))
        return false;
    *ofn = copy;
    rememberChosenFolder(path);
    return true;
}

namespace {

// ---- Message boxes ----
struct MessageBoxSeam {
    std::mutex mutex;
    std::vector<testing::MessageBoxRecord> log;
};
MessageBoxSeam& messageBoxSeam() {
    static auto* s = new MessageBoxSeam;
    return *s;
}

// The buttons of a box type with the id each answers, the default one first.
std::vector<std::pair<QMessageBox::StandardButton, int>> boxButtons(UINT type) {
    switch (type & 0x0F) {
        case MB_OK:
            return {{QMessageBox::Ok, IDOK}};
        case MB_OKCANCEL:
            return {{QMessageBox::Ok, IDOK}, {QMessageBox::Cancel, IDCANCEL}};
        case MB_YESNO:
            return {{QMessageBox::Yes, IDYES}, {QMessageBox::No, IDNO}};
        default:
            return {};
    }
}

QMessageBox::Icon boxIcon(UINT type) {
    switch (type & 0xF0) {
        case MB_ICONHAND:
            return QMessageBox::Critical;
        case MB_ICONQUESTION:
            return QMessageBox::Question;
        case MB_ICONEXCLAMATION:
            return QMessageBox::Warning;
        case MB_ICONASTERISK:
            return QMessageBox::Information;
        default:
            return QMessageBox::NoIcon;
    }
}

std::vector<int> buttonIds(
    const std::vector<std::pair<QMessageBox::StandardButton, int>>& buttons) {
    std::vector<int> ids;
    for (const auto& button : buttons)
        ids.push_back(button.second);
    return ids;
}

// The real box, modal; the id of the button pressed (closing it is the last button's answer).
int showMessageBox(HWND ownerHandle, LPCSTR text, LPCSTR caption, UINT type,
                   const std::vector<std::pair<QMessageBox::StandardButton, int>>& buttons) {
    ensurePump();
    Window* owner = windowFromHandle(ownerHandle);
    QMessageBox box(boxIcon(type), fromAnsi(caption), fromAnsi(text), QMessageBox::NoButton,
                    owner != nullptr ? owner->top : nullptr);
    for (const auto& button : buttons)
        box.addButton(button.first);
    box.setDefaultButton(buttons.front().first);
    WaitingBox waiting(ownerHandle, buttonIds(buttons));
    tellOwnerWhenShown(waiting, box, [&box](int) { box.done(0); });
    {
        ForeignModalScope scope;  // the program's messages keep flowing while it is open
        box.exec();
    }
    if (const std::optional<int> answer = waiting.answer())
        return *answer;
    const QMessageBox::StandardButton pressed = box.standardButton(box.clickedButton());
    for (const auto& button : buttons) {
        if (button.first == pressed)
            return button.second;
    }
    return buttons.back().second;
}

}  // namespace

namespace testing {

void answerNextFileDialog(const std::string& path) {
    seam().answers.push_back({ScriptedAnswer::Kind::ansi, path});
}
void answerNextFileDialogUtf8(const std::string& path) {
    seam().answers.push_back({ScriptedAnswer::Kind::utf8, path});
}
void forgetFileDialogFolders() {
    dialogFolders() = DialogFolders{};
}
void cancelNextFileDialog() {
    seam().answers.push_back({ScriptedAnswer::Kind::cancel, {}});
}
void clearFileDialogAnswers() {
    seam().answers.clear();
}
size_t pendingFileDialogAnswers() {
    return seam().answers.size();
}
std::vector<FileDialogRequest> fileDialogLog() {
    return seam().log;
}
void clearFileDialogLog() {
    seam().log.clear();
}

std::vector<MessageBoxRecord> messageBoxLog() {
    std::lock_guard lock(messageBoxSeam().mutex);
    return messageBoxSeam().log;
}
void clearMessageBoxLog() {
    std::lock_guard lock(messageBoxSeam().mutex);
    messageBoxSeam().log.clear();
}

QWidget* activeDialogWidget() {
    return openDialog != nullptr ? openDialog->top : nullptr;
}

void onNextDialogShown(std::function<void(QWidget*)> action) {
    seam().whenShown.push_back(std::move(action));
}

}  // namespace testing

}  // namespace kvarlo::platform

using namespace kvarlo::platform;

int WINAPI MessageBoxA(HWND owner, LPCSTR text, LPCSTR caption, UINT type) {
    {
        std::lock_guard lock(messageBoxSeam().mutex);
        messageBoxSeam().log.push_back(
            {owner, caption != nullptr ? caption : "", text != nullptr ? text : "", type});
    }
    const auto buttons = boxButtons(type);
    if (buttons.empty()) {
        SetLastError(ERROR_INVALID_PARAMETER);
        return 0;
    }
    if (!someoneCanAnswer()) {  // a real box would wait for ever, unless its owner answers it
        if (!onGuiThread())
            return buttons.front().second;
        WaitingBox waiting(owner, buttonIds(buttons));
        return waiting.waitUnshown().value_or(buttons.front().second);
    }
    return showMessageBox(owner, text, caption, type, buttons);
}

INT_PTR WINAPI DialogBoxParamA(HINSTANCE instance, LPCSTR templateName, HWND ownerHandle,
                               DLGPROC proc, LPARAM param) {
    const DialogResource* resource = instance != nullptr ? findDialog(templateName) : nullptr;
    if (resource == nullptr || !haveWidgets() || !onGuiThread()) {
        SetLastError(ERROR_RESOURCE_NAME_NOT_FOUND);
        return -1;
    }
    ensurePump();
    Window* owner = windowFromHandle(ownerHandle);
    // Owned by the owner's widget, which may go first: the guard notices and ends the box.
    QPointer<DialogBox> guard = new DialogBox(owner != nullptr ? owner->top : nullptr);
    Window* window = attachDialogWindow(*guard, proc);
    // Kept on the window too, so GetWindowTextA reads the caption as it does on Windows.
    window->title = resource->caption;
    guard->setWindowTitle(fromAnsi(resource->caption));
    guard->setFixedSize(unitsX(resource->cx), unitsY(resource->cy));
    guard->setWindowModality(Qt::ApplicationModal);
    QWidget* firstTabStop = addControls(*guard, window, *resource);

    registerLiveWindow(window);
    Window* outer = openDialog;
    openDialog = window;
    guard->show();
    if (callWindowProc(*window, WM_INITDIALOG, 0, param) && firstTabStop != nullptr)
        firstTabStop->setFocus();
    actWhenShown(guard);
    const INT_PTR result = runDialogLoop(*window);
    openDialog = outer;
    takeDownDialog(guard, window);
    return result;
}

BOOL WINAPI EndDialog(HWND handle, INT_PTR result) {
    Window* window = windowFromHandle(handle);
    if (window == nullptr || !window->dialog)
        return FALSE;
    window->dialogEnded = true;
    window->dialogResult = result;
    wakeQueue();
    return TRUE;
}
