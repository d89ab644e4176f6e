#include "main_window.h"

#include <commctrl.h>
#include <commdlg.h>

#include <memory>
#include <sstream>

#include "controls.h"
#include "dimmio/spd.h"
#include "reader.h"
#include "report.h"
#include "views.h"
#include "window_ids.h"
#include "windows_target.h"

namespace dimmio::gui {

namespace {

constexpr UINT kReadDone = WM_APP + 1;
enum Page { kModules, kSmbios, kPci };

class MainWindow {
 public:
  explicit MainWindow(const StartOptions& options)
      : options_(options), target_(cli::WindowsMachine()) {}

  static LRESULT CALLBACK Procedure(HWND window, UINT message, WPARAM w, LPARAM l) {
    if (message == WM_NCCREATE) {
      const auto* create = reinterpret_cast<CREATESTRUCTA*>(l);
      SetWindowLongPtrA(window, GWLP_USERDATA, reinterpret_cast<LONG_PTR>(create->lpCreateParams));
      static_cast<MainWindow*>(create->lpCreateParams)->window_ = window;
    }
    auto* self = reinterpret_cast<MainWindow*>(GetWindowLongPtrA(window, GWLP_USERDATA));
    return self != nullptr ? self->Handle(message, w, l) : DefWindowProcA(window, message, w, l);
  }

  int ExitCode() const { return exitCode_; }

 private:
  LRESULT Handle(UINT message, WPARAM w, LPARAM l) {
    switch (message) {
      case WM_CREATE:
        Create();
        StartRead();
        return 0;
      case WM_SIZE: Layout(LOWORD(l), HIWORD(l)); return 0;
      case WM_COMMAND: Command(LOWORD(w)); return 0;
      case WM_NOTIFY: Notify(*reinterpret_cast<NMHDR*>(l)); return 0;
      case kReadDone:
        ReadDone(std::unique_ptr<ReadOutcome>(reinterpret_cast<ReadOutcome*>(l)));
        return 0;
      case WM_DESTROY:
        // Closed before the saves the command line asked for.
        if (!asked_ && !options_.Saves.empty()) exitCode_ = 1;
        PostQuitMessage(exitCode_);
        return 0;
      default: return DefWindowProcA(window_, message, w, l);
    }
  }

  int Scaled(int pixels) const { return MulDiv(pixels, dpi_, 96); }

  void Create() {
    const HDC screen = GetDC(nullptr);
    dpi_ = GetDeviceCaps(screen, LOGPIXELSY);
    ReleaseDC(nullptr, screen);
    refresh_ = Child(window_, "BUTTON", "&Refresh", BS_PUSHBUTTON | WS_TABSTOP, IDC_REFRESH);
    save_ = Child(window_, "BUTTON", "&Save...", BS_PUSHBUTTON | WS_TABSTOP, IDC_SAVE);
    copy_ = Child(window_, "BUTTON", "&Copy", BS_PUSHBUTTON | WS_TABSTOP, IDC_COPY);
    driver_ = Child(window_, "BUTTON", "", BS_PUSHBUTTON | WS_TABSTOP, IDC_DRIVER);
    ShowWindow(driver_, SW_HIDE);
    progress_ = Child(window_, PROGRESS_CLASSA, "", PBS_MARQUEE, IDC_PROGRESS);
    status_ = Child(window_, "STATIC", "", SS_LEFT | SS_NOPREFIX, IDC_STATUS);
    tabs_ = Child(window_, WC_TABCONTROLA, "", WS_CLIPSIBLINGS | WS_TABSTOP, IDC_TABS);
    for (const char* name : {"Modules", "SMBIOS", "PCI"}) {
      TCITEMA item{};
      item.mask = TCIF_TEXT;
      item.pszText = const_cast<char*>(name);
      SendMessageA(tabs_, TCM_INSERTITEMA, SendMessageA(tabs_, TCM_GETITEMCOUNT, 0, 0),
                   reinterpret_cast<LPARAM>(&item));
    }
    const DWORD list = LVS_REPORT | LVS_SHOWSELALWAYS | WS_BORDER | WS_TABSTOP;
    slots_ = Child(window_, WC_LISTVIEWA, "", list | LVS_SINGLESEL, IDC_SLOTS);
    smbios_ = Child(window_, WC_LISTVIEWA, "", list, IDC_SMBIOS);
    pci_ = Child(window_, WC_LISTVIEWA, "", list, IDC_PCI);
    for (HWND view : {slots_, smbios_, pci_}) {
      SendMessageA(view, LVM_SETEXTENDEDLISTVIEWSTYLE, 0, LVS_EX_FULLROWSELECT | LVS_EX_GRIDLINES);
    }
    SetColumns(slots_, SlotColumns());
    SetColumns(smbios_, {"", ""});
    SetColumns(pci_, PciColumns());
    const DWORD text =
        ES_MULTILINE | ES_READONLY | ES_AUTOVSCROLL | WS_VSCROLL | WS_HSCROLL | WS_BORDER;
    facts_ = Child(window_, "EDIT", "", text, IDC_FACTS);
    bytes_ = Child(window_, "EDIT", "", text, IDC_BYTES);
    for (HWND edit : {facts_, bytes_}) {
      SendMessageA(edit, WM_SETFONT, reinterpret_cast<WPARAM>(GetStockObject(ANSI_FIXED_FONT)),
                   TRUE);
    }
    SetWindowPos(tabs_, HWND_BOTTOM, 0, 0, 0, 0, SWP_NOMOVE | SWP_NOSIZE);
    ShowPage();
  }

