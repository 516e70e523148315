// The wizard window on Windows: the same form as the Qt window, built from the system's own
// controls. The steps themselves are WizardSteps; this file holds the controls, their layout in
// twips, the keyboard rules and the message pump.
#include "sys/Failure.h"
#include "sys/WinError.h"
#include "wizard/Wizard.h"
#include "wizard/WizardSteps.h"

#include <windows.h>

#include <algorithm>
#include <array>
#include <optional>
#include <string>

namespace kw {

namespace {

enum ControlId : int { kNextId = 101, kBrowseId = 102, kListId = 103 };

/// Program text is UTF-8 (folders included: they are converted where the system hands them
/// over); the controls take UTF-16.
std::wstring Wide(const std::string& text) {
    const int size = static_cast<int>(text.size());
    const int length = MultiByteToWideChar(CP_UTF8, 0, text.data(), size, nullptr, 0);
    std::wstring wide(static_cast<std::size_t>(std::max(length, 0)), L'\0');
    if (length > 0)
        MultiByteToWideChar(CP_UTF8, 0, text.data(), size, wide.data(), length);
    return wide;
}

class WinCaption final : public Caption {
public:
    explicit WinCaption(HWND label) : label_(label) {}
    void SetCaption(const std::string& caption) override {
        SetWindowTextW(label_, Wide(caption).c_str());
    }

private:
    HWND label_;
};

class WinListBox final : public ListBox {
public:
    explicit WinListBox(HWND list) : list_(list) {}
    void AddItem(const std::string& line) override {
        SendMessageW(list_, LB_ADDSTRING, 0, reinterpret_cast<LPARAM>(Wide(line).c_str()));
    }
    void Clear() override { SendMessageW(list_, LB_RESETCONTENT, 0, 0); }

private:
    HWND list_;
};

/// Tahoma 8.25 pt at the weight given, at the screen's resolution.
HFONT WindowFont(int weight, int dpiY) {
    return CreateFontW(-MulDiv(825, dpiY, 7200), 0, 0, 0, weight, FALSE, FALSE, FALSE,
                       DEFAULT_CHARSET, OUT_DEFAULT_PRECIS, CLIP_DEFAULT_PRECIS, DEFAULT_QUALITY,
                       DEFAULT_PITCH | FF_SWISS, L"Tahoma");
}

/// The window's icon at size pixels, the same picture as the Linux window's: a blue tile with a
/// white pictogram card and a green arrow that drops a new one in.
HICON WindowIcon(int size) {
    HDC screen = GetDC(nullptr);
    HDC dc = CreateCompatibleDC(screen);
    HBITMAP colour = CreateCompatibleBitmap(screen, size, size);
    HBITMAP mask = CreateBitmap(size, size, 1, 1, nullptr);
    ReleaseDC(nullptr, screen);
    auto at = [size](int v) { return MulDiv(v, size, 48); };
    const RECT all{0, 0, size, size};
    SelectObject(dc, GetStockObject(NULL_PEN));
    // The mask: everything but the tile is transparent.
    HGDIOBJ old = SelectObject(dc, mask);
    FillRect(dc, &all, static_cast<HBRUSH>(GetStockObject(WHITE_BRUSH)));
    SelectObject(dc, GetStockObject(BLACK_BRUSH));
    RoundRect(dc, at(1), at(1), at(47), at(47), at(16), at(16));
    SelectObject(dc, colour);
    FillRect(dc, &all, static_cast<HBRUSH>(GetStockObject(BLACK_BRUSH)));
    auto fill = [dc](COLORREF rgb, auto draw) {
        HBRUSH brush = CreateSolidBrush(rgb);
        HGDIOBJ previous = SelectObject(dc, brush);
        draw();
        SelectObject(dc, previous);
        DeleteObject(brush);
    };
    const COLORREF blue = RGB(0x1f, 0x5f, 0xae);
    fill(blue, [&] { RoundRect(dc, at(1), at(1), at(47), at(47), at(16), at(16)); });
    fill(RGB(255, 255, 255), [&] { RoundRect(dc, at(8), at(18), at(40), at(42), at(8), at(8)); });
    // A little figure on the card: head and body.
    fill(blue, [&] {
        Ellipse(dc, at(20), at(21), at(28), at(29));
        RoundRect(dc, at(19), at(30), at(29), at(39), at(6), at(6));
    });
    const POINT arrow[] = {{at(20), at(2)},  {at(28), at(2)},  {at(28), at(10)}, {at(34), at(10)},
                           {at(24), at(20)}, {at(14), at(10)}, {at(20), at(10)}};
    fill(RGB(0x2e, 0xa0, 0x43), [&] { Polygon(dc, arrow, 7); });
    SelectObject(dc, old);
    DeleteDC(dc);
    ICONINFO info{TRUE, 0, 0, mask, colour};
    HICON icon = CreateIconIndirect(&info);
    DeleteObject(mask);
    DeleteObject(colour);
    return icon;
}

constexpr const wchar_t* kWindowClass = L"KwastorWizard";

class frmMain final : private WizardView {
public:
    frmMain();
    ~frmMain() override;
    frmMain(const frmMain&) = delete;
    frmMain& operator=(const frmMain&) = delete;

