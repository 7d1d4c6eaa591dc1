// Reads the manifest and the version resource back out of a built UpdateTool.exe, through the
// same Windows calls that the loader and Explorer's Properties page rely on.
// Usage: resource_readback UpdateTool.exe MAJOR.MINOR.PATCH
#include <windows.h>

#include <stdio.h>
#include <stdlib.h>
#include <string.h>
#include <wchar.h>

static int failures = 0;

static void Check(const char *label, int ok)
{
    printf("%s %s\n", ok ? "ok  " : "FAIL", label);
    if (!ok)
        failures++;
}

// Returns a NUL-terminated copy of the manifest, or NULL; the caller frees it with free().
static char *ReadManifest(const char *exePath)
{
    char *text = NULL;
    HMODULE module = LoadLibraryExA(exePath, NULL, LOAD_LIBRARY_AS_DATAFILE);
    if (module == NULL)
        goto done;
    {
        HRSRC found = FindResourceA(module, MAKEINTRESOURCEA(1), MAKEINTRESOURCEA(24));
        HGLOBAL loaded = found ? LoadResource(module, found) : NULL;
        const void *bytes = loaded ? LockResource(loaded) : NULL;
        DWORD size = found ? SizeofResource(module, found) : 0;
        if (bytes == NULL || size == 0)
            goto done;
        text = (char *)calloc(size + 1, 1);
        if (text != NULL)
            memcpy(text, bytes, size);
    }
done:
    if (module != NULL)
        FreeLibrary(module);
    return text;
}

static void CheckManifest(const char *exePath)
{
    struct {
        const char *label;
        const char *needle;
        int wanted;
    } const rows[] = {
        {"manifest: runs as the invoking user", "level=\"asInvoker\"", 1},
        // Built beside the tool it reads: Windows refuses a manifest naming another architecture.
        {"manifest: names the executable's architecture",
         sizeof(void *) == 8 ? "processorArchitecture=\"amd64\"" : "processorArchitecture=\"x86\"",
         1},
        {"manifest: no UI access", "uiAccess=\"false\"", 1},
        {"manifest: Vista", "{e2011457-1546-43c5-a5fe-008deee3d3f0}", 1},
        {"manifest: Windows 7", "{35138b9a-5d96-4fbd-8e2d-a2440225f93a}", 1},
        {"manifest: Windows 8", "{4a2f28e3-53b9-4441-ba9c-d69d4a4a6e38}", 1},
        {"manifest: Windows 8.1", "{1f676c76-80e1-4239-95bb-83d0f6d0da78}", 1},
        {"manifest: Windows 10 and 11", "{8e0f7a12-bfb3-4fe8-b9a5-48fd50a15a9a}", 1},
        {"manifest: no Common Controls 6 (dialog layout)", "Microsoft.Windows.Common-Controls", 0},
        {"manifest: system DPI aware",
         "<dpiAware "
         "xmlns=\"http://schemas.microsoft.com/SMI/2005/WindowsSettings\">true</dpiAware>",
         1},
        {"manifest: not per-monitor DPI aware", "PerMonitor", 0},
        {"manifest: no elevation", "requireAdministrator", 0},
        {"manifest: no elevation", "highestAvailable", 0},
    };
    char *manifest = ReadManifest(exePath);
    Check("manifest: resource 1 of type 24 present", manifest != NULL);
    if (manifest == NULL)
        return;
    Check("manifest: starts with the XML declaration", strncmp(manifest, "<?xml", 5) == 0);
    for (const auto &row : rows)
        Check(row.label, (strstr(manifest, row.needle) != NULL) == row.wanted);
    free(manifest);
}

// Returns the value of a StringFileInfo entry, or NULL; it points into `info`.
static const wchar_t *VersionString(void *info, const wchar_t *block, const wchar_t *name)
{
    wchar_t path[128];
    void *value = NULL;
    UINT length = 0;
    _snwprintf(path, 128, L"\\StringFileInfo\\%ls\\%ls", block, name);
    path[127] = 0;
    if (!VerQueryValueW(info, path, &value, &length) || length == 0)
        return NULL;
    return (const wchar_t *)value;
}