  void Layout(int width, int height) {
    const int margin = Scaled(8), button = Scaled(24), gap = Scaled(6);
    int x = margin;
    for (HWND b : {refresh_, save_, copy_}) {
      MoveWindow(b, x, margin, Scaled(80), button, TRUE);
      x += Scaled(80) + gap;
    }
    MoveWindow(driver_, x, margin, Scaled(200), button, TRUE);
    MoveWindow(progress_, width - margin - Scaled(160), margin + Scaled(4), Scaled(160),
               button - Scaled(8), TRUE);
    const int statusTop = margin + button + gap;
    // Two lines: the tool's messages can be long.
    MoveWindow(status_, margin, statusTop, width - 2 * margin, Scaled(30), TRUE);
    const int tabsTop = statusTop + Scaled(30) + gap;
    MoveWindow(tabs_, margin, tabsTop, width - 2 * margin, height - tabsTop - margin, TRUE);
    RECT page{margin, tabsTop, width - margin, height - margin};
    SendMessageA(tabs_, TCM_ADJUSTRECT, FALSE, reinterpret_cast<LPARAM>(&page));
    const int pageWidth = page.right - page.left, pageHeight = page.bottom - page.top;
    for (HWND list : {smbios_, pci_})
      MoveWindow(list, page.left, page.top, pageWidth, pageHeight, TRUE);
    const int listHeight = pageHeight * 2 / 5;
    MoveWindow(slots_, page.left, page.top, pageWidth, listHeight, TRUE);
    const int textTop = page.top + listHeight + gap, textHeight = pageHeight - listHeight - gap;
    const int factsWidth = (pageWidth - gap) * 11 / 20;
    MoveWindow(facts_, page.left, textTop, factsWidth, textHeight, TRUE);
    MoveWindow(bytes_, page.left + factsWidth + gap, textTop, pageWidth - factsWidth - gap,
               textHeight, TRUE);
  }

  void ShowPage() {
    const auto page = static_cast<int>(SendMessageA(tabs_, TCM_GETCURSEL, 0, 0));
    for (HWND c : {slots_, facts_, bytes_}) ShowWindow(c, page == kModules ? SW_SHOW : SW_HIDE);
    ShowWindow(smbios_, page == kSmbios ? SW_SHOW : SW_HIDE);
    ShowWindow(pci_, page == kPci ? SW_SHOW : SW_HIDE);
  }

  void Status(const std::string& text) { SetWindowTextA(status_, text.c_str()); }

  void StartRead() {
    if (reading_) return;
    reading_ = true;
    for (HWND b : {refresh_, save_, copy_, driver_}) EnableWindow(b, FALSE);
    ShowWindow(progress_, SW_SHOW);
    SendMessageA(progress_, PBM_SETMARQUEE, TRUE, 50);
    SetWindowTextA(window_, DIMMIO_GUI_TITLE_READING);
    Status("Reading the slots through the dimmio driver...");
    if (!StartReading(target_, window_, kReadDone)) {
      auto failed = std::make_unique<ReadOutcome>();
      failed->Error = "dimmio: the report failed: no thread to read on";
      ReadDone(std::move(failed));
    }
  }

