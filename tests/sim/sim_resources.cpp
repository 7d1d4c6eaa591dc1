// The simulated resources: the English string table behind LoadStringA and LoadStringW, resources
// that tests register behind FindResourceA, SizeofResource, LoadResource and LockResource, and
// the functions a program looks up by name.
#include "sim_ui_internal.h"

#include "resources/resource.h"

#include <setupapi.h>

#include <cctype>
#include <deque>
#include <map>

namespace
{

const uintptr_t resourceBase = 0x50000;
const uintptr_t loadedBase = 0x60000;
HMODULE const executable = (HMODULE)0x400000;
HMODULE const kernel32 = (HMODULE)0x7C800000;
HMODULE const setupapi = (HMODULE)0x77920000;
const char systemFolder[] = "C:\\WINDOWS\\system32";

// resources/strings_en.rc
const std::map<UINT, std::string> englishTable = {
    {IDS_TITLE, "Update Tool"},
    {IDS_READY, "Click [Transfer] to start transferring the firmware for update.\nRefer to "
                "verup-manual.pdf for more information about firmware update."},
    {IDS_NOT_FOUND,
     "Printer is not found.\nMake sure that your computer is properly connected to the "
     "printer,and that the printer is turned on.\nTo transfer the firmware again, click [Retry]."},
    {IDS_FAILED,
     "Could not transfer the firmware.\nTo transfer the firmware again, click [Retry]."},
    {IDS_DONE, "Firmware transfer is complete."},
    {IDS_TRANSFERRING, "Transferring the firmware to printer..."},
    {IDS_TRANSFER, "&Transfer"},
    {IDS_EXIT, "E&xit"},
    {IDS_RETRY, "&Retry"},
    {IDS_PERCENT, "%d%% "},
    {IDS_SEVERAL_PRINTERS, "More than one printer of this model is connected.\nConnect only the "
                           "printer to update, then click [Retry]."},
};

struct Resource {
    HMODULE module;
    std::string type; // upper case, or "#<id>"
    std::string name;
    std::vector<BYTE> data;
};

std::map<UINT, std::string> table;
std::vector<SimStringLoad> stringLoads;
std::deque<Resource> resources;
bool failLoadResource = false;
bool offerExecutionState = false;
DWORD executionState = 0;
// What LockResource gives for an empty resource: a valid address with nothing behind it.
BYTE emptyResource[1];

// Resource names and named types are kept and matched in upper case.
std::string Key(LPCSTR text)
{
    if (IS_INTRESOURCE(text))
        return "#" + std::to_string((uintptr_t)text);
    std::string key = text;
    for (char &c : key)
        c = (char)toupper((unsigned char)c);
    return key;
}

HMODULE Resolve(HMODULE module) { return module != NULL ? module : executable; }

Resource *FindResourceEntry(HRSRC handle, uintptr_t base)
{
    uintptr_t value = (uintptr_t)handle;
    if (value < base || (value - base) % 4 != 0 || (value - base) / 4 >= resources.size())
        return NULL;
    return &resources[(value - base) / 4];
}

// A continuous request holds until the next one; any other changes nothing lasting.
DWORD WINAPI SimSetThreadExecutionState(DWORD flags)
{
    DWORD earlier = executionState;
    if ((flags & ES_CONTINUOUS) != 0)
        executionState = flags;
    return earlier;
}

} // namespace

void SimResourcesReset()
{
    table = englishTable;
    stringLoads.clear();
    resources.clear();
    failLoadResource = false;
    offerExecutionState = false;
    executionState = 0;
}

void SimSetString(UINT id, const char *text)
{
    if (text == NULL)
        table.erase(id);
    else
        table[id] = text;
}

const std::vector<SimStringLoad> &SimStringLoads() { return stringLoads; }

HMODULE SimExecutableModule() { return executable; }

void SimRegisterResource(HMODULE module, LPCSTR type, LPCSTR name, const void *data, DWORD size)
{
    Resource r;
    r.module = Resolve(module);
    r.type = Key(type);
    r.name = Key(name);
    r.data.assign((const BYTE *)data, (const BYTE *)data + size);
    resources.push_back(r);
}

const BYTE *SimResourceData(HMODULE module, LPCSTR type, LPCSTR name)
{
    HRSRC found = FindResourceA(module, name, type);
    return found != NULL ? (const BYTE *)LockResource(LoadResource(module, found)) : NULL;
}

void SimFailLoadResource(bool fail) { failLoadResource = fail; }

void SimOfferExecutionState(DWORD earlier)
{
    offerExecutionState = true;
    executionState = earlier;
}

DWORD SimExecutionState() { return executionState; }

