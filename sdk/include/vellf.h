/* Reader SDK for 125 kHz reader/writers: the flat C interface.
 *
 * Every per-handle function looks the handle up in the process-wide SDK context and runs
 * one operation on that reader. "bool" results are 0 for success and -1 for failure,
 * "count" results the number of bytes copied or -1; the reason of a failure is read with
 * LfGetLastError. A count result whose reply does not fit into the caller's buffer stores
 * error 8 and copies nothing. Text lists are entries each closed by a zero byte, followed
 * by one more zero byte; the result is the number of bytes used.
 *
 * Error codes: 6 unknown handle, 7 no complete reply in time, 8 reply longer than the
 * buffer, 9 not possible with this reader or chip / wrong reply length, 10 chip type not
 * supported, 12 block address out of range, 14 checksum or parity error, 16 empty reply,
 * 18 invalid parameter, 24 needs the extended command set, 25 card not in the requested
 * format; other values below 256 are the reader's own status bytes.
 *
 * LfOpenPort results: a handle > 0, or -1 (transport could not be opened), -5 (negative
 * timeout), -15 (no answer to the version request in any framing), -18 (HID link could
 * not be initialised).
 *
 * Diagnostics: the SDK writes nothing to standard error by itself. With the environment
 * variable VELLF_DEBUG set to a value other than "" or "0" when the SDK first reports
 * something, it writes the texts of failed line operations ("WARNING:  <step> Failed with
 * the following error: ...") and of the D2XX library loader there.
 */
#ifndef VELLF_H
#define VELLF_H

#if defined(VELLF_BUILDING)
#define VELLF_API __attribute__((visibility("default")))
#else
#define VELLF_API
#endif

#ifdef __cplusplus
extern "C" {
#endif

/* Ports, versions and errors. */
VELLF_API int LfOpenPort(const char* name, int baud, int options, int timeoutMs);
VELLF_API int LfClosePort(int handle);
VELLF_API int LfGetLastError(int handle);
VELLF_API int LfSetBackgroundMode(int handle, int on);
VELLF_API int LfGetSdkVersion(void);
VELLF_API int LfGetVersion(int handle, unsigned char* reply, int replySize, char* model,
                           int modelSize);

/* Reader commands. */
VELLF_API int LfGetSerialNumber(int handle, unsigned char* buffer, int size);
VELLF_API int LfSetReceiveMode(int handle, int mode);
VELLF_API int LfSetUsbMode(int handle, int mode);
VELLF_API int LfResetReader(int handle, int first, int second);
VELLF_API int LfSetDeviceMode(int handle, int mode);
VELLF_API int LfReadBlocks(int handle, int chipType, int startBlock, unsigned char* buffer,
                           int size);

/* Reading transponders. */
VELLF_API int LfReadWiegand26(int handle, int* facility, int* number);
VELLF_API int LfReadWiegand34(int handle, int* facility, int* number);
VELLF_API int LfReadWiegand34NC(int handle, int* facility, int* number);
VELLF_API int LfReadWiegand35(int handle, int* company, int* number);
VELLF_API int LfReadWiegand36(int handle, int* facility, int* number, int* extra);
VELLF_API int LfReadWiegand37(int handle, int* facility, int* number);
VELLF_API int LfReadRawData(int handle, int coding, unsigned char* buffer, int size);
VELLF_API int LfReadChipId(int handle, int chipType, unsigned char* buffer, int size);
VELLF_API int LfResetField(int handle, int chipType);

/* Programming transponders; flags 3 locks the chip after writing. */
VELLF_API int LfWriteWiegand26(int handle, int chipType, int facility, int number, int flags);
VELLF_API int LfWriteWiegand34(int handle, int chipType, int facility, int number, int flags);
VELLF_API int LfWriteWiegand34NC(int handle, int chipType, int facility, int number, int flags);
VELLF_API int LfWriteWiegand35(int handle, int chipType, int company, int number, int flags);
VELLF_API int LfWriteWiegand36(int handle, int chipType, int facility, int number, int extra,
                               int flags);
VELLF_API int LfWriteWiegand37(int handle, int chipType, int facility, int number, int flags);

/* Serial and USB readers. */
VELLF_API int LfListComPorts(char* buffer, int size);
VELLF_API int LfListUsbReaders(char* buffer, int size);
VELLF_API int LfGetUsbDeviceFlags(void);
VELLF_API int LfIsUsbDriverInstalled(void);

/* Network readers. The four out buffers of LfGetLanConfig must hold 32 bytes each (the
 * longest text is 25 characters with its zero). */
VELLF_API int LfFindLanReaders(char* buffer, int size);
VELLF_API int LfFindLanDevices(char* buffer, int size);
VELLF_API int LfPingLanReader(const char* address);
VELLF_API int LfGetLanConfig(const char* address, char* nameOut, char* addressOut,
                             char* maskOut, char* gatewayOut);
VELLF_API int LfSetLanConfig(const char* address, const char* newAddress, const char* mask,
                             const char* gateway);

/* Hooks of the reply wait. While an exchange waits for its reply the SDK calls pump
 * between sleeps of at most 10 ms (so a user interface keeps painting and its timers keep
 * firing), and, unless the port is in background mode, busy(context, 1) before the wait and
 * busy(context, 0) after it. Without hooks the wait just sleeps. */
typedef void (*LfPumpFn)(void* context);
typedef void (*LfBusyFn)(void* context, int busy);
VELLF_API void LfSetWaitHooks(LfPumpFn pump, LfBusyFn busy, void* context);

#ifdef __cplusplus
}
#endif

#endif /* VELLF_H */