  void ReadDone(std::unique_ptr<ReadOutcome> outcome) {
    reading_ = false;
    SendMessageA(progress_, PBM_SETMARQUEE, FALSE, 0);
    ShowWindow(progress_, SW_HIDE);
    read_ = outcome->Read;
    model_ = std::move(outcome->Model);
    SetRows(slots_, read_ ? SlotRows(model_) : std::vector<Row>{});
    SetRows(smbios_, read_ ? SmbiosRows(model_) : std::vector<Row>{});
    SetRows(pci_, read_ ? PciRows(model_) : std::vector<Row>{});
    // The first module selected: its facts and bytes show at once.
    LVITEMA first{};
    first.stateMask = first.state = LVIS_SELECTED | LVIS_FOCUSED;
    SendMessageA(slots_, LVM_SETITEMSTATE, 0, reinterpret_cast<LPARAM>(&first));
    ShowModule();
    Status(read_ ? Summary(model_) : outcome->Error);
    OfferDriver(outcome->NoDevice);
    for (HWND b : {refresh_, driver_}) EnableWindow(b, TRUE);
    for (HWND b : {save_, copy_}) EnableWindow(b, read_);
    SetWindowTextA(window_, DIMMIO_GUI_TITLE);
    if (!read_) exitCode_ = 1;
    SaveAsAsked();
  }

  // The saves the command line asked for, after the first read only.
  void SaveAsAsked() {
    if (asked_) return;
    asked_ = true;
    for (const auto& [kind, path] : options_.Saves) {
      // Named on the command line: a module's existing file is replaced
      // (links and files with other names are still refused).
      const std::string error = read_ ? Save(model_, kind, path, cli::Files(target_),
                                             [](const std::string&) { return true; })
                                      : "dimmio: nothing read to save";
      if (!error.empty()) {
        Status(error);
        exitCode_ = 1;
      }
    }
    if (options_.Close) PostMessageA(window_, WM_CLOSE, 0, 0);
  }

  // When the device does not open and the tool can install the driver here.
  void OfferDriver(bool noDevice) {
    const bool offer = noDevice && target_.Service != nullptr;
    if (offer) {
      const bool installed = target_.Service->InstalledDriver().Service;
      SetWindowTextA(driver_, installed ? "Start the driver" : "Install and start the driver");
    }
    ShowWindow(driver_, offer ? SW_SHOW : SW_HIDE);
  }

  void InstallAndStart() {
    cli::DriverService& service = *target_.Service;
    if (!service.InstalledDriver().Service) {
      const cli::DriverService::Outcome installed = service.Install();
      if (!installed.Done) {
        Status("dimmio: " + installed.Message);
        return;
      }
    }
    const cli::DriverService::Outcome started = service.Start();
    if (!started.Done) {
      Status("dimmio: " + started.Message);
      OfferDriver(true);
      return;
    }
    StartRead();
  }

  void ShowModule() {
    const auto row = static_cast<int>(
        SendMessageA(slots_, LVM_GETNEXTITEM, static_cast<WPARAM>(-1), LVNI_SELECTED));
    const SlotReport* slot =
        read_ && row >= 0 ? SlotOfRow(model_, static_cast<size_t>(row)) : nullptr;
    SetText(facts_, slot != nullptr ? ModuleFacts(*slot)
                    : read_         ? "Select a module in the list."
                                    : "");
    SetText(bytes_, slot != nullptr ? ModuleBytes(*slot) : "");
  }

  void AskAndSave() {
    char path[MAX_PATH] = "dimmio-report.html";
    OPENFILENAMEA dialog{};
    dialog.lStructSize = sizeof dialog;
    dialog.hwndOwner = window_;
    dialog.lpstrFilter =
        "Report as HTML (*.html)\0*.html\0Report as text (*.txt)\0*.txt\0Report as JSON "
        "(*.json)\0*.json\0"
        "Each module's bytes, binary (*.bin)\0*.bin\0Each module's bytes, i2cdump text "
        "(*.txt)\0*.txt\0";
    dialog.nFilterIndex = 1;
    dialog.lpstrFile = path;
    dialog.nMaxFile = MAX_PATH;
    dialog.lpstrDefExt = "html";
    dialog.Flags = OFN_OVERWRITEPROMPT | OFN_PATHMUSTEXIST | OFN_HIDEREADONLY;
    if (!GetSaveFileNameA(&dialog)) return;
    constexpr SaveKind kByFilter[] = {SaveKind::Html, SaveKind::Text, SaveKind::Json,
                                      SaveKind::Binary, SaveKind::I2cdump};
    const SaveKind kind = kByFilter[(dialog.nFilterIndex - 1) % 5];
    const std::string error =
        Save(model_, kind, path, cli::Files(target_), [this](const std::string& file) {
          const std::string question = PrintableText(file) + " already exists.\nReplace it?";
          return MessageBoxA(window_, question.c_str(), "dimmio",
                             MB_YESNO | MB_ICONWARNING | MB_DEFBUTTON2) == IDYES;
        });
    const bool dumps = kind == SaveKind::Binary || kind == SaveKind::I2cdump;
    Status(!error.empty() ? error
           : dumps ? std::string("Saved each module's bytes as ") + SlotFile(path, 0) + " and so on"
                   : std::string("Saved the report as ") + path);
  }

