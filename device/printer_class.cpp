// Printer discovery through the USB printer device-interface class.
#include "device/link_state_internal.h"
#include "device/printer_class_internal.h"
#include "device/scanner_port_internal.h"
#include "ui_shared/ui_shared.h"

#include <setupapi.h>

#include <stddef.h>

// setupapi's functions, looked for in the system folder's copy at the first lookup and kept for
// every later one; ready when every one was found. Imported by name, setupapi would be looked for
// beside the executable first wherever it is not a KnownDLL (2000 and XP at least), and a Windows
// without it (95) would refuse to start the tool instead of finding no printer.
struct SetupLibrary {
    int tried;
    int ready;
    decltype(&SetupDiGetClassDevsA) getClassDevs;
    decltype(&SetupDiEnumDeviceInfo) enumDeviceInfo;
    decltype(&SetupDiGetDeviceRegistryPropertyA) getRegistryProperty;
    decltype(&SetupDiEnumDeviceInterfaces) enumDeviceInterfaces;
    decltype(&SetupDiGetDeviceInterfaceDetailA) getInterfaceDetail;
    decltype(&SetupDiDestroyDeviceInfoList) destroyDeviceInfoList;
};

static SetupLibrary setup = {0, 0, NULL, NULL, NULL, NULL, NULL, NULL};

enum HardwareIdRead {
    READ_LIST,  // the list is in the held block (or there is none): compare it
    READ_SKIP,  // this device has no list to compare: take the next one
    READ_ABORT, // the search ends unsuccessfully
};

// How many times one device's hardware-ID list is asked for. A device-setup library that keeps
// answering "done" (the oldest platforms) or "buffer too small" must not hold the lookup forever.
static const int maxPropertyQueries = 8;

// The least a detail block can hold: cbSize and one character of DevicePath.
static const DWORD detailFixedSize = offsetof(SP_DEVICE_INTERFACE_DETAIL_DATA_A, DevicePath) + 1;

// One of setupapi's functions, as a plain function pointer, which converts to each one's own type.
typedef void (*AnyFunction)(void);
static AnyFunction SetupFunction(const char *name)
{
    return (AnyFunction)SystemFunction("setupapi.dll", name);
}

// 1 when setupapi's functions are at hand; the first call looks for them.
static int LoadSetupLibrary()
{
    if (setup.tried)
        return setup.ready;
    setup.tried = 1;
    setup.getClassDevs = (decltype(setup.getClassDevs))SetupFunction("SetupDiGetClassDevsA");
    setup.enumDeviceInfo = (decltype(setup.enumDeviceInfo))SetupFunction("SetupDiEnumDeviceInfo");
    setup.getRegistryProperty =
        (decltype(setup.getRegistryProperty))SetupFunction("SetupDiGetDeviceRegistryPropertyA");
    setup.enumDeviceInterfaces =
        (decltype(setup.enumDeviceInterfaces))SetupFunction("SetupDiEnumDeviceInterfaces");
    setup.getInterfaceDetail =
        (decltype(setup.getInterfaceDetail))SetupFunction("SetupDiGetDeviceInterfaceDetailA");
    setup.destroyDeviceInfoList =
        (decltype(setup.destroyDeviceInfoList))SetupFunction("SetupDiDestroyDeviceInfoList");
    setup.ready = setup.getClassDevs != NULL && setup.enumDeviceInfo != NULL &&
                  setup.getRegistryProperty != NULL && setup.enumDeviceInterfaces != NULL &&
                  setup.getInterfaceDetail != NULL && setup.destroyDeviceInfoList != NULL;
    return setup.ready;
}

