// One-call registry wrappers: open a key, write a value, read a value.
#include <windows.h>

#include "svcsheet.h"

#include <cstring>

extern "C" HKEY WINAPI OrinOpenKey(HKEY parent, LPCSTR subkey) {
    HKEY key = nullptr;
    // Open only: an absent key stays absent.
    if (RegOpenKeyExA(parent, subkey, 0, KEY_ALL_ACCESS, &key) != ERROR_SUCCESS) {
        return nullptr;
    }
    return key;
}

extern "C" int WINAPI OrinUpdateKey(HKEY key, LPCSTR value_name, const BYTE* data, DWORD data_size,
                                    DWORD value_type) {
    // The platform reads data_size bytes from data; given none, it may fault instead of
    // failing (Wine does for string types).
    if (data == nullptr && data_size != 0) {
        return 0;
    }
    return RegSetValueExA(key, value_name, 0, value_type, data, data_size) == ERROR_SUCCESS ? 1 : 0;
}

extern "C" int WINAPI OrinGetKey(HKEY key, LPCSTR value_name, BYTE* buffer, DWORD buffer_size) {
    if (buffer == nullptr && buffer_size != 0) {
        return 0;
    }
    if (buffer_size != 0) {
        std::memset(buffer, 0, buffer_size);
    }
    DWORD size = buffer_size;
    if (RegQueryValueExA(key, value_name, nullptr, nullptr, buffer, &size) != ERROR_SUCCESS) {
        // A value too large for the buffer may have left part of itself there.
        if (buffer_size != 0) {
            std::memset(buffer, 0, buffer_size);
        }
        return 0;
    }
    return 1;
}
