// Whether this user may open a reader's device node: a serial line (/dev/...) or the hidraw
// node of a USB reader in HID mode, named as the reader list names it ("SERIAL HID").
// Anything else (network readers, D2XX serial numbers) and readers whose node cannot be
// found count as openable: there is nothing to tell the user.
#pragma once

#include <QString>

bool CanOpenDevice(const QString& name);