// Classic ASCII upper-casing of one text in place, through a heap scratch copy; bytes above
// 0x7F are never touched, whatever the user's locale says they are.
static void UppercaseText(char *text)
{
    int length = lstrlenA(text);
    if (length <= 0)
        return;

    HANDLE heap = GetProcessHeap();
    BYTE *scratch = (BYTE *)HeapAlloc(heap, 0, (SIZE_T)length);
    // Without a scratch block the text is folded where it stands: the result is the same.
    BYTE *bytes = scratch ? scratch : (BYTE *)text;
    if (scratch)
        CopyMemory(scratch, text, (size_t)length);
    for (int i = 0; i < length; i++)
        if (bytes[i] >= 'a' && bytes[i] <= 'z')
            bytes[i] = (BYTE)(bytes[i] - ('a' - 'A'));
    if (scratch) {
        CopyMemory(text, scratch, (size_t)length);
        HeapFree(heap, 0, scratch);
    }
}

void UppercaseInPlace(char *first, char *second)
{
    UppercaseText(first);
    UppercaseText(second);
}

// 1 when both texts hold the same characters. Under a double-byte code page a lead byte and its
// trail byte are one character; a lead byte just before the terminator stands alone, so the walk
// never steps over a NUL.
static int TextsEqual(const char *first, const char *second)
{
    const BYTE *a = (const BYTE *)first;
    const BYTE *b = (const BYTE *)second;
    for (;;) {
        if (a[0] != b[0])
            return 0;
        if (a[0] == '\0')
            return 1;
        if (IsDBCSLeadByte(a[0]) && a[1] != '\0') {
            if (a[1] != b[1])
                return 0;
            a += 2;
            b += 2;
        } else {
            a++;
            b++;
        }
    }
}

// The characters of a hardware ID that name the maker and the product: USB\VID_xxxx&PID_xxxx.
static const int modelPrefixLength = 21;

static char AsciiUpper(char c) { return c >= 'a' && c <= 'z' ? (char)(c - ('a' - 'A')) : c; }

int ReadRevision(const char *entry, const char *hardwareId)
{
    static const char revisionField[] = "&REV_";
    static const int fieldEnd = modelPrefixLength + (int)sizeof revisionField - 1;
    char digits[5];
    // Each byte is compared before the next is read: an entry that ends early, or holds a lead
    // byte where the ASCII ID has a character, differs there and is read no further.
    for (int i = 0; i < fieldEnd; i++) {
        char wanted = i < modelPrefixLength ? hardwareId[i] : revisionField[i - modelPrefixLength];
        if (wanted == '\0' || AsciiUpper(entry[i]) != AsciiUpper(wanted))
            return -1;
    }
    lstrcpynA(digits, entry + fieldEnd, (int)sizeof digits);
    if (lstrlenA(digits) != 4 || (entry[fieldEnd + 4] != '\0' && entry[fieldEnd + 4] != '&'))
        return -1;
    return ParseHexField(digits);
}

// Gives a LocalAlloc block back; NULL, for the pointer that held it.
static void *ReleaseBlock(void *block)
{
    if (block)
        LocalFree(block);
    return NULL;
}

// Replaces the held list block by a zero-filled one of size bytes. 0 when there is no memory.
static int ReplaceListBlock(BYTE **list, DWORD *listSize, DWORD size)
{
    *list = (BYTE *)ReleaseBlock(*list);
    *listSize = 0;
    *list = (BYTE *)LocalAlloc(LPTR, size);
    if (*list == NULL)
        return 0;
    *listSize = size;
    return 1;
}

// Reads the device's SPDRP_HARDWAREID list into *list (a block the caller releases).
// On Windows 2000 and later a query succeeds once the block is large enough. On the older
// releases a success is taken as "ask again with a block of the reported size", and "buffer too
// small" with a block in hand as "the list is in it"; "too small" with no block yet takes a block
// of the reported size first. Either way the number of queries is bounded.
static HardwareIdRead ReadHardwareIds(HDEVINFO set, SP_DEVINFO_DATA *device, int osFamily,
                                      BYTE **list, DWORD *listSize, DWORD *reportedSize)
{
    int modern = osFamily == OS_WINDOWS_2000 || osFamily == OS_WINDOWS_XP_OR_LATER;
    for (int queries = 1;; queries++) {
        DWORD dataType = 0;
        BOOL ok = setup.getRegistryProperty(set, device, SPDRP_HARDWAREID, &dataType, *list,
                                            *listSize, reportedSize);
        if (ok && modern)
            return READ_LIST;
        if (!ok) {
            DWORD error = GetLastError();
            if (error == ERROR_INVALID_DATA)
                return READ_SKIP;
            if (error != ERROR_INSUFFICIENT_BUFFER)
                return READ_ABORT;
            if (!modern && *list != NULL)
                return READ_LIST;
        }
        if (queries >= maxPropertyQueries)
            return ok ? READ_LIST : READ_SKIP;
        if (!ReplaceListBlock(list, listSize, *reportedSize))
            return READ_ABORT;
    }
}

