// Test support: swaps one of svcsheet.dll's imports for a double, and finds its DllMain; shared
// by the Wine tests and the bench program.
#pragma once

#include <windows.h>

namespace test_support {

// Replaces one import of svcsheet.dll (by DLL and function name) for the life
// of the object and puts the original back afterwards.
class import_patch {
public:
    import_patch(const char* dll, const char* function, const void* replacement);
    ~import_patch();
    import_patch(const import_patch&) = delete;
    import_patch& operator=(const import_patch&) = delete;

    bool applied() const { return slot_ != nullptr; }
    // The function the import pointed to before.
    template <typename F> F original() const { return reinterpret_cast<F>(original_); }

private:
    void** slot_ = nullptr;
    void* original_ = nullptr;
};

using dll_main_function = BOOL(WINAPI*)(HINSTANCE, DWORD, LPVOID);

// The library's exported DllMain, to be called as the loader calls it; null if absent.
inline dll_main_function exported_dll_main(HMODULE library) {
    return reinterpret_cast<dll_main_function>(
        reinterpret_cast<void*>(GetProcAddress(library, "DllMain")));
}

} // namespace test_support
