#include "sys/FolderDialog.h"

#include "sys/CodePage.h"

#include <windows.h>

#include <objbase.h>
#include <shlobj.h>

namespace kw {

namespace {

/// Opens the dialog in the folder that the wizard shows, so that the user starts from there.
int CALLBACK OpenAtStart(HWND dialog, UINT message, LPARAM, LPARAM start) {
    if (message == BFFM_INITIALIZED && start != 0)
        SendMessageA(dialog, BFFM_SETSELECTIONA, TRUE, start);
    return 0;
}

} // namespace

std::string ShowFolderDialog(const std::string& start) {
    // The shell's dialog is a COM object that wants an apartment on this thread.
    const HRESULT com = CoInitializeEx(nullptr, COINIT_APARTMENTTHREADED);
    // The shell selects "C:\Data" but not "C:\Data\"; a drive root keeps its separator.
    std::string selection = ToSystemText(start);
    if (selection.size() > 3 && selection.back() == '\\')
        selection.pop_back();
    BROWSEINFOA request{};
    // The desktop owns the dialog, not the wizard window.
    request.hwndOwner = GetDesktopWindow();
    request.lpszTitle = "Wijs de Merodaan directory aan";
    request.ulFlags = BIF_RETURNONLYFSDIRS;
    request.lpfn = OpenAtStart;
    request.lParam = selection.empty() ? 0 : reinterpret_cast<LPARAM>(selection.c_str());
    PIDLIST_ABSOLUTE item = SHBrowseForFolderA(&request);
    char path[MAX_PATH] = {};
    const bool ok = item && SHGetPathFromIDListA(item, path);
    CoTaskMemFree(item);
    if (SUCCEEDED(com))
        CoUninitialize();
    return ok ? FromSystemText(path) : std::string();
}

} // namespace kw