// 1 when an entry of the list equals idCopy, both upper-cased; *revision gets the first revision
// an entry gives for idCopy's model, -1 when none does. Every entry is visited. Only the first
// limit bytes are read, and an entry whose terminator does not lie within them is not an entry:
// the walk ends there.
static int ListHoldsId(char *list, DWORD limit, char *idCopy, int *revision)
{
    int matched = 0;
    DWORD position = 0;
    *revision = -1;
    while (list != NULL && position < limit && list[position] != '\0') {
        char *entry = list + position;
        DWORD length = 0;
        while (position + length < limit && entry[length] != '\0')
            length++;
        if (position + length >= limit)
            break;
        UppercaseInPlace(idCopy, entry);
        if (TextsEqual(idCopy, entry))
            matched = 1;
        if (*revision < 0)
            *revision = ReadRevision(entry, idCopy);
        position += length + 1;
    }
    return matched;
}

// Opens the device path into both handles. 0 with both closed when either open fails.
static int OpenBothHandles(const char *path, int osFamily)
{
    HANDLE primary = OpenLinkHandle(path, FILE_ATTRIBUTE_NORMAL, osFamily);
    SetPrimaryHandle(primary);
    if (primary != INVALID_HANDLE_VALUE) {
        HANDLE secondary = OpenLinkHandle(path, FILE_ATTRIBUTE_NORMAL, osFamily);
        SetSecondaryHandle(secondary);
        if (secondary != INVALID_HANDLE_VALUE)
            return 1;
    }
    CloseDeviceHandles();
    return 0;
}

// Counts into *matches the devices of the set carrying idCopy with an interface of the class,
// stopping at two, and keeps the first one's interface in *found and its revision in *revision.
// 1 when the walk reached the list's end (or the second match); 0 when a device could not be
// read or the enumeration failed before its end.
static int CountModelPrinters(HDEVINFO set, const GUID *interfaceClass, char *idCopy, int osFamily,
                              SP_DEVICE_INTERFACE_DATA *found, int *revision, int *matches)
{
    int result = 0;
    BYTE *list = NULL;
    DWORD listSize = 0;
    DWORD index = 0;
    SP_DEVINFO_DATA device;
    SP_DEVICE_INTERFACE_DATA laterInterface;

    *matches = 0;
    *revision = -1;
    ZeroMemory(&device, sizeof device);
    device.cbSize = sizeof device;
    ZeroMemory(found, sizeof *found);
    found->cbSize = sizeof *found;
    laterInterface = *found;
    // Every device is looked at, not only up to the first match: with two printers of the model
    // attached the tool cannot know which one the user means, and two are enough to say so.
    for (; *matches < 2 && setup.enumDeviceInfo(set, index, &device); index++) {
        DWORD reportedSize = 0;
        int matched = 0;
        int listRevision = -1;
        HardwareIdRead read =
            ReadHardwareIds(set, &device, osFamily, &list, &listSize, &reportedSize);
        if (read == READ_ABORT)
            goto done;
        if (read == READ_LIST) {
            DWORD limit = reportedSize < listSize ? reportedSize : listSize;
            matched = ListHoldsId((char *)list, limit, idCopy, &listRevision);
        }
        list = (BYTE *)ReleaseBlock(list);
        listSize = 0;
        // The interface of the matching device itself: a position in the whole set's interface
        // list need not belong to the device at the same position in its device list. A device
        // listed without one (its interface declared but not linked, or just unplugged) is no
        // printer that could be written.
        if (matched && setup.enumDeviceInterfaces(set, &device, interfaceClass, 0,
                                                  *matches == 0 ? found : &laterInterface)) {
            if (*matches == 0)
                *revision = listRevision;
            (*matches)++;
        }
    }
    // Only ERROR_NO_MORE_ITEMS ends the list: any other refusal leaves devices unseen, and a
    // count made without them could open one of two printers.
    result = *matches >= 2 || GetLastError() == ERROR_NO_MORE_ITEMS;

done:
    if (!result)
        *matches = 0;
    ReleaseBlock(list);
    return result;
}

