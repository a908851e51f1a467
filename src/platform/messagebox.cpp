// The user-facing boxes: SDL2's message box, with the terminal behind it.
//
// SDL_ShowMessageBox needs no SDL_Init and opens its own connection to the
// window system, so it can run before glutInit and does not touch freeglut's.
#include "platform/messagebox.h"

#include <SDL2/SDL.h>

#include <cctype>
#include <cstring>

namespace {
enum : int { BUTTON_YES = 1, BUTTON_NO = 2, BUTTON_OK = 3 };

// Shows `data` and returns the chosen button id, -1 when the box could not be
// shown, or -2 when it was closed without a choice. Whatever SDL started for
// the box is shut down again unless SDL was already running (the sound layer
// may be using its audio by then).
int showBox(const SDL_MessageBoxData& data) {
    const bool sdlWasRunning = SDL_WasInit(0) != 0;
    int chosen = -2;
    const int result = SDL_ShowMessageBox(&data, &chosen);
    if (result != 0) std::fprintf(stderr, "No message box can be shown (%s).\n", SDL_GetError());
    if (!sdlWasRunning) SDL_Quit();
    if (result != 0) return -1;
    return chosen < 0 ? -2 : chosen;
}
}  // namespace

bool answerMeansNo(const char* line) {
    if (!line) return false;
    const char* begin = line;
    while (*begin && std::isspace(static_cast<unsigned char>(*begin))) ++begin;
    const char* end = begin + std::strlen(begin);
    while (end > begin && std::isspace(static_cast<unsigned char>(end[-1]))) --end;
    const size_t length = static_cast<size_t>(end - begin);
    auto lower = [](char c) { return static_cast<char>(std::tolower(static_cast<unsigned char>(c))); };
    if (length == 1) return lower(begin[0]) == 'n';
    if (length == 2) return lower(begin[0]) == 'n' && lower(begin[1]) == 'o';
    return false;
}

bool askYesNoOnTerminal(const char* text, const char* caption, std::FILE* in, std::FILE* out) {
    std::fprintf(out, "%s: %s [y/n] ", caption, text);
    std::fflush(out);
    char line[256];
    if (!std::fgets(line, sizeof line, in)) return false;
    // A line longer than the buffer is read on to its end, so its rest cannot
    // answer a later question; such a line is no plain "n" or "no" anyway.
    const size_t length = std::strlen(line);
    if (length == sizeof line - 1 && line[length - 1] != '\n') {
        int c;
        while ((c = std::fgetc(in)) != EOF && c != '\n') {
        }
        return false;
    }
    return answerMeansNo(line);
}

bool askYesNoAnsweredNo(const char* text, const char* caption) {
    // Listed in screen order, Yes on the left as on the desktops people know.
    const SDL_MessageBoxButtonData buttons[] = {
        {SDL_MESSAGEBOX_BUTTON_RETURNKEY_DEFAULT, BUTTON_YES, "Yes"},
        {SDL_MESSAGEBOX_BUTTON_ESCAPEKEY_DEFAULT, BUTTON_NO, "No"},
    };
    SDL_MessageBoxData data{};
    data.flags = SDL_MESSAGEBOX_INFORMATION | SDL_MESSAGEBOX_BUTTONS_LEFT_TO_RIGHT;
    data.title = caption;
    data.message = text;
    data.numbuttons = 2;
    data.buttons = buttons;
    const int chosen = showBox(data);
    if (chosen == -1) return askYesNoOnTerminal(text, caption, stdin, stdout);
    return chosen == BUTTON_NO;
}

void showErrorBox(const char* text) {
    std::fprintf(stderr, "Error: %s\n", text);
    std::fflush(stderr);
    const SDL_MessageBoxButtonData buttons[] = {
        {SDL_MESSAGEBOX_BUTTON_RETURNKEY_DEFAULT | SDL_MESSAGEBOX_BUTTON_ESCAPEKEY_DEFAULT, BUTTON_OK, "OK"},
    };
    SDL_MessageBoxData data{};
    data.flags = SDL_MESSAGEBOX_ERROR;
    data.title = "Error";
    data.message = text;
    data.numbuttons = 1;
    data.buttons = buttons;
    showBox(data);
}
