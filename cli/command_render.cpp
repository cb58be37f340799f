// kvarlo-cli render: the frame the game's window would paint for a file, as a PNG image, drawn
// by the window's own painting code on an off-screen surface.
#include <charconv>
#include <cstdio>
#include <optional>
#include <string>

#include "cli/arguments.h"
#include "cli/commands.h"
#include "cli/document_file.h"
#include "cli/png_writer.h"
#include "game/clock.h"
#include "platform/offscreen.h"
#include "platform/win32.h"
#include "view/board_view.h"

namespace kvarlo::cli {

namespace {

const char* const help =
    "usage: kvarlo-cli render FILE -o OUT.png [--size WxH] [--mode editor|game|solver]\n"
    "                         [--thumbnail N]\n"
    "\n"
    "Draws the frame the game's window would show with FILE opened, at a client area of\n"
    "WxH pixels (640x480 unless given), and writes it as a PNG image.\n"
    "\n"
    "  --mode       editor, game or solver. By default a figure is shown as a game started\n"
    "               on it, a game as it was saved, and a solution in the solver with its\n"
    "               statistics.\n"
    "  --thumbnail  the board alone, without the status panel, in a square of N x N pixels\n"
    "               (what file managers show for the file).\n";

// The largest side of an image drawn: 8192 pixels, 256 MiB of surface.
constexpr int32_t maxSide = 8192;

bool parseSize(const std::string& text, int32_t& width, int32_t& height) {
    const size_t x = text.find('x');
    if (x == std::string::npos) {
        return false;
    }
    const char* begin = text.data();
    const auto [wEnd, wError] = std::from_chars(begin, begin + x, width);
    const auto [hEnd, hError] = std::from_chars(begin + x + 1, begin + text.size(), height);
    return wError == std::errc() && hError == std::errc() && wEnd == begin + x &&
           hEnd == begin + text.size() && width > 0 && height > 0 && width <= maxSide &&
           height <= maxSide;
}

bool parseMode(const std::string& text, AppMode& mode) {
    if (text == "editor") {
        mode = AppMode::Editor;
    } else if (text == "game") {
        mode = AppMode::Game;
    } else if (text == "solver") {
        mode = AppMode::Solver;
    } else {
        return false;
    }
    return true;
}

// Draws the frame into a top-down 32-bit surface and encodes it.
bool renderToPng(const FrameState& frame, int32_t width, int32_t height, bool boardOnly,
                 std::vector<uint8_t>& png) {
    BITMAPINFO info{};
    info.bmiHeader.biSize = sizeof(BITMAPINFOHEADER);
    info.bmiHeader.biWidth = width;
    info.bmiHeader.biHeight = -height;  // top-down, so the rows read in image order
    info.bmiHeader.biPlanes = 1;
    info.bmiHeader.biBitCount = 32;
    info.bmiHeader.biCompression = BI_RGB;
    void* bits = nullptr;
    HBITMAP bitmap = CreateDIBSection(nullptr, &info, DIB_RGB_COLORS, &bits, nullptr, 0);
    if (!bitmap || !bits) {
        return false;
    }
    HDC surface = CreateCompatibleDC(nullptr);
    if (!surface) {
        DeleteObject(bitmap);
        return false;
    }
    HGDIOBJ previous = SelectObject(surface, bitmap);
    if (boardOnly) {
        renderBoardPicture(surface, bits, width, height, frame);
    } else {
        renderFrame(surface, bits, width, height, frame);
    }
    png = encodePng(static_cast<const uint8_t*>(bits), width, height, width * 4);
    SelectObject(surface, previous);
    DeleteDC(surface);
    DeleteObject(bitmap);
    return true;
}

// What the command line asks for.
struct RenderRequest {
    std::string file;
    std::string output;
    int32_t width = 640;
    int32_t height = 480;
    std::optional<AppMode> mode;
    bool thumbnail = false;
};

// Reads the arguments into `request`; an exit status when the command ends here (the help, or a
// usage error), none when the frame is to be drawn.
std::optional<int> parseRenderArguments(const std::vector<std::string>& args,
                                        RenderRequest& request) {
    for (size_t i = 0; i < args.size(); ++i) {
        const std::string& arg = args[i];
        if (arg == "--help" || arg == "-h") {
            std::fputs(help, stdout);
            return exitOk;
        }
        if (arg == "-o" || arg == "--size" || arg == "--mode" || arg == "--thumbnail") {
            if (i + 1 == args.size()) {
                return usageError("render", arg + " needs a value");
            }
            const std::string& value = args[++i];
            if (arg == "-o") {
                request.output = value;
            } else if (arg == "--size" && !parseSize(value, request.width, request.height)) {
                return usageError("render",
                                  "--size needs WxH, each a whole number of pixels from "
                                  "1 to " +
                                      std::to_string(maxSide));
            } else if (arg == "--thumbnail") {
                if (!parseSize(value + "x" + value, request.width, request.height)) {
                    return usageError("render",
                                      "--thumbnail needs a whole number of pixels from "
                                      "1 to " +
                                          std::to_string(maxSide));
                }
                request.thumbnail = true;
            } else if (arg == "--mode") {
                AppMode m{};
                if (!parseMode(value, m)) {
                    return usageError("render", "'" + value + "' is not editor, game or solver");
                }
                request.mode = m;
            }
        } else if (!arg.starts_with("-") && request.file.empty()) {
            request.file = arg;
        } else {
            return usageError("render", "unexpected argument '" + arg + "'");
        }
    }
    if (request.file.empty() || request.output.empty()) {
        return usageError("render", "a file and an output image (-o) are needed");
    }
    return std::nullopt;
}

// The window as the program shows the document just opened (a figure starts a game on it), or
// in the mode asked for. Drawing reads the state and the clock is not ticked: a game shows
// exactly the time it was saved with.
WindowState openDocument(LoadedDocument& document, std::optional<AppMode> mode) {
    WindowState window;
    switch (document.kind) {
        case DocumentKind::Figure:
            window.mode = AppMode::Game;
            newGame(document.board, document.history, document.state,
                    systemClock().calendarSeconds());
            break;
        case DocumentKind::Game:
            window.mode = AppMode::Game;
            break;
        case DocumentKind::Solution:
            window.mode = AppMode::Solver;
            break;
    }
    if (mode) {
        window.mode = *mode;
    }
    return window;
}

}  // namespace

int runRender(const std::vector<std::string>& args) {
    RenderRequest request;
    if (const std::optional<int> status = parseRenderArguments(args, request)) {
        return *status;
    }
    LoadedDocument document;
    if (!readDocumentOrReport(request.file, document)) {
        return exitRefused;
    }
    const WindowState window = openDocument(document, request.mode);
    const int32_t width = request.width;
    const int32_t height = request.height;

    // Text needs the platform's font machinery; no display is needed for an off-screen surface.
    const platform::OffscreenDrawing drawing;

    const FrameState frame{document.board, document.history, document.state,
                           window,         document.results, 0};
    std::vector<uint8_t> png;
    if (!renderToPng(frame, width, height, request.thumbnail, png)) {
        std::fprintf(stderr, "kvarlo-cli: cannot make a %dx%d drawing surface\n", width, height);
        return exitRefused;
    }
    std::string reason;
    if (!writeFileAtomically(request.output, png, reason)) {
        std::fprintf(stderr, "kvarlo-cli: %s: %s\n", request.output.c_str(), reason.c_str());
        return exitRefused;
    }
    return exitOk;
}

}  // namespace kvarlo::cli
