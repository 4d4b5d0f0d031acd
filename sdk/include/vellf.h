/** @file vellf.h
 * @brief Reader SDK for 125 kHz reader/writers: the flat C interface.
 *
 * @section vellf_results Results
 * Unless a function says otherwise, the result is 0 for success and -1 for failure, and the
 * reason of a failure is read with LfGetLastError() on the same handle. Functions that copy a
 * reply answer the number of bytes copied, or -1; a reply that does not fit into the caller's
 * buffer stores #LF_ERROR_BUFFER_TOO_SMALL and copies nothing. Every exception to this rule
 * is named under "Result" in the function's description. An unknown handle makes every
 * per-handle function fail without storing anything; LfGetLastError() then answers
 * #LF_ERROR_UNKNOWN_HANDLE. Functions without a handle have no stored reason.
 *
 * @section vellf_handles Handles
 * LfOpenPort() hands out a positive handle per reader: serial and USB-serial readers get the
 * lowest number from 1 up that no open serial port uses, HID readers the lowest from 10001 up,
 * network readers the lowest from 20001 up. Numbers are reused lowest-first as soon as a port
 * is closed: a handle kept after LfClosePort() soon names another reader, so drop it together
 * with the close.
 *
 * @section vellf_threads Threads
 * Any function may be called from any thread. One handle is used by one thread at a time:
 * two threads on the same handle interleave their frames. Different handles may run on
 * different threads at the same time. Opens run one after the other (a second LfOpenPort()
 * waits for the first). The functions without a handle may run at any time.
 *
 * @section vellf_waits Waiting and the wait hooks
 * A call that exchanges frames with a reader waits for the reply for at most the timeout given
 * to LfOpenPort(); the blocking time of each function is given as a number of such waits. The
 * hooks of LfSetWaitHooks() are process-wide: pump runs on whichever thread waits, every 10 ms
 * at most, and busy runs before and after each wait of a port that is not in background mode.
 * A wait keeps the hooks it started with, so the hooks' context must stay valid until every
 * call that may be waiting has returned, also after the hooks were replaced. A pump may call
 * SDK functions on other handles (opens are allowed from it too).
 *
 * @section vellf_lists Text lists
 * LfListComPorts(), LfListUsbReaders(), LfFindLanReaders() and LfFindLanDevices() write their
 * entries one after another, each closed by a zero byte, and one more zero byte closes the list.
 * The first entry that does not fit with its zero and the closing zero ends the list. The result
 * is the number of bytes used including the closing zero (1 for an empty list), or 0 when the
 * buffer cannot even hold the closing zero.
 *
 * @section vellf_diagnostics Diagnostics
 * The SDK writes nothing to standard error by itself. With the environment variable
 * VELLF_DEBUG set to a value other than "" or "0" when the SDK first reports something, it
 * writes the texts of failed line operations ("WARNING:  <step> Failed with the following
 * error: ...") and of the D2XX library loader there.
 */
/** @mainpage Reader SDK reference
 * The SDK's whole interface is the header vellf.h: its description starts with the rules that
 * hold for every function (results, handles, threads, waits, text lists, diagnostics), and
 * vellf_version.h gives the version macros. Programs build against it with
 * `pkg-config --cflags --libs vellf` or CMake's `find_package(vellf)` (target vellf::vellf);
 * the examples in /usr/share/doc/libvellf-dev/examples show both.
 */
#ifndef VELLF_H
#define VELLF_H

#include "vellf_version.h"

/** @cond VELLF_INTERNAL */
#if defined(VELLF_BUILDING)
#define VELLF_API __attribute__((visibility("default")))
#else
#define VELLF_API
#endif

