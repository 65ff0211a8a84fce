/*
 * svcsheet: a tabbed property sheet with a ready-made Service page, registry
 * helpers and an LSA secret store, for control-panel applets and similar hosts.
 *
 * Every function uses the WINAPI calling convention and is exported from
 * svcsheet.dll under its plain name. Call them from the host's user-interface
 * thread; the library keeps process-wide state and takes no locks.
 */
#ifndef SVCSHEET_H
#define SVCSHEET_H

#include <windows.h>

#ifdef __cplusplus
extern "C" {
#endif

#ifdef SVCSHEET_BUILDING
#define SVCSHEET_API
#else
#define SVCSHEET_API DECLSPEC_IMPORT
#endif

/* One entry of a help map. A map is an array of entries ending with one whose
 * dwControlId is 0. */
typedef struct SVCSHEET_HELPMAP_ENTRY {
    DWORD dwControlId;     /* a dialog control's id */
    DWORD dwHelpContextId; /* the help context id to show for it */
} SVCSHEET_HELPMAP_ENTRY;

/* The host's help callback. uCommand is HELP_CONTEXTPOPUP (8) for a control or
 * HELP_CONTEXT (1) for the whole page; dwReserved is always 0. The host passes
 * both to its help engine with its own help file. */
typedef int(WINAPI* SVCSHEET_HELP_CALLBACK)(HWND hwnd, UINT uCommand, DWORD dwContextId,
                                            DWORD dwReserved);

/* ---- Tabbed sheet ------------------------------------------------------ */

/* Gives every page added from now on, and every later sheet, a Help button. */
SVCSHEET_API void WINAPI SetHasHelp(void);

/* Adds a page made from the host's dialog template and procedure. Returns the
 * page's index (0, 1, 2, ...) or -1 when the page cannot be created, hInstance
 * holds no dialog template of that name, or 256 pages are already waiting. */
SVCSHEET_API int WINAPI AddTabbedPage(HINSTANCE hInstance, LPCSTR pszTemplate, DLGPROC pfnDlgProc);

/* As AddTabbedPage; lParam reaches the page as the lParam member of the
 * PROPSHEETPAGEA that WM_INITDIALOG's lParam points to. */
SVCSHEET_API int WINAPI AddTabbedPageParam(HINSTANCE hInstance, LPCSTR pszTemplate,
                                           DLGPROC pfnDlgProc, LPARAM lParam);

/* Shows the pages waiting in a modal sheet and returns PropertySheetA's result;
 * -1, showing nothing, when no page is waiting or hwndParent is not a window (the
 * pages are then destroyed). The sheet takes the waiting pages and destroys them:
 * pages added while it shows wait for the next sheet, from index 0, and a DoDialog
 * called while it shows shows only those. */
SVCSHEET_API int WINAPI DoDialog(HWND hwndParent, LPCSTR pszCaption, UINT nStartPage);

/* The help context id for dwControlId in the map, or 0 when it has none (also
 * for a NULL map). */
SVCSHEET_API DWORD WINAPI LookupHelpMap(const SVCSHEET_HELPMAP_ENTRY* pMap, DWORD dwControlId);

/* ---- Service page ------------------------------------------------------ */

/* Connects to the service with key name pszServiceName. Returns 1 when
 * connected with every right the page uses, else 0; when the service cannot be
 * opened with them, GetLastError() tells why (for example
 * ERROR_SERVICE_DOES_NOT_EXIST). After ERROR_ACCESS_DENIED the page still shows
 * the service's state to a user who may query it, and offers only what the
 * user's rights allow; to a user who may not, it reads "Access Denied". */
SVCSHEET_API int WINAPI InitServiceControl(LPCSTR pszServiceName);

/* Releases the service connection; harmless when there is none. Unloading the
 * library releases it too; at process exit the system closes it. A Service page
 * open meanwhile becomes inert at its next refresh and saves nothing pending. */
SVCSHEET_API void WINAPI DeInitServiceControl(void);

/* Adds the Service page. bShowInteraction (0 or 1) shows the "interact with
 * desktop" check box and lets Apply write the service type; a page keeps the flag
 * in force when it opens. pfnHelp may be NULL; a later call replaces it for every
 * Service page. Apply writes only what the user changed on the page: the start
 * type, the service type, never the display name; when the service manager
 * refuses any of it, the sheet stays open and brings the page forward, and Cancel
 * becomes Close if some of it was stored. Returns the page index or -1.
 *
 * The page never hangs on its own, but Start and Stop/Pause/Continue wait on the
 * calling thread for the service manager, which waits for the service's program:
 * one that never connects, or a handler that hangs, holds the page until the
 * service manager gives up (30 s on Windows by default, 10 s under Wine). The
 * library starts no threads. */
SVCSHEET_API int WINAPI AddServiceControlPage(BOOL bShowInteraction,
                                              SVCSHEET_HELP_CALLBACK pfnHelp);

/* ---- Registry ---------------------------------------------------------- */

/* Opens an existing key with KEY_ALL_ACCESS; NULL when absent or not allowed.
 * The caller closes it with RegCloseKey. */
SVCSHEET_API HKEY WINAPI OrinOpenKey(HKEY hParent, LPCSTR pszSubKey);

/* Writes a value (note: size before type). Returns 1 on success, else 0 (also
 * for NULL data with a non-zero cbData). */
SVCSHEET_API int WINAPI OrinUpdateKey(HKEY hKey, LPCSTR pszValueName, const BYTE* pData,
                                      DWORD cbData, DWORD dwType);

/* Zero-fills the buffer, then reads the value into it. Returns 1 on success,
 * else 0 (also when the value is larger than the buffer, or pBuffer is NULL with
 * a non-zero cbBuffer); after a failure the buffer is all zero. A string that
 * fills the buffer exactly comes back without a terminator. */
SVCSHEET_API int WINAPI OrinGetKey(HKEY hKey, LPCSTR pszValueName, BYTE* pBuffer, DWORD cbBuffer);

/* ---- Secret store ------------------------------------------------------ */

/* Opens the local policy for reading and writing, else for reading only.
 * Returns 1 when the store is open, else 0. Calling it again while the store is
 * open closes the store first. */
SVCSHEET_API int WINAPI InitializeSecret(void);

/* Stores pszValue under pszName; a NULL value deletes the secret. Returns 1 on
 * success, 0 on failure or when the store is not open for writing. Names and
 * values are limited to 32766 characters. */
SVCSHEET_API int WINAPI StoreSecret(LPCWSTR pszName, LPCWSTR pszValue);

/* Reads the whole secret into pBuffer (cbBuffer bytes) and terminates it.
 * Returns 0 on success, 1 when the store is not open, 2 when nothing was read
 * (also when the secret and its terminator do not fit, for a NULL buffer or a
 * name over 32766 characters); the buffer is untouched unless 0 is returned. */
SVCSHEET_API int WINAPI GetSecret(LPCWSTR pszName, LPWSTR pBuffer, DWORD cbBuffer);

/* Closes the store; always returns 1. */
SVCSHEET_API int WINAPI ShutdownSecret(void);

#ifdef __cplusplus
}
#endif

#endif /* SVCSHEET_H */
