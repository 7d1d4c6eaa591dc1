// The embedded image's lookup and the length bytes of the transfer header.
#include "transfer/firmware_image_internal.h"

#include "resources/resource.h"
#include "sim_ui.h"
#include "transfer_log.h"

#include <gtest/gtest.h>

namespace
{

// The model's header bytes before its length, as the build configured them; the four bytes
// from UPDATE_TOOL_HEADER_LENGTH_AT carry the length.
const BYTE modelHeader[] = {UPDATE_TOOL_HEADER_BYTES};
const std::vector<BYTE> fixedHeader(modelHeader, modelHeader + UPDATE_TOOL_HEADER_LENGTH_AT);

std::vector<BYTE> FixedPart()
{
    return std::vector<BYTE>(TransferHeader(), TransferHeader() + UPDATE_TOOL_HEADER_LENGTH_AT);
}

std::vector<BYTE> LengthBytes()
{
    return std::vector<BYTE>(TransferHeader() + UPDATE_TOOL_HEADER_LENGTH_AT,
                             TransferHeader() + UPDATE_TOOL_HEADER_LENGTH_AT + 4);
}

TEST(TransferHeader, CarriesTheLengthMostSignificantByteFirstAndNothingElseChanges)
{
    struct Case {
        const char *label;
        DWORD length;
        std::vector<BYTE> bytes;
    } cases[] = {
        {"258 bytes", 258, {0x00, 0x00, 0x01, 0x02}},
        {"the shipped image", 1633101, {0x00, 0x18, 0xEB, 0x4D}},
        {"every byte distinct", 0x01020304, {0x01, 0x02, 0x03, 0x04}},
        {"the largest length", 0xFFFFFFFF, {0xFF, 0xFF, 0xFF, 0xFF}},
        {"zero after a larger value", 0, {0x00, 0x00, 0x00, 0x00}},
    };
    for (const Case &c : cases) {
        SCOPED_TRACE(c.label);
        StampImageSize(c.length);
        EXPECT_EQ(c.bytes, LengthBytes());
        EXPECT_EQ(fixedHeader, FixedPart());
    }
}

TEST(LoadFirmwareImage, FindsTheImageInPlaceOnlyWhenItIsThereAndNotEmpty)
{
    struct Case {
        const char *label;
        const char *type; // NULL: nothing registered
        int id;
        DWORD size;
        bool loadFails;
        int expected;
    } cases[] = {
        {"the type the resource script declares", "FIRMWARE", IDR_FIRMWARE, 10000, false, 1},
        {"type names match without regard to case", "firmware", IDR_FIRMWARE, 258, false, 1},
        {"a one-byte image", "FIRMWARE", IDR_FIRMWARE, 1, false, 1},
        {"an empty image", "FIRMWARE", IDR_FIRMWARE, 0, false, 0},
        {"no image at all", NULL, 0, 0, false, 0},
        {"an image under another id", "FIRMWARE", IDR_FIRMWARE + 1, 100, false, 0},
        {"an image of another type", "RCDATA", IDR_FIRMWARE, 100, false, 0},
        {"the resource cannot be loaded", "FIRMWARE", IDR_FIRMWARE, 100, true, 0},
    };
    for (const Case &c : cases) {
        SCOPED_TRACE(c.label);
        SimUiReset();
        std::vector<BYTE> image = TestImage(c.size);
        if (c.type != NULL)
            SimRegisterResource(NULL, c.type, MAKEINTRESOURCEA(c.id), image.data(), c.size);
        SimFailLoadResource(c.loadFails);

        ASSERT_EQ(c.expected, LoadFirmwareImage(SimExecutableModule()));
        if (c.expected == 0)
            continue;
        const BYTE *stored = SimResourceData(NULL, c.type, MAKEINTRESOURCEA(c.id));
        EXPECT_EQ(stored, FirmwareImage()) << "the image must be used where it lies, not copied";
        EXPECT_EQ(c.size, FirmwareImageLength());
        EXPECT_EQ(std::vector<BYTE>({0, 0, (BYTE)(c.size >> 8), (BYTE)c.size}), LengthBytes());
    }
}

} // namespace
