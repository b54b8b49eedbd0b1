// Files dropped on the main dialog. A drop's HDROP is memory of the process
// that receives it, so these run the dialog in-process, hand it drops built
// here, and read the fields and the path buffers.

#include "app_state.h"
#include "dialogs.h"
#include "resource.h"

#include <shlobj.h>

#include <cstdio>
#include <cstring>
#include <string>
#include <vector>

static HWND Main;

// Each field's text, then its buffer's.
static std::string FieldsAndBuffers()
{
    char original[TEXT_BUFFER_SIZE], modified[TEXT_BUFFER_SIZE];
    GetDlgItemTextA(Main, IDC_ORIGINAL_PATH, original, TEXT_BUFFER_SIZE);
    GetDlgItemTextA(Main, IDC_MODIFIED_PATH, modified, TEXT_BUFFER_SIZE);
    return std::string(original) + "|" + OriginalPath + "|" + modified + "|" + ModifiedPath;
}

// The centre of the control with id `id`, or of the label that reads `label`.
static POINT PointAt(int id, const char* label)
{
    RECT area;
    GetWindowRect(label ? FindWindowExA(Main, NULL, "Static", label) : GetDlgItem(Main, id), &area);
    MapWindowPoints(NULL, Main, reinterpret_cast<POINT*>(&area), 2);
    return {(area.left + area.right) / 2, (area.top + area.bottom) / 2};
}

// A drop as the shell makes it: the point, then the names, each ended by a
// zero, and one more zero at the end.
static HGLOBAL Drop(POINT point, const std::vector<std::string>& files)
{
    std::string names;
    for (const std::string& file : files)
        names += file + '\0';
    HGLOBAL memory = GlobalAlloc(GHND, sizeof(DROPFILES) + names.size() + 1);
    DROPFILES* drop = static_cast<DROPFILES*>(GlobalLock(memory));
    drop->pFiles = sizeof(DROPFILES);
    drop->pt = point;
    memcpy(drop + 1, names.data(), names.size());
    GlobalUnlock(memory);
    return memory;
}

int main()
{
    InstanceHandle = GetModuleHandleA(NULL);
    Main = CreateDialogParamA(InstanceHandle, "PATCH", NULL, MainDialogProc, 0);
    ShowWindow(Main, SW_SHOW);
    const std::string a = "C:\\in\\a.exe", b = "C:\\in\\b.exe", tooLong(TEXT_BUFFER_SIZE, 'x');
    const struct {
        int id;
        const char* label;
        std::string original, modified;
        std::vector<std::string> files;
        bool subDialogOpen;
        std::string expected;
    } drops[] = {
        {IDC_ORIGINAL_PATH, NULL, "x", "", {a}, false, a + "|" + a + "||"},
        {0, "Original unmodified file:", "x", "", {a}, false, a + "|" + a + "||"},
        {IDC_BROWSE_ORIGINAL, NULL, "x", "", {a}, false, a + "|" + a + "||"},
        {IDC_MODIFIED_PATH, NULL, "", "", {a}, false, "||" + a + "|" + a},
        {0, "File to make patch with:", "", "", {a}, false, "||" + a + "|" + a},
        {IDC_BROWSE_MODIFIED, NULL, "", "", {a}, false, "||" + a + "|" + a},
        {IDC_MAKE_PATCH, NULL, "", "", {a}, false, a + "|" + a + "||"},
        {IDC_ABOUT, NULL, "x", "", {a}, false, "x|x|" + a + "|" + a},
        {IDC_EXIT, NULL, "x", "y", {a}, false, a + "|" + a + "|y|y"},
        {IDC_MODIFIED_PATH, NULL, "x", "y", {a, b}, false, a + "|" + a + "|" + b + "|" + b},
        {IDC_MODIFIED_PATH, NULL, "", "", {b, a, "C:\\third"}, false, b + "|" + b + "|" + a + "|" + a},
        {IDC_ORIGINAL_PATH, NULL, "x", "y", {a}, true, "x|x|y|y"},
        {IDC_ORIGINAL_PATH, NULL, "x", "y", {tooLong}, false, "x|x|y|y"},
    };
    int failed = 0;
    for (const auto& row : drops) {
        strcpy(OriginalPath, row.original.c_str());
        strcpy(ModifiedPath, row.modified.c_str());
        SetDlgItemTextA(Main, IDC_ORIGINAL_PATH, OriginalPath);
        SetDlgItemTextA(Main, IDC_MODIFIED_PATH, ModifiedPath);
        OpenSubDialog = row.subDialogOpen ? Main : NULL;
        HGLOBAL drop = Drop(PointAt(row.id, row.label), row.files);
        SendMessageA(Main, WM_DROPFILES, reinterpret_cast<WPARAM>(drop), 0);
        std::string got = FieldsAndBuffers() + (GlobalSize(drop) ? " (drop not finished)" : "");
        if (got != row.expected) {
            failed++;
            printf("FAIL drop of %u file(s) on %d/%s: expected \"%s\", got \"%s\"\n", unsigned(row.files.size()),
                   row.id, row.label ? row.label : "", row.expected.c_str(), got.c_str());
        }
    }
    printf("%d of %u drops failed\n", failed, unsigned(sizeof drops / sizeof drops[0]));
    return failed ? 1 : 0;
}