int WINAPI LoadStringA(HINSTANCE instance, UINT id, LPSTR buffer, int max)
{
    (void)instance;
    SimStringLoad load = {id, max};
    stringLoads.push_back(load);
    if (buffer == NULL || max <= 0)
        return 0;
    auto entry = table.find(id);
    if (entry == table.end()) {
        buffer[0] = '\0';
        return 0;
    }
    int length = (int)entry->second.size() < max - 1 ? (int)entry->second.size() : max - 1;
    memcpy(buffer, entry->second.data(), (size_t)length);
    buffer[length] = '\0';
    return length;
}

// The table is ASCII: each byte widens to one character.
int WINAPI LoadStringW(HINSTANCE instance, UINT id, LPWSTR buffer, int max)
{
    std::string text(max > 0 ? (size_t)max : 1, '\0');
    int length = LoadStringA(instance, id, buffer != NULL ? &text[0] : NULL, max);
    for (int i = 0; buffer != NULL && i <= length && i < max; i++)
        buffer[i] = (unsigned char)text[(size_t)i];
    return length;
}

HMODULE WINAPI GetModuleHandleA(LPCSTR name)
{
    if (name == NULL)
        return executable;
    return offerExecutionState && Key(name) == "KERNEL32.DLL" ? kernel32 : NULL;
}

UINT WINAPI GetSystemDirectoryA(LPSTR buffer, UINT size)
{
    return (UINT)strlen(lstrcpynA(buffer, systemFolder, (int)size));
}

// Only setupapi and kernel32, and only by their full path in the system folder.
HMODULE WINAPI LoadLibraryExA(LPCSTR name, HANDLE file, DWORD flags)
{
    if (file != NULL || flags != LOAD_WITH_ALTERED_SEARCH_PATH)
        return NULL;
    if (Key(name) == Key(systemFolder) + "\\SETUPAPI.DLL")
        return setupapi;
    return offerExecutionState && Key(name) == Key(systemFolder) + "\\KERNEL32.DLL" ? kernel32
                                                                                    : NULL;
}

// Apart from setupapi and what a test offers, the simulated Windows predates every function the
// tool looks up by name.
FARPROC WINAPI GetProcAddress(HMODULE module, LPCSTR name)
{
    const std::map<std::string, void (*)(void)> setupFunctions = {
        {"SetupDiGetClassDevsA", (void (*)(void))SetupDiGetClassDevsA},
        {"SetupDiEnumDeviceInfo", (void (*)(void))SetupDiEnumDeviceInfo},
        {"SetupDiGetDeviceRegistryPropertyA", (void (*)(void))SetupDiGetDeviceRegistryPropertyA},
        {"SetupDiEnumDeviceInterfaces", (void (*)(void))SetupDiEnumDeviceInterfaces},
        {"SetupDiGetDeviceInterfaceDetailA", (void (*)(void))SetupDiGetDeviceInterfaceDetailA},
        {"SetupDiDestroyDeviceInfoList", (void (*)(void))SetupDiDestroyDeviceInfoList}};
    if (module == setupapi && setupFunctions.count(name))
        return (FARPROC)setupFunctions.at(name);
    if (module == kernel32 && strcmp(name, "SetThreadExecutionState") == 0)
        return (FARPROC)(void (*)(void))SimSetThreadExecutionState;
    return NULL;
}

HRSRC WINAPI FindResourceA(HMODULE module, LPCSTR name, LPCSTR type)
{
    if (name == NULL || type == NULL)
        return NULL;
    std::string typeKey = Key(type);
    std::string nameKey = Key(name);
    for (size_t i = 0; i < resources.size(); i++) {
        const Resource &r = resources[i];
        if (r.module == Resolve(module) && r.type == typeKey && r.name == nameKey)
            return (HRSRC)(resourceBase + 4 * i);
    }
    return NULL;
}

DWORD WINAPI SizeofResource(HMODULE module, HRSRC resource)
{
    (void)module;
    Resource *r = FindResourceEntry(resource, resourceBase);
    return r != NULL ? (DWORD)r->data.size() : 0;
}

HGLOBAL WINAPI LoadResource(HMODULE module, HRSRC resource)
{
    (void)module;
    if (failLoadResource || FindResourceEntry(resource, resourceBase) == NULL)
        return NULL;
    return (HGLOBAL)((uintptr_t)resource - resourceBase + loadedBase);
}

LPVOID WINAPI LockResource(HGLOBAL data)
{
    Resource *r = FindResourceEntry((HRSRC)data, loadedBase);
    if (r == NULL)
        return NULL;
    return r->data.empty() ? emptyResource : r->data.data();
}