  void CopyShown() {
    const auto row = static_cast<int>(
        SendMessageA(slots_, LVM_GETNEXTITEM, static_cast<WPARAM>(-1), LVNI_SELECTED));
    const SlotReport* slot = row >= 0 ? SlotOfRow(model_, static_cast<size_t>(row)) : nullptr;
    std::ostringstream text;
    if (slot != nullptr && SendMessageA(tabs_, TCM_GETCURSEL, 0, 0) == kModules) {
      text << ModuleFacts(*slot) << '\n' << ModuleBytes(*slot);
    } else {
      cli::PrintReport(model_, text);
    }
    Status(CopyText(window_, text.str())
               ? (slot != nullptr ? "Copied the module's facts and bytes" : "Copied the report")
               : "The clipboard is in use by another program");
  }

  void Command(int id) {
    switch (id) {
      case IDC_REFRESH: StartRead(); break;
      case IDC_SAVE:
        if (read_) AskAndSave();
        break;
      case IDC_COPY:
        if (read_) CopyShown();
        break;
      case IDC_DRIVER:
        if (target_.Service) InstallAndStart();
        break;
      default: break;
    }
  }

  void Notify(const NMHDR& header) {
    if (header.idFrom == IDC_TABS && header.code == TCN_SELCHANGE) ShowPage();
    if (header.idFrom == IDC_SLOTS && header.code == LVN_ITEMCHANGED) {
      const auto& change = reinterpret_cast<const NMLISTVIEW&>(header);
      if ((change.uChanged & LVIF_STATE) && ((change.uNewState ^ change.uOldState) & LVIS_SELECTED))
        ShowModule();
    }
  }

  const StartOptions options_;
  const cli::Target target_;
  HWND window_ = nullptr;
  HWND refresh_{}, save_{}, copy_{}, driver_{}, progress_{}, status_{}, tabs_{}, slots_{},
      smbios_{}, pci_{}, facts_{}, bytes_{};
  int dpi_ = 96;
  bool reading_ = false, read_ = false, asked_ = false;
  int exitCode_ = 0;
  Report model_;
};

}  // namespace

int RunMainWindow(HINSTANCE instance, int show, const StartOptions& options) {
  INITCOMMONCONTROLSEX controls{sizeof controls,
                                ICC_LISTVIEW_CLASSES | ICC_TAB_CLASSES | ICC_PROGRESS_CLASS};
  InitCommonControlsEx(&controls);
  WNDCLASSEXA windowClass{};
  windowClass.cbSize = sizeof windowClass;
  windowClass.lpfnWndProc = MainWindow::Procedure;
  windowClass.hInstance = instance;
  windowClass.hIcon = LoadIconA(instance, MAKEINTRESOURCEA(DIMMIO_GUI_ICON));
  windowClass.hCursor = LoadCursorA(nullptr, reinterpret_cast<LPCSTR>(IDC_ARROW));
  windowClass.hbrBackground = reinterpret_cast<HBRUSH>(COLOR_BTNFACE + 1);
  windowClass.lpszClassName = DIMMIO_GUI_CLASS;
  if (!RegisterClassExA(&windowClass)) return 1;
  MainWindow state(options);
  const HWND window = CreateWindowExA(0, DIMMIO_GUI_CLASS, DIMMIO_GUI_TITLE_READING,
                                      WS_OVERLAPPEDWINDOW | WS_CLIPCHILDREN, CW_USEDEFAULT,
                                      CW_USEDEFAULT, 900, 640, nullptr, nullptr, instance, &state);
  if (window == nullptr) return 1;
  ShowWindow(window, show);
  MSG message;
  while (GetMessageA(&message, nullptr, 0, 0) > 0) {
    if (IsDialogMessageA(window, &message)) continue;
    TranslateMessage(&message);
    DispatchMessageA(&message);
  }
  return state.ExitCode();
}

}  // namespace dimmio::gui
