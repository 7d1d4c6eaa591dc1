// A plain write loop to a device path, without any window: the baseline against which the
// tool's transfer time is measured. Writes the same 400 pieces the tool does (the 24-byte
// header, then the image in 4096-byte pieces) and prints one JSON line with the time taken.
//
// Usage: raw_write DEVICE-PATH IMAGE-FILE
#include <windows.h>

// The printer model's header, as the tool is built with it.
#include "build_config.h"

#include <stdio.h>
#include <stdlib.h>

static int WriteAll(HANDLE device, const BYTE *data, DWORD length)
{
    while (length > 0) {
        DWORD written = 0;
        if (!WriteFile(device, data, length, &written, NULL) || written == 0)
            return 0;
        data += written;
        length -= written;
    }
    return 1;
}

int main(int argc, char **argv)
{
    if (argc != 3) {
        fprintf(stderr, "usage: raw_write DEVICE-PATH IMAGE-FILE\n");
        return 2;
    }
    int result = 1;
    BYTE *image = NULL;
    HANDLE device = INVALID_HANDLE_VALUE;
    FILE *file = fopen(argv[2], "rb");
    long length = 0;
    if (file == NULL || fseek(file, 0, SEEK_END) != 0 || (length = ftell(file)) <= 0) {
        fprintf(stderr, "cannot read %s\n", argv[2]);
        goto done;
    }
    image = (BYTE *)malloc(length);
    rewind(file);
    if (image == NULL || fread(image, 1, length, file) != (size_t)length) {
        fprintf(stderr, "cannot read %s\n", argv[2]);
        goto done;
    }
    {
        BYTE header[UPDATE_TOOL_HEADER_LENGTH] = {UPDATE_TOOL_HEADER_BYTES};
        BYTE *field = header + UPDATE_TOOL_HEADER_LENGTH_AT;
        field[0] = (BYTE)(length >> 24);
        field[1] = (BYTE)(length >> 16);
        field[2] = (BYTE)(length >> 8);
        field[3] = (BYTE)length;

        LARGE_INTEGER frequency, start, end;
        QueryPerformanceFrequency(&frequency);
        QueryPerformanceCounter(&start);
        device =
            CreateFileA(argv[1], GENERIC_READ | GENERIC_WRITE, FILE_SHARE_READ | FILE_SHARE_WRITE,
                        NULL, OPEN_EXISTING, FILE_ATTRIBUTE_NORMAL, NULL);
        if (device == INVALID_HANDLE_VALUE) {
            fprintf(stderr, "cannot open %s: error %lu\n", argv[1], GetLastError());
            goto done;
        }
        int writes = 0;
        if (!WriteAll(device, header, sizeof header))
            goto failed;
        writes++;
        for (long offset = 0; offset < length; offset += 4096) {
            DWORD piece = length - offset < 4096 ? (DWORD)(length - offset) : 4096;
            if (!WriteAll(device, image + offset, piece))
                goto failed;
            writes++;
        }
        QueryPerformanceCounter(&end);
        printf("{\"event\":\"raw\",\"ms\":%.1f,\"writes\":%d,\"bytes\":%ld}\n",
               (double)(end.QuadPart - start.QuadPart) * 1000.0 / (double)frequency.QuadPart,
               writes, length + 24);
        result = 0;
        goto done;
    failed:
        fprintf(stderr, "write %d failed: error %lu\n", writes, GetLastError());
    }
done:
    if (device != INVALID_HANDLE_VALUE)
        CloseHandle(device);
    free(image);
    if (file != NULL)
        fclose(file);
    return result;
}
