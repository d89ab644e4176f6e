// dimmio-gui.exe: the tool's report in a window. Started without arguments
// it reads the slots and shows them. `--save KIND FILE` (text, json, html,
// bin, i2cdump; may repeat) saves once the first read has ended, and
// `--close` closes the window then, for scripts.
#include <windows.h>

#include <cstdlib>
#include <string>

#include "main_window.h"
#include "windows_target.h"

int WINAPI WinMain(HINSTANCE instance, HINSTANCE, LPSTR, int show) {
  dimmio::cli::LoadDllsFromTheSystemFolderOnly();
  dimmio::gui::StartOptions options;
  for (int i = 1; i < __argc; ++i) {
    const std::string arg = __argv[i];
    dimmio::gui::SaveKind kind;
    if (arg == "--close") {
      options.Close = true;
    } else if (arg == "--save" && i + 2 < __argc &&
               dimmio::gui::SaveKindNamed(__argv[i + 1], &kind)) {
      options.Saves.emplace_back(kind, __argv[i + 2]);
      i += 2;
    } else {
      const std::string text =
          "dimmio-gui: unexpected argument: " + arg +
          "\nUse: dimmio-gui [--save text|json|html|bin|i2cdump FILE]... [--close]";
      MessageBoxA(nullptr, text.c_str(), "dimmio", MB_OK | MB_ICONERROR);
      return 2;
    }
  }
  return dimmio::gui::RunMainWindow(instance, show, options);
}