    /// Shows the window and runs until it is closed.
    void Run();

private:
    static LRESULT CALLBACK WindowProc(HWND window, UINT message, WPARAM wParam, LPARAM lParam);
    LRESULT Handle(UINT message, WPARAM wParam, LPARAM lParam);
    void BuildControls();
    void Form_Resize(int width);
    /// One message of the queue, with the keyboard rules of a dialog.
    void Dispatch(MSG& msg);
    void KeepFocus();
    HBRUSH Colours(HWND control, HDC dc) const;

    void ShowStep(const StepLook& look) override;
    void EnableNext(bool enabled) override;
    void ProcessEvents() override;
    void CloseWindow() override;

    int TwipsX(int twips) const { return MulDiv(twips, dpiX_, 1440); }
    int TwipsY(int twips) const { return MulDiv(twips, dpiY_, 1440); }
    void Place(HWND control, int left, int top, int width, int height) const;

    int dpiX_ = 96;
    int dpiY_ = 96;
    HFONT bold_ = nullptr;
    HFONT regular_ = nullptr;
    HWND window_ = nullptr;
    HWND lblBg1 = nullptr;
    HWND lblStep = nullptr;
    std::array<HWND, 2> lblMsg{};
    HWND lblBg2 = nullptr;
    HWND lblHelp = nullptr;
    std::array<HWND, 2> lblAction{};
    HWND cbBrowse = nullptr;
    HWND cbNext = nullptr;
    HWND lstFinal = nullptr;