// Opens both handles on the interface's device path. 1 when both are open; 0 with both closed.
static int OpenPrinterInterface(HDEVINFO set, SP_DEVICE_INTERFACE_DATA *found, int osFamily)
{
    int result = 0;
    SP_DEVICE_INTERFACE_DETAIL_DATA_A *detail = NULL;
    DWORD detailSize = 0;

    // The sizing call has no block to fill: ERROR_INSUFFICIENT_BUFFER is its one good answer.
    if (setup.getInterfaceDetail(set, found, NULL, 0, &detailSize, NULL) ||
        GetLastError() != ERROR_INSUFFICIENT_BUFFER)
        goto done;
    if (detailSize <= detailFixedSize)
        goto done;
    // One zero byte past the reported size keeps DevicePath terminated inside the block.
    detail = (SP_DEVICE_INTERFACE_DETAIL_DATA_A *)LocalAlloc(LPTR, (SIZE_T)detailSize + 1);
    if (detail == NULL)
        goto done;
    // SetupAPI wants the structure's own size, which the platform's packing makes 5 on 32-bit
    // and 8 on 64-bit Windows: the compiler knows which.
    detail->cbSize = sizeof *detail;
    if (!setup.getInterfaceDetail(set, found, detail, detailSize, NULL, NULL))
        goto done;

    result = OpenBothHandles(detail->DevicePath, osFamily);

done:
    ReleaseBlock(detail);
    return result;
}

int FindPrinterByInterface(const GUID *interfaceClass, const char *hardwareId, int osFamily,
                           int open, int *present)
{
    int result = 0;
    int matches = 0;
    int revision = -1;
    char *idCopy = NULL;
    HDEVINFO set = INVALID_HANDLE_VALUE;
    SP_DEVICE_INTERFACE_DATA found; // the first matching device's
    int idLength = lstrlenA(hardwareId);

    *present = 0;
    if (!LoadSetupLibrary())
        goto done;
    // The comparison upper-cases in place: it works on a copy, never on the caller's text.
    idCopy = (char *)LocalAlloc(LPTR, (SIZE_T)idLength + 2);
    if (idCopy == NULL)
        goto done;
    CopyMemory(idCopy, hardwareId, (size_t)idLength);

    set = setup.getClassDevs(interfaceClass, NULL, NULL, DIGCF_PRESENT | DIGCF_DEVICEINTERFACE);
    if (set == INVALID_HANDLE_VALUE)
        goto done;
    if (!CountModelPrinters(set, interfaceClass, idCopy, osFamily, &found, &revision, &matches))
        goto done;
    *present = matches;
    if (!open)
        result = 1;
    else if (matches == 1)
        result = OpenPrinterInterface(set, &found, osFamily);
    // Only a lookup that opens the handles reads their printer's revision: a count leaves the
    // one they hold as it is, and a failed open has closed them with theirs.
    if (open && result)
        SetPrinterRevision(revision);

done:
    if (!result)
        SetLastError(ERROR_INVALID_HANDLE);
    if (set != INVALID_HANDLE_VALUE)
        setup.destroyDeviceInfoList(set);
    ReleaseBlock(idCopy);
    return result;
}
