#include "publish/passwordcipher.h"

#include <cstddef>
#include <cstdint>

// Stored passwords come from the settings file, which anyone may edit: any
// text must decipher to something or nothing without harm, and whatever it
// deciphers to must survive a round trip.
extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size)
{
    const QString text =
        QString::fromLatin1(reinterpret_cast<const char*>(data), static_cast<int>(size));
    const QString password = decrypt(text);
    if (decrypt(encrypt(password)) != password)
        __builtin_trap();
    return 0;
}