#ifdef __cplusplus
extern "C" {
#endif
/** @endcond */

/* Named values. The numbers are part of the interface: programs that pass bare numbers keep
 * working. */

/** Transponder chip types: the chipType argument of the chip functions. */
enum LfChipType {
    LF_CHIP_Q5 = 3,         /**< ATA5555 (Q5) */
    LF_CHIP_ATA5577 = 9,    /**< ATA5577 */
    LF_CHIP_ATA5575M2 = 11, /**< ATA5575 M2 */
    LF_CHIP_SIC7888 = 12,   /**< SIC7888 */
    LF_CHIP_TL008 = 17      /**< TL008 */
};

/** Bits of the flags argument of the LfWriteWiegand... functions. */
enum LfWriteFlag {
    LF_WRITE_NO_LOCK = 0,        /**< the chip stays writable */
    LF_WRITE_LOCK_DATA = 0x01,   /**< lock the blocks that carry the card number */
    LF_WRITE_LOCK_CONFIG = 0x02, /**< lock the configuration block */
    LF_WRITE_LOCK = 0x03         /**< lock the chip for good: both of the above */
};

/** The options argument of LfOpenPort(): one line setting (serial lines only), ORed with the
 * bits. */
enum LfOpenOption {
    LF_OPEN_8N1 = 0,                /**< 8 data bits, no parity, 1 stop bit */
    LF_OPEN_8E1 = 1,                /**< 8 data bits, even parity, 1 stop bit */
    LF_OPEN_8O1 = 2,                /**< 8 data bits, odd parity, 1 stop bit */
    LF_OPEN_8N2 = 3,                /**< 8 data bits, no parity, 2 stop bits */
    LF_OPEN_LINE_MASK = 0x0F,       /**< the bits of the line setting; other values mean 8N1 */
    LF_OPEN_NO_CRC_FALLBACK = 0x40, /**< do not try CRC framing when the reader stays silent */
    LF_OPEN_BACKGROUND = 0x80       /**< start in background mode (see LfSetBackgroundMode()) */
};

/** The negative results of LfOpenPort(), also answered by LfGetLanConfig() and
 * LfSetLanConfig(). */
enum LfOpenResult {
    LF_OPEN_FAILED = -1,          /**< the transport could not be opened */
    LF_OPEN_BAD_TIMEOUT = -5,     /**< negative timeout */
    LF_OPEN_NO_ANSWER = -15,      /**< no answer to the version request in any framing */
    LF_OPEN_HID_INIT_FAILED = -18 /**< the HID link could not be initialised */
};

/** Receive modes of the reader (LfSetReceiveMode()), named after the transponder
 * configuration the SDK expects to read in that mode: modulation and data rate (RF/n is one
 * bit per n carrier periods). The modes from 128 up read the same signal with the opposite
 * polarity. */
enum LfReceiveMode {
    LF_RECEIVE_MANCHESTER_RF64 = 0,            /**< Manchester, RF/64 */
    LF_RECEIVE_BIPHASE_RF32 = 1,               /**< biphase, RF/32 */
    LF_RECEIVE_FSK_RF50 = 2,                   /**< FSK, RF/50: the cards this SDK writes */
    LF_RECEIVE_MANCHESTER_RF32 = 5,            /**< Manchester, RF/32 */
    LF_RECEIVE_BIPHASE_RF64 = 6,               /**< biphase, RF/64 */
    LF_RECEIVE_FSK_RF64 = 7,                   /**< FSK, RF/64 */
    LF_RECEIVE_MANCHESTER_RF64_INVERTED = 128, /**< Manchester, RF/64, opposite polarity */
    LF_RECEIVE_BIPHASE_RF32_INVERTED = 129,    /**< biphase, RF/32, opposite polarity */
    LF_RECEIVE_FSK_RF50_INVERTED = 130,        /**< FSK, RF/50, opposite polarity */
    LF_RECEIVE_MANCHESTER_RF32_INVERTED = 133, /**< Manchester, RF/32, opposite polarity */
    LF_RECEIVE_BIPHASE_RF64_INVERTED = 134,    /**< biphase, RF/64, opposite polarity */
    LF_RECEIVE_FSK_RF64_INVERTED = 135         /**< FSK, RF/64, opposite polarity */
};

/** Device modes (LfSetDeviceMode()): operating modes of the reader's firmware, which the SDK
 * forwards without giving them a meaning. */
enum LfDeviceMode {
    LF_DEVICE_MODE_0 = 0,     /**< mode 0: the reader/writer mode a programming station sets */
    LF_DEVICE_MODE_1 = 1,     /**< mode 1 of the firmware */
    LF_DEVICE_MODE_2 = 2,     /**< mode 2 of the firmware */
    LF_DEVICE_MODE_3 = 3,     /**< mode 3 of the firmware */
    LF_DEVICE_MODE_128 = 128, /**< mode 128 of the firmware */
    LF_DEVICE_MODE_129 = 129, /**< mode 129 of the firmware */
    LF_DEVICE_MODE_131 = 131  /**< mode 131 of the firmware */
};

/** Interface modes of a USB reader (LfSetUsbMode()); the reader takes a new mode after
 * LfResetReader(). */
enum LfUsbMode {
    LF_USB_MODE_HID = 1,        /**< HID device */
    LF_USB_MODE_VIRTUAL_COM = 2 /**< virtual COM port (CDC-ACM) */
};

/** Codings of a raw read (LfReadRawData()). */
enum LfCoding {
    LF_CODING_MANCHESTER = 0, /**< Manchester */
    LF_CODING_BIPHASE = 1     /**< biphase */
};

/** Bits of LfGetUsbDeviceFlags(): a reader is plugged in but nothing can drive it. */
enum LfUsbDeviceFlag {
    LF_USB_FLAG_D2XX_READER_UNDRIVEN = 1,       /**< USB serial reader; no D2XX library */
    LF_USB_FLAG_VIRTUAL_COM_READER_UNDRIVEN = 2 /**< virtual COM reader; no CDC-ACM driver */
};

/** Error codes answered by LfGetLastError(). Other values below 256 are status bytes of the
 * reader itself. */
enum LfError {
    LF_ERROR_UNKNOWN_HANDLE = 6,           /**< unknown handle (only from LfGetLastError()) */
    LF_ERROR_TIMEOUT = 7,                  /**< no complete reply within the timeout */
    LF_ERROR_BUFFER_TOO_SMALL = 8,         /**< reply longer than the caller's buffer */
    LF_ERROR_NOT_POSSIBLE = 9,             /**< not possible with this reader or chip type,
                                                or a reply of the wrong length */
    LF_ERROR_CHIP_NOT_SUPPORTED = 10,      /**< chip type not supported */
    LF_ERROR_BLOCK_OUT_OF_RANGE = 12,      /**< block address out of range for the chip type */
    LF_ERROR_CHECKSUM = 14,                /**< checksum error in a reply, or parity error in
                                                the card data */
    LF_ERROR_EMPTY_REPLY = 16,             /**< empty reply */
    LF_ERROR_INVALID_PARAMETER = 18,       /**< invalid parameter (mode, coding, format) */
    LF_ERROR_NEEDS_EXTENDED_COMMANDS = 24, /**< needs the extended command set, or not
                                                defined for this chip type */
    LF_ERROR_WRONG_FORMAT = 25             /**< card data not in the requested format */
};

/** Sizes. */
enum LfSize {
    LF_LAN_TEXT_SIZE = 32 /**< bytes of each out buffer of LfGetLanConfig() (longest text 25
                               characters with its zero) */
};

/** @name Ports, versions and errors */
/** @{ */

/** Opens a reader and identifies it by its version request.
 * @param name the port: a serial device ("/dev/ttyUSB0", "COM3"), a HID reader (a name
 *        containing "HID", as LfListUsbReaders() lists it), or a network reader (an address
 *        with three dots, or "[name]"). A trailing ":n" selects bus address n (default 1).
 *        NULL counts as "".
 * @param baud line speed in bit/s for serial names (containing "COM" or a serial device);
 *        other transports ignore it (19200).
 * @param options an #LfOpenOption line setting ORed with #LF_OPEN_NO_CRC_FALLBACK and
 *        #LF_OPEN_BACKGROUND.
 * @param timeoutMs reply timeout of the port in milliseconds, 0 or more.
 * @return Exception to the common rule: a handle > 0, or a negative #LfOpenResult. A failed
 *         open leaves no port behind.
 * @par Blocks
 * opening the transport, then up to three version requests of at most min(timeoutMs, 300) ms
 * each (the second after reopening the transport, the third in CRC framing).
 * @par Threads
 * opens run one after the other.
 */
VELLF_API int LfOpenPort(const char* name, int baud, int options, int timeoutMs);

/** Closes a reader; its handle may be handed out again at once.
 * @param handle a handle of LfOpenPort().
 * @return 0, or -1 for an unknown or already closed handle.
 * @par Blocks
 * until the transport's receive thread has stopped (milliseconds).
 * @par Threads
 * no other call may be running on the handle.
 */
VELLF_API int LfClosePort(int handle);

/** The error code of the last failure on a handle.
 * @param handle a handle of LfOpenPort().
 * @return Exception to the common rule: the stored #LfError code or reader status byte (0 if
 *         none yet), or #LF_ERROR_UNKNOWN_HANDLE for an unknown handle.
 * @par Blocks
 * never.
 */
VELLF_API int LfGetLastError(int handle);

/** Switches background mode: a port in background mode does not call the busy hook.
 * @param handle a handle of LfOpenPort().
 * @param on non-zero to switch it on, 0 to switch it off.
 * @return Exception to the common rule: 1 on success, -1 for an unknown handle.
 * @par Blocks
 * never.
 */
VELLF_API int LfSetBackgroundMode(int handle, int on);

/** The version of the library loaded at run time.
 * @return Exception to the common rule: major * 100 + minor (444 for 4.44); compare it with
 *         #VELLF_SDK_VERSION or VELLF_RUNTIME_COMPATIBLE().
 * @par Blocks
 * never.
 */
VELLF_API int LfGetSdkVersion(void);

/** A failure in words: the English text of an error code or an open result.
 * @param code an #LfError code, a reader status byte, 0 or a negative #LfOpenResult.
 * @return Exception to the common rule: a static text, never NULL, valid for the life of the
 *         process; a general text for reader status bytes and for unknown codes.
 * @par Blocks
 * never.
 */
VELLF_API const char* LfGetErrorText(int code);

/** Asks the reader for its version and names its model.
 * @param handle a handle of LfOpenPort().
 * @param reply receives the raw version reply (4 bytes from current readers).
 * @param replySize bytes available in reply.
 * @param model receives the model name with its zero, or NULL.
 * @param modelSize bytes available in model; a name that does not fit is left out silently.
 * @return the number of reply bytes copied, or -1.
 * @par Errors
 * #LF_ERROR_TIMEOUT, #LF_ERROR_BUFFER_TOO_SMALL, #LF_ERROR_CHECKSUM, #LF_ERROR_EMPTY_REPLY,
 * reader status bytes.
 * @par Blocks
 * one wait.
 */
VELLF_API int LfGetVersion(int handle, unsigned char* reply, int replySize, char* model,
                           int modelSize);

/** @} */

/** @name Reader commands */
/** @{ */

/** Reads the reader's serial number.
 * @param handle a handle of LfOpenPort().
 * @param buffer receives the serial number bytes as the reader sends them.
 * @param size bytes available in buffer.
 * @return the number of bytes copied, or -1.
 * @par Errors
 * #LF_ERROR_TIMEOUT, #LF_ERROR_BUFFER_TOO_SMALL, #LF_ERROR_CHECKSUM, #LF_ERROR_EMPTY_REPLY,
 * reader status bytes.
 * @par Blocks
 * one wait.
 */
VELLF_API int LfGetSerialNumber(int handle, unsigned char* buffer, int size);

/** Sets the reader's receive mode.
 * @param handle a handle of LfOpenPort().
 * @param mode an #LfReceiveMode.
 * @return 0 or -1. Also 0 without sending anything when the reader has no receive modes
 *         (or not this one) or is known to be in this mode already.
 * @par Errors
 * #LF_ERROR_TIMEOUT, #LF_ERROR_CHECKSUM, reader status bytes.
 * @par Blocks
 * one wait, or none.
 */
VELLF_API int LfSetReceiveMode(int handle, int mode);

/** Sets the interface mode of a USB reader; it takes the mode after LfResetReader().
 * @param handle a handle of LfOpenPort().
 * @param mode an #LfUsbMode.
 * @return 0 or -1.
 * @par Errors
 * #LF_ERROR_TIMEOUT, #LF_ERROR_CHECKSUM, reader status bytes.
 * @par Blocks
 * one wait.
 */
VELLF_API int LfSetUsbMode(int handle, int mode);

/** Sends the reader's reset command with two bytes the firmware interprets (0, 0 restarts it).
 * @param handle a handle of LfOpenPort().
 * @param first first byte (0-255).
 * @param second second byte (0-255).
 * @return 0 or -1.
 * @par Errors
 * #LF_ERROR_TIMEOUT, #LF_ERROR_CHECKSUM, reader status bytes.
 * @par Blocks
 * one wait.
 */
VELLF_API int LfResetReader(int handle, int first, int second);

/** Sets the reader's device mode.
 * @param handle a handle of LfOpenPort().
 * @param mode an #LfDeviceMode; any other value stores #LF_ERROR_INVALID_PARAMETER without
 *        sending.
 * @return 0 or -1.
 * @par Errors
 * #LF_ERROR_INVALID_PARAMETER, #LF_ERROR_TIMEOUT, #LF_ERROR_CHECKSUM, reader status bytes.
 * @par Blocks
 * one wait.
 */
VELLF_API int LfSetDeviceMode(int handle, int mode);

/** Reads transponder memory blocks.
 * @param handle a handle of LfOpenPort().
 * @param chipType an #LfChipType (low byte 1-39).
 * @param startBlock the first block; checked against the chip's address range.
 * @param buffer receives the block data.
 * @param size the number of bytes wanted, 0 or more (whole blocks).
 * @return the number of bytes copied, or -1.
 * @par Errors
 * #LF_ERROR_CHIP_NOT_SUPPORTED, #LF_ERROR_INVALID_PARAMETER, #LF_ERROR_BLOCK_OUT_OF_RANGE,
 * #LF_ERROR_BUFFER_TOO_SMALL, #LF_ERROR_TIMEOUT, #LF_ERROR_CHECKSUM, reader status bytes.
 * @par Blocks
 * one wait.
 */
VELLF_API int LfReadBlocks(int handle, int chipType, int startBlock, unsigned char* buffer,
                           int size);

/** @} */

/** @name Reading transponders
 * Each function reads the card on the reader in one Wiegand format and stores its fields;
 * a card of another format fails with #LF_ERROR_WRONG_FORMAT. Errors: #LF_ERROR_TIMEOUT,
 * #LF_ERROR_WRONG_FORMAT, #LF_ERROR_CHECKSUM (parity), #LF_ERROR_NOT_POSSIBLE,
 * #LF_ERROR_NEEDS_EXTENDED_COMMANDS, reader status bytes (no card). Blocks: a few
 * waits. */
/** @{ */

/** Reads a 26-bit card.
 * @param handle a handle of LfOpenPort().
 * @param facility receives the facility code (0-255), or NULL.
 * @param number receives the card number (0-65535), or NULL.
 * @return 0 or -1. */
VELLF_API int LfReadWiegand26(int handle, int* facility, int* number);
/** Reads a 34-bit card.
 * @param handle a handle of LfOpenPort().
 * @param facility receives the facility code (0-65535), or NULL.
 * @param number receives the card number (0-65535), or NULL.
 * @return 0 or -1. */
VELLF_API int LfReadWiegand34(int handle, int* facility, int* number);
/** Reads a 34-bit "NC" card (one parity bit over both halves).
 * @param handle a handle of LfOpenPort().
 * @param facility receives the facility code (0-65535), or NULL.
 * @param number receives the card number (0-65535), or NULL.
 * @return 0 or -1. */
VELLF_API int LfReadWiegand34NC(int handle, int* facility, int* number);
/** Reads a 35-bit corporate card.
 * @param handle a handle of LfOpenPort().
 * @param company receives the company code (0-4095), or NULL.
 * @param number receives the card number (0-1048575), or NULL.
 * @return 0 or -1. */
VELLF_API int LfReadWiegand35(int handle, int* company, int* number);
/** Reads a 36-bit card.
 * @param handle a handle of LfOpenPort().
 * @param facility receives the facility code (0-255), or NULL.
 * @param number receives the card number (0-65535), or NULL.
 * @param extra receives the third field (0-1023), or NULL.
 * @return 0 or -1. */
VELLF_API int LfReadWiegand36(int handle, int* facility, int* number, int* extra);
/** Reads a 37-bit card.
 * @param handle a handle of LfOpenPort().
 * @param facility receives the facility code (0-65535), or NULL.
 * @param number receives the card number (0-524287), or NULL.
 * @return 0 or -1. */
VELLF_API int LfReadWiegand37(int handle, int* facility, int* number);

/** Reads the raw bit stream of the transponder on the reader.
 * @param handle a handle of LfOpenPort().
 * @param coding an #LfCoding.
 * @param buffer receives the bits, packed into bytes.
 * @param size the number of bytes requested (1-255) and available in buffer.
 * @return the number of bytes copied, or -1.
 * @par Errors
 * #LF_ERROR_TIMEOUT, #LF_ERROR_BUFFER_TOO_SMALL, #LF_ERROR_INVALID_PARAMETER, reader status
 * bytes (no transponder).
 * @par Blocks
 * one wait. */
VELLF_API int LfReadRawData(int handle, int coding, unsigned char* buffer, int size);

/** Reads a chip's identification bytes.
 * @param handle a handle of LfOpenPort().
 * @param chipType an #LfChipType.
 * @param buffer receives the identification bytes (8 for the chips that have them).
 * @param size bytes available in buffer.
 * @return the number of bytes copied, or -1.
 * @par Errors
 * #LF_ERROR_TIMEOUT, #LF_ERROR_BUFFER_TOO_SMALL, reader status bytes.
 * @par Blocks
 * one wait of at least 1000 ms. */
VELLF_API int LfReadChipId(int handle, int chipType, unsigned char* buffer, int size);

/** Powers the transponder afresh, so the next read sees it just placed on the reader.
 * @param handle a handle of LfOpenPort().
 * @param chipType an #LfChipType; 6 and the T55xx family (#LF_CHIP_Q5, #LF_CHIP_ATA5577,
 *        #LF_CHIP_TL008, 13, 21) get the chip's reset command, every other value switches
 *        the field off and on.
 * @return 0 or -1. Exception to the common rule: the field switch answers 0 even when the
 *         reader did not answer it.
 * @par Errors
 * (reset command) #LF_ERROR_TIMEOUT, #LF_ERROR_CHECKSUM, reader status bytes.
 * @par Blocks
 * one wait (reset command), or two waits and 200 ms (field switch). */
VELLF_API int LfResetField(int handle, int chipType);

/** @} */

/** @name Programming transponders
 * Each function encodes the fields in one Wiegand format and writes them to the chip on the
 * reader as an FSK card, with the chip's configuration. Before writing it searches the
 * receive mode in which the chip's configuration reads plausibly, and it retries each block
 * up to six times; a timeout ends the write at once. The written card is not read back.
 * After a failure LfWriteSentBlocks() tells whether the chip may have been changed.
 * Errors: #LF_ERROR_CHIP_NOT_SUPPORTED, #LF_ERROR_BLOCK_OUT_OF_RANGE, #LF_ERROR_NOT_POSSIBLE,
 * #LF_ERROR_TIMEOUT, #LF_ERROR_CHECKSUM, reader status bytes (no chip, write refused).
 * Blocks: a few waits for the mode search, then one wait per block and attempt (the SIC7888
 * login waits at least 2000 ms). */
/** @{ */

/** Writes a 26-bit card.
 * @param handle a handle of LfOpenPort().
 * @param chipType an #LfChipType.
 * @param facility facility code (0-255).
 * @param number card number (0-65535).
 * @param flags #LfWriteFlag bits; #LF_WRITE_LOCK locks the chip.
 * @return 0 or -1. */
VELLF_API int LfWriteWiegand26(int handle, int chipType, int facility, int number, int flags);
/** Writes a 34-bit card.
 * @param handle a handle of LfOpenPort().
 * @param chipType an #LfChipType.
 * @param facility facility code (0-65535).
 * @param number card number (0-65535).
 * @param flags #LfWriteFlag bits.
 * @return 0 or -1. */
VELLF_API int LfWriteWiegand34(int handle, int chipType, int facility, int number, int flags);
/** Writes a 34-bit "NC" card (one parity bit over both halves).
 * @param handle a handle of LfOpenPort().
 * @param chipType an #LfChipType.
 * @param facility facility code (0-65535).
 * @param number card number (0-65535).
 * @param flags #LfWriteFlag bits.
 * @return 0 or -1. */
VELLF_API int LfWriteWiegand34NC(int handle, int chipType, int facility, int number, int flags);
/** Writes a 35-bit corporate card.
 * @param handle a handle of LfOpenPort().
 * @param chipType an #LfChipType.
 * @param company company code (0-4095).
 * @param number card number (0-1048575).
 * @param flags #LfWriteFlag bits.
 * @return 0 or -1. */
VELLF_API int LfWriteWiegand35(int handle, int chipType, int company, int number, int flags);
/** Writes a 36-bit card.
 * @param handle a handle of LfOpenPort().
 * @param chipType an #LfChipType.
 * @param facility facility code (0-255).
 * @param number card number (0-65535).
 * @param extra third field (0-1023).
 * @param flags #LfWriteFlag bits.
 * @return 0 or -1. */
VELLF_API int LfWriteWiegand36(int handle, int chipType, int facility, int number, int extra,
                               int flags);
/** Writes a 37-bit card.
 * @param handle a handle of LfOpenPort().
 * @param chipType an #LfChipType.
 * @param facility facility code (0-65535).
 * @param number card number (0-524287).
 * @param flags #LfWriteFlag bits.
 * @return 0 or -1. */
VELLF_API int LfWriteWiegand37(int handle, int chipType, int facility, int number, int flags);

/** Whether the handle's last card write (LfWriteWiegand26() to LfWriteWiegand37()) sent a
 * block write command to the chip. A write that failed with this 0 was refused before its
 * first block command (no receive mode found, a chip type that is not supported, a
 * SIC7888 login refused) and left the chip as it was. Once a block command went out the
 * chip may carry part or all of the new card, whichever block failed and whatever the
 * reader answered: the data blocks are written before the configuration.
 * @param handle a handle of LfOpenPort().
 * @return Exception to the common rule: 1 when a block command went out, 0 when none did
 *         (or no card write ran on the handle yet), -1 for an unknown handle; stores nothing.
 * @par Blocks
 * never.
 */
VELLF_API int LfWriteSentBlocks(int handle);

/** @} */

/** @name Serial and USB readers
 * These functions need no handle and store no error. */
/** @{ */

/** Lists the serial ports as a text list (see @ref vellf_lists).
 * @param buffer receives the list.
 * @param size bytes available in buffer.
 * @return Exception to the common rule: the bytes used, or 0.
 * @par Blocks
 * a directory scan (milliseconds). */
VELLF_API int LfListComPorts(char* buffer, int size);

/** Lists the plugged-in USB readers as a text list of names LfOpenPort() accepts.
 * @param buffer receives the list.
 * @param size bytes available in buffer.
 * @return Exception to the common rule: the bytes used, or 0.
 * @par Blocks
 * a scan of the USB devices (milliseconds). */
VELLF_API int LfListUsbReaders(char* buffer, int size);

/** Which plugged-in readers no driver serves.
 * @return Exception to the common rule: #LfUsbDeviceFlag bits, 0 when all are served.
 * @par Blocks
 * a scan of the USB devices (milliseconds). */
VELLF_API int LfGetUsbDeviceFlags(void);

/** Whether the virtual COM (CDC-ACM) driver is available.
 * @return Exception to the common rule: 1 if it is, 0 if not.
 * @par Blocks
 * a few file reads. */
VELLF_API int LfIsUsbDriverInstalled(void);

/** @} */

/** @name Network readers
 * These functions need no handle and store no error. They send datagrams on every network
 * adapter; each waits for replies in windows of 500 ms. The busy hook runs around them. */
/** @{ */

/** Searches the network readers: a text list with one entry per reader that answers.
 * @param buffer receives the list.
 * @param size bytes available in buffer.
 * @return Exception to the common rule: the bytes used, or 0.
 * @par Blocks
 * 500 ms per network adapter. */
VELLF_API int LfFindLanReaders(char* buffer, int size);

/** As LfFindLanReaders(), but lists every answering network module, reader or not.
 * @param buffer receives the list.
 * @param size bytes available in buffer.
 * @return Exception to the common rule: the bytes used, or 0.
 * @par Blocks
 * 500 ms per network adapter. */
VELLF_API int LfFindLanDevices(char* buffer, int size);

/** Whether a network reader answers its configuration request.
 * @param address the reader's address ("192.168.0.10" or "[name]").
 * @return Exception to the common rule: 1 if it answers, 0 if not.
 * @par Blocks
 * 500 ms per network adapter for a silent address. */
VELLF_API int LfPingLanReader(const char* address);

/** Reads the network settings of a network reader.
 * @param address the reader's address.
 * @param nameOut receives "[name]-port", or NULL; #LF_LAN_TEXT_SIZE bytes.
 * @param addressOut receives "address-port" ("" for a module on DHCP), or NULL;
 *        #LF_LAN_TEXT_SIZE bytes.
 * @param maskOut receives the subnet mask, or NULL; #LF_LAN_TEXT_SIZE bytes.
 * @param gatewayOut receives the gateway, or NULL; #LF_LAN_TEXT_SIZE bytes.
 * @return Exception to the common rule: 0, -1, or a negative #LfOpenResult when the
 *         configuration connection could not be opened.
 * @par Blocks
 * one or more 500 ms windows. */
VELLF_API int LfGetLanConfig(const char* address, char* nameOut, char* addressOut,
                             char* maskOut, char* gatewayOut);

/** Changes the network settings of a network reader.
 * @param address the reader's current address.
 * @param newAddress the new address ("address", optionally "-port" or "[name]").
 * @param mask the new subnet mask, or "" to keep it.
 * @param gateway the new gateway, or "" for none.
 * @return Exception to the common rule: 0, -1, or a negative #LfOpenResult when a
 *         configuration connection could not be opened.
 * @par Blocks
 * several seconds: after an address change it waits up to 5 s for the module to answer at
 * its new address, then retries the settings up to six times 500 ms apart. */
VELLF_API int LfSetLanConfig(const char* address, const char* newAddress, const char* mask,
                             const char* gateway);

/** @} */

/** @name Wait hooks */
/** @{ */

/** Called between sleeps of at most 10 ms while a call waits, so a user interface keeps
 * painting and its timers keep firing.
 * @param context the context given to LfSetWaitHooks(). */
typedef void (*LfPumpFn)(void* context);

/** Called with busy 1 before a wait and 0 after it, unless the port is in background mode.
 * @param context the context given to LfSetWaitHooks().
 * @param busy 1 when a wait starts, 0 when it ends. */
typedef void (*LfBusyFn)(void* context, int busy);

/** Installs the process-wide wait hooks (see @ref vellf_waits); without hooks a wait just
 * sleeps.
 * @param pump the pump hook, or NULL.
 * @param busy the busy hook, or NULL.
 * @param context passed to both hooks; it must stay valid until every call that may be
 *        waiting has returned, even after other hooks were installed.
 * @par Threads
 * the hooks run on the thread that waits, which may be any thread that calls the SDK. */
VELLF_API void LfSetWaitHooks(LfPumpFn pump, LfBusyFn busy, void* context);

/** @} */

#ifdef __cplusplus
}
#endif

#endif /* VELLF_H */
