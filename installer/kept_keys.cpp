// Custom actions of the installer (resources/morvex.wxs) that keep the
// user's registry keys it did not make. Windows Installer takes away a key
// left empty once its own values are gone, and each parent left empty in
// turn, though the key was there before the install: the user's empty
// classes key, or an extension's key whose empty default value Morvex took.
#include <windows.h>
#include <msi.h>
#include <msiquery.h>
#include <wchar.h>

namespace {

// A list of keys under HKEY_CURRENT_USER, each followed by ';' and marked by
// the state it was found in at install: '-' absent, '+' present, '=' present
// with an empty default value.
const DWORD ListLength = 8192;

wchar_t StateOf(const wchar_t* key)
{
    HKEY opened;
    if (RegOpenKeyExW(HKEY_CURRENT_USER, key, 0, KEY_QUERY_VALUE, &opened) != ERROR_SUCCESS)
        return L'-';
    wchar_t value[2];
    DWORD type = 0, size = sizeof value;
    LONG read = RegQueryValueExW(opened, nullptr, nullptr, &type, reinterpret_cast<BYTE*>(value), &size);
    RegCloseKey(opened);
    bool empty = read == ERROR_SUCCESS && type == REG_SZ && (size == 0 || (size == sizeof(wchar_t) && value[0] == 0));
    return empty ? L'=' : L'+';
}

// Makes KEY again where it is missing, and its empty default value where it
// had one and has none now.
bool Restore(wchar_t state, const wchar_t* key)
{
    HKEY made;
    if (RegCreateKeyExW(HKEY_CURRENT_USER, key, 0, nullptr, 0, KEY_QUERY_VALUE | KEY_SET_VALUE, nullptr, &made,
            nullptr) != ERROR_SUCCESS)
        return false;
    bool restored = true;
    if (state == L'=' && RegQueryValueExW(made, nullptr, nullptr, nullptr, nullptr, nullptr) == ERROR_FILE_NOT_FOUND)
        restored = RegSetValueExW(made, nullptr, 0, REG_SZ, reinterpret_cast<const BYTE*>(L""), sizeof(wchar_t)) ==
                   ERROR_SUCCESS;
    RegCloseKey(made);
    return restored;
}

}  // namespace

// At install, before anything is written: the state of each key of
// KEPT_CANDIDATES (keys separated by ';') into KEPT_KEYS, which the install
// keeps in the registry for the uninstall.
extern "C" UINT __stdcall FindKeptKeys(MSIHANDLE install)
{
    wchar_t candidates[ListLength], kept[ListLength];
    DWORD length = ListLength;
    if (MsiGetPropertyW(install, L"KEPT_CANDIDATES", candidates, &length) != ERROR_SUCCESS)
        return ERROR_INSTALL_FAILURE;
    size_t at = 0;
    for (wchar_t* key = candidates; *key;) {
        wchar_t* end = wcschr(key, L';');
        if (end)
            *end = 0;
        size_t size = wcslen(key);
        if (size > 0) {
            if (at + size + 3 > ListLength)
                return ERROR_INSTALL_FAILURE;
            kept[at++] = StateOf(key);
            wmemcpy(kept + at, key, size);
            at += size;
            kept[at++] = L';';
        }
        key += end ? size + 1 : size;
    }
    kept[at] = 0;
    return MsiSetPropertyW(install, L"KEPT_KEYS", kept) == ERROR_SUCCESS ? ERROR_SUCCESS : ERROR_INSTALL_FAILURE;
}

// Deferred, at uninstall once the registry values are gone: each key that was
// present at install is there again. The list comes as the action's data.
extern "C" UINT __stdcall RestoreKeptKeys(MSIHANDLE install)
{
    wchar_t kept[ListLength];
    DWORD length = ListLength;
    if (MsiGetPropertyW(install, L"CustomActionData", kept, &length) != ERROR_SUCCESS)
        return ERROR_INSTALL_FAILURE;
    for (wchar_t* entry = kept; *entry;) {
        wchar_t* end = wcschr(entry, L';');
        if (!end)
            return ERROR_INSTALL_FAILURE;
        *end = 0;
        if (*entry != L'-' && entry[1] && !Restore(entry[0], entry + 1))
            return ERROR_INSTALL_FAILURE;
        entry = end + 1;
    }
    return ERROR_SUCCESS;
}