    std::array<std::optional<WinCaption>, 2> actionCaptions_, resultCaptions_;
    StepRows rows_;
    std::optional<WinListBox> finalList_;
    std::optional<WizardSteps> steps_;
};

frmMain::frmMain() {
    HDC screen = GetDC(nullptr);
    dpiX_ = GetDeviceCaps(screen, LOGPIXELSX);
    dpiY_ = GetDeviceCaps(screen, LOGPIXELSY);
    ReleaseDC(nullptr, screen);
    bold_ = WindowFont(FW_BOLD, dpiY_);
    regular_ = WindowFont(FW_NORMAL, dpiY_);

    const HINSTANCE instance = GetModuleHandleW(nullptr);
    WNDCLASSEXW windowClass{};
    windowClass.cbSize = sizeof windowClass;
    windowClass.lpfnWndProc = WindowProc;
    windowClass.hInstance = instance;
    windowClass.hCursor = LoadCursorW(nullptr, reinterpret_cast<LPCWSTR>(IDC_ARROW));
    windowClass.hbrBackground = GetSysColorBrush(COLOR_BTNFACE);
    windowClass.lpszClassName = kWindowClass;
    // Never destroyed: the class keeps them until the program ends.
    windowClass.hIcon = WindowIcon(32);
    windowClass.hIconSm = WindowIcon(16);
    RegisterClassExW(&windowClass);

    constexpr DWORD style = WS_OVERLAPPEDWINDOW | WS_CLIPCHILDREN;
    // Tab and the arrow keys move between the controls, as in a dialog.
    constexpr DWORD exStyle = WS_EX_CONTROLPARENT;
    RECT outer{0, 0, TwipsX(9615), TwipsY(3255)};
    AdjustWindowRectEx(&outer, style, FALSE, exStyle);
    window_ = CreateWindowExW(exStyle, kWindowClass, L"Bijwerken van Vondelux", style,
                              CW_USEDEFAULT, CW_USEDEFAULT, outer.right - outer.left,
                              outer.bottom - outer.top, nullptr, nullptr, instance, this);
    if (!window_) {
        const DWORD error = GetLastError();
        DeleteObject(bold_);
        DeleteObject(regular_);
        throw Failure("Het venster kan niet geopend worden: " + WindowsErrorText(error) + ".");
    }
    BuildControls();
    RECT inner{};
    GetClientRect(window_, &inner);
    Form_Resize(inner.right);
    steps_->Start();
}

frmMain::~frmMain() {
    DestroyWindow(window_);
    DeleteObject(bold_);
    DeleteObject(regular_);
}

void frmMain::Place(HWND control, int left, int top, int width, int height) const {
    MoveWindow(control, TwipsX(left), TwipsY(top), TwipsX(width), TwipsY(height), TRUE);
}

void frmMain::BuildControls() {
    const HINSTANCE instance = GetModuleHandleW(nullptr);
    auto control = [&](const wchar_t* kind, const wchar_t* text, DWORD style, DWORD exStyle, int id,
                       HFONT font) {
        // Siblings overlap (the title over its band, the list over row 0): each one leaves
        // out the ones above it when it paints.
        HWND h = CreateWindowExW(exStyle, kind, text,
                                 WS_CHILD | WS_VISIBLE | WS_CLIPSIBLINGS | style, 0, 0, 0, 0,
                                 window_, reinterpret_cast<HMENU>(INT_PTR{id}), instance, nullptr);
        SendMessageW(h, WM_SETFONT, reinterpret_cast<WPARAM>(font), FALSE);
        return h;
    };
    // Captions hold folder names: an "&" in one is a character, not a mnemonic.
    auto label = [&](const wchar_t* text, HFONT font, DWORD style = 0) {
        return control(L"STATIC", text, SS_LEFT | SS_NOPREFIX | style, 0, 0, font);
    };
    cbBrowse = control(L"BUTTON", L"Wijzigen...", BS_PUSHBUTTON | WS_TABSTOP, 0, kBrowseId, bold_);
    cbNext = control(L"BUTTON", L"Verder >", BS_DEFPUSHBUTTON | WS_TABSTOP, 0, kNextId, bold_);
    lstFinal = control(L"LISTBOX", L"", WS_VSCROLL | WS_TABSTOP | LBS_NOINTEGRALHEIGHT,
                       WS_EX_CLIENTEDGE, kListId, bold_);
    for (HWND& action : lblAction)
        action = label(L"", regular_);
    lblHelp = label(L"Locatie van Vondelux bepalen", regular_);
    lblBg2 = label(L"", regular_, SS_SUNKEN);
    for (HWND& message : lblMsg)
        message = label(L"", bold_);
    lblStep = label(L"Locatie van Vondelux bepalen", bold_);
    lblBg1 = label(L"", bold_);
    // Topmost first, which is also the focus order: Browse, Next, the list; labels take none.
    for (HWND h : {cbBrowse, cbNext, lstFinal, lblAction[0], lblAction[1], lblHelp, lblBg2,
                   lblMsg[0], lblMsg[1], lblStep, lblBg1})
        SetWindowPos(h, HWND_BOTTOM, 0, 0, 0, 0, SWP_NOMOVE | SWP_NOSIZE | SWP_NOACTIVATE);

    Place(lblBg1, 0, 0, 9495, 495);
    Place(lblStep, 120, 120, 3180, 315);
    for (int row = 0; row < 2; ++row) {
        Place(lblMsg[row], 3720, row == 0 ? 780 : 1260, 4215, 255);
        Place(lblAction[row], 120, row == 0 ? 780 : 1260, 3495, 255);
    }
    Place(lblBg2, 0, 2640, 9495, 615);
    Place(lblHelp, 120, 2760, 3180, 435);
    Place(cbBrowse, 8160, 720, 1335, 375);
    Place(cbNext, 8160, 2160, 1335, 375);
    Place(lstFinal, 120, 2160, 1095, 225);

    for (int row = 0; row < 2; ++row) {
        rows_.action[row] = &actionCaptions_[row].emplace(lblAction[row]);
        rows_.result[row] = &resultCaptions_[row].emplace(lblMsg[row]);
    }
    finalList_.emplace(lstFinal);
    steps_.emplace(static_cast<WizardView&>(*this), rows_, *finalList_);
}

void frmMain::Form_Resize(int width) {
    if (!lblBg1)
        return;
    // A window narrower than the margins (minimised, or dragged small) gives empty labels.
    const int inner = std::max(0, width - TwipsX(240));
    auto widen = [](HWND control, int left, int newWidth) {
        RECT r{};
        GetWindowRect(control, &r);
        MapWindowPoints(nullptr, GetParent(control), reinterpret_cast<POINT*>(&r), 2);
        MoveWindow(control, left < 0 ? r.left : left, r.top, newWidth, r.bottom - r.top, TRUE);
    };
    widen(lblBg1, -1, width);
    widen(lblBg2, -1, width);
    widen(lblStep, TwipsX(120), inner);
    widen(lblHelp, TwipsX(120), inner);
    Place(lstFinal, 120, 720, 7815, 1815);
}

HBRUSH frmMain::Colours(HWND control, HDC dc) const {
    // The title and its band lie on the window colour; the help text is in the window-text
    // colour; everything else has the dialog's own colours.
    const bool onWindow = control == lblStep || control == lblBg1;
    SetTextColor(dc,
                 GetSysColor(onWindow || control == lblHelp ? COLOR_WINDOWTEXT : COLOR_BTNTEXT));
    SetBkColor(dc, GetSysColor(onWindow ? COLOR_WINDOW : COLOR_BTNFACE));
    return GetSysColorBrush(onWindow ? COLOR_WINDOW : COLOR_BTNFACE);
}

LRESULT CALLBACK frmMain::WindowProc(HWND window, UINT message, WPARAM wParam, LPARAM lParam) {
    if (message == WM_NCCREATE) {
        const auto* create = reinterpret_cast<const CREATESTRUCTW*>(lParam);
        SetWindowLongPtrW(window, GWLP_USERDATA,
                          reinterpret_cast<LONG_PTR>(create->lpCreateParams));
    }
    auto* self = reinterpret_cast<frmMain*>(GetWindowLongPtrW(window, GWLP_USERDATA));
    if (!self || !self->window_)
        return DefWindowProcW(window, message, wParam, lParam);
    return self->Handle(message, wParam, lParam);
}

LRESULT frmMain::Handle(UINT message, WPARAM wParam, LPARAM lParam) {
    switch (message) {
    case WM_COMMAND:
        if (HIWORD(wParam) == BN_CLICKED && LOWORD(wParam) == kNextId)
            steps_->NextPressed();
        else if (HIWORD(wParam) == BN_CLICKED && LOWORD(wParam) == kBrowseId)
            steps_->BrowsePressed();
        return 0;
    case WM_CTLCOLORSTATIC:
        return reinterpret_cast<LRESULT>(
            Colours(reinterpret_cast<HWND>(lParam), reinterpret_cast<HDC>(wParam)));
    case WM_SIZE:
        Form_Resize(LOWORD(lParam));
        return 0;
    case WM_CLOSE:
        // Work in progress ends at its next event pass and closes the database; the pump ends
        // once the press that runs it has returned. The window goes when the pump has ended.
        steps_->WindowClosed();
        ShowWindow(window_, SW_HIDE);
        PostQuitMessage(0);
        return 0;
    default:
        return DefWindowProcW(window_, message, wParam, lParam);
    }
}

void frmMain::Dispatch(MSG& msg) {
    // Return and keypad Enter press the focused button, and Next when no button has the focus,
    // as in a Windows dialog.
    if (msg.message == WM_KEYDOWN && msg.wParam == VK_RETURN &&
        (msg.hwnd == window_ || IsChild(window_, msg.hwnd))) {
        const bool browse = msg.hwnd == cbBrowse;
        HWND button = browse ? cbBrowse : cbNext;
        if (IsWindowVisible(button) && IsWindowEnabled(button))
            SendMessageW(window_, WM_COMMAND, MAKEWPARAM(browse ? kBrowseId : kNextId, BN_CLICKED),
                         reinterpret_cast<LPARAM>(button));
        return;
    }
    if (IsDialogMessageW(window_, &msg))
        return;
    TranslateMessage(&msg);
    DispatchMessageW(&msg);
}

void frmMain::Run() {
    ShowWindow(window_, SW_SHOWNORMAL);
    UpdateWindow(window_);
    SetFocus(IsWindowEnabled(cbNext) ? cbNext : cbBrowse);
    MSG msg;
    while (GetMessageW(&msg, nullptr, 0, 0) > 0)
        Dispatch(msg);
}

void frmMain::ShowStep(const StepLook& look) {
    ShowWindow(lstFinal, look.listVisible ? SW_SHOW : SW_HIDE);
    SetWindowTextW(cbNext, Wide(look.nextCaption).c_str());
    ShowWindow(cbBrowse, look.browseVisible ? SW_SHOW : SW_HIDE);
    for (int row = 0; row < 2; ++row) {
        ShowWindow(lblAction[row], look.rowVisible[row] ? SW_SHOW : SW_HIDE);
        ShowWindow(lblMsg[row], look.rowVisible[row] ? SW_SHOW : SW_HIDE);
    }
    SetWindowTextW(lblStep, Wide(look.title).c_str());
    SetWindowTextW(lblHelp, Wide(look.help).c_str());
    KeepFocus();
}

void frmMain::EnableNext(bool enabled) {
    EnableWindow(cbNext, enabled);
    KeepFocus();
}

void frmMain::KeepFocus() {
    // A control that is hidden or disabled while it has the focus leaves no window with it, and
    // then Return reaches nobody. The focus goes to Next, or to the window while Next can't take
    // it, whose keys still reach the pump.
    HWND focus = GetFocus();
    if (focus && IsWindowVisible(focus) && IsWindowEnabled(focus))
        return;
    SetFocus(IsWindowVisible(cbNext) && IsWindowEnabled(cbNext) ? cbNext : window_);
}

void frmMain::ProcessEvents() {
    MSG msg;
    while (PeekMessageW(&msg, nullptr, 0, 0, PM_REMOVE)) {
        // The window was closed during work: the quit belongs to the pump in Run, which
        // takes it once the work has ended.
        if (msg.message == WM_QUIT) {
            PostQuitMessage(static_cast<int>(msg.wParam));
            return;
        }
        Dispatch(msg);
    }
}

void frmMain::CloseWindow() {
    SendMessageW(window_, WM_CLOSE, 0, 0);
}

} // namespace

int RunWizard(int&, char**) {
    try {
        frmMain window;
        window.Run();
    } catch (const Failure& failure) {
        MsgBox(failure.what(), kProgramTitle, MsgIcon::Warning);
        return 1;
    }
    return 0;
}

} // namespace kw