static void CheckVersion(const char *exePath, const char *version, const char *firmwareVersion,
                         int testImage)
{
    DWORD ignored = 0;
    DWORD size = GetFileVersionInfoSizeA(exePath, &ignored);
    void *info = size ? calloc(size, 1) : NULL;
    Check("version: resource present", info != NULL && GetFileVersionInfoA(exePath, 0, size, info));
    if (info == NULL)
        return;

    unsigned major = 0, minor = 0, patch = 0;
    sscanf(version, "%u.%u.%u", &major, &minor, &patch);
    VS_FIXEDFILEINFO *fixed = NULL;
    UINT length = 0;
    int haveFixed = VerQueryValueW(info, L"\\", (void **)&fixed, &length) && fixed != NULL;
    Check("version: fixed file info present", haveFixed);
    if (haveFixed) {
        DWORD wantedMs = MAKELONG(minor, major), wantedLs = MAKELONG(0, patch);
        Check("version: file version is the project's",
              fixed->dwFileVersionMS == wantedMs && fixed->dwFileVersionLS == wantedLs);
        Check("version: product version is the project's",
              fixed->dwProductVersionMS == wantedMs && fixed->dwProductVersionLS == wantedLs);
        Check("version: an application", fixed->dwFileType == VFT_APP);
    }

    wchar_t fileVersion[64], productVersion[80], englishDescription[80], japaneseDescription[80];
    const wchar_t *note = testImage ? L" (test image, not for release)" : L"";
    _snwprintf(fileVersion, 64, L"%u.%u.%u.0", major, minor, patch);
    _snwprintf(productVersion, 80, L"%hs", firmwareVersion);
    _snwprintf(englishDescription, 80, L"Printer firmware update tool%ls", note);
    _snwprintf(japaneseDescription, 80,
               L"\u30d7\u30ea\u30f3\u30bf \u30d5\u30a1\u30fc\u30e0\u30a6\u30a7\u30a2 "
               L"\u30a2\u30c3\u30d7\u30c7\u30fc\u30c8\u30c4\u30fc\u30eb%ls",
               note);
    struct {
        const char *label;
        const wchar_t *block;
        const wchar_t *name;
        const wchar_t *wanted; // NULL: any non-empty text
    } const rows[] = {
        {"version: English product name", L"040904B0", L"ProductName", L"Update Tool"},
        {"version: English description", L"040904B0", L"FileDescription", englishDescription},
        {"version: English file version", L"040904B0", L"FileVersion", fileVersion},
        {"version: English product version", L"040904B0", L"ProductVersion", productVersion},
        {"version: English file name", L"040904B0", L"OriginalFilename", L"UpdateTool.exe"},
        {"version: Japanese product name", L"041104B0", L"ProductName", L"Update Tool"},
        {"version: Japanese description", L"041104B0", L"FileDescription", japaneseDescription},
        {"version: Japanese file version", L"041104B0", L"FileVersion", fileVersion},
        {"version: Japanese product version", L"041104B0", L"ProductVersion", productVersion},
    };
    for (const auto &row : rows) {
        const wchar_t *value = VersionString(info, row.block, row.name);
        int ok = value != NULL && value[0] != 0 && (!row.wanted || wcscmp(value, row.wanted) == 0);
        Check(row.label, ok);
    }

    // Explorer picks the block to show from this list: both languages, Unicode (1200).
    WORD *pairs = NULL;
    length = 0;
    VerQueryValueW(info, L"\\VarFileInfo\\Translation", (void **)&pairs, &length);
    Check("version: translations English and Japanese, Unicode",
          pairs != NULL && length == 8 && pairs[0] == 0x0409 && pairs[1] == 1200 &&
              pairs[2] == 0x0411 && pairs[3] == 1200);
    free(info);
}

int main(int argc, char **argv)
{
    if (argc != 5) {
        fprintf(stderr, "usage: resource_readback UpdateTool.exe MAJOR.MINOR.PATCH "
                        "FIRMWARE_VERSION test-image|image\n");
        return 2;
    }
    CheckManifest(argv[1]);
    CheckVersion(argv[1], argv[2], argv[3], strcmp(argv[4], "test-image") == 0);
    printf("%d failure(s)\n", failures);
    return failures ? 1 : 0;
}
