#pragma once

#include <QString>

// FTP passwords are kept enciphered wherever they are stored: in the settings
// and in the publish parameters. The program key and the marker are part of
// the stored format: changing either makes every stored password unreadable.

// The password in UTF-8, the marker and 1 to 16 random fill bytes (up to the
// next multiple of 16), AES-128 in ECB mode under the program key, in Base64.
QString encrypt(const QString& password);

// The password of an enciphered text; an empty string when the text does not
// decipher (not Base64 of whole blocks, no marker where one belongs).
QString decrypt(const QString& text);
