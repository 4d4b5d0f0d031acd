/* A stand-in for FTDI's D2XX library, built for the tests: it offers the library's functions
 * on a list of simulated devices and hands the bytes the SDK writes to a wire callback, which
 * usually feeds them to a virtual reader and queues its reply with FakeFtd2xxFeed.
 *
 * The control functions are looked up with dlsym on the same library the SDK loads, so that
 * both talk to one device list. */
#ifndef FAKE_FTD2XX_H
#define FAKE_FTD2XX_H

#ifdef __cplusplus
extern "C" {
#endif

/* Bytes written to a device; baud is the rate its line state was set to. */
typedef void (*FakeFtd2xxWire)(void* context, int device, const unsigned char* data, unsigned size,
                               unsigned baud);

/* Replaces the device list (all closed, queues empty); "" is a device without a serial
 * number. */
typedef void (*FakeFtd2xxSetDevices_t)(const char* const* serialNumbers, int count);
typedef void (*FakeFtd2xxSetWire_t)(FakeFtd2xxWire wire, void* context);
/* Queues bytes that the device received from the reader. */
typedef void (*FakeFtd2xxFeed_t)(int device, const unsigned char* data, unsigned size);
/* Makes the device vanish: its queue status and modem status fail from now on. */
typedef void (*FakeFtd2xxUnplug_t)(int device);
/* on = 1: the device takes no bytes; a write returns with nothing written once its write
 * timeout has passed, and waits until the stall ends when it has none. */
typedef void (*FakeFtd2xxStall_t)(int device, int on);
typedef int (*FakeFtd2xxIsOpen_t)(int device);
/* The latency timer last set on the device, -1 when none was set since the list was made. */
typedef int (*FakeFtd2xxLatency_t)(int device);
/* "baud=%u parity=%u data=%u stop=%u rts=%u dtr=%u" of the line state last set. */
typedef void (*FakeFtd2xxLineState_t)(int device, char* text, int size);
/* Calls of functions that the SDK has no use for (they must stay 0). */
typedef int (*FakeFtd2xxUnexpectedCalls_t)(void);

#ifdef __cplusplus
}
#endif

#endif /* FAKE_FTD2XX_H */
