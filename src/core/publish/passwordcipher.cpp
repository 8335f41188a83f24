#include "publish/passwordcipher.h"

#include <QByteArray>
#include <QRandomGenerator>

#include <cryptopp/aes.h>
#include <cryptopp/modes.h>

namespace {
constexpr int BLOCK = CryptoPP::AES::BLOCKSIZE;

const unsigned char PROGRAM_KEY[CryptoPP::AES::DEFAULT_KEYLENGTH] = {
    0xe2, 0xf4, 0x2a, 0x33, 0x21, 0xbd, 0x55, 0x09, 0xa3, 0x71, 0xe5, 0x48, 0x36, 0x4c, 0xd6, 0x92};

// Both ends are 0xff, a byte that neither UTF-8 text nor the fill bytes
// (0..254) ever hold, so the marker cannot be mistaken for either.
const char KEY_SIGN[] = "\xffTLks\xff";
const QByteArray keysign = QByteArray::fromRawData(KEY_SIGN, sizeof(KEY_SIGN) - 1);

template<typename Mode> QByteArray process(const QByteArray& data)
{
    QByteArray result(data.size(), Qt::Uninitialized);
    Mode mode(PROGRAM_KEY, sizeof(PROGRAM_KEY));
    mode.ProcessData(reinterpret_cast<unsigned char*>(result.data()),
                     reinterpret_cast<const unsigned char*>(data.constData()),
                     static_cast<size_t>(data.size()));
    return result;
}
} // namespace

QString encrypt(const QString& password)
{
    QByteArray plain = password.toUtf8() + keysign;
    // A full block of fill when the text already ends on a block boundary.
    const int fill = BLOCK - plain.size() % BLOCK;
    for (int i = 0; i < fill; ++i)
        plain.append(static_cast<char>(QRandomGenerator::global()->bounded(255)));
    return QString::fromLatin1(
        process<CryptoPP::ECB_Mode<CryptoPP::AES>::Encryption>(plain).toBase64());
}

QString decrypt(const QString& text)
{
    const QByteArray cipher = QByteArray::fromBase64(text.toLatin1());
    if (cipher.size() % BLOCK != 0)
        return QString();
    const QByteArray plain = process<CryptoPP::ECB_Mode<CryptoPP::AES>::Decryption>(cipher);
    const int marker = plain.lastIndexOf(keysign);
    if (marker <= 0 || plain.size() - marker - keysign.size() > BLOCK)
        return QString();
    QByteArray password = plain.left(marker);
    const int zero = password.indexOf('\0');
    if (zero >= 0)
        password.truncate(zero);
    return QString::fromUtf8(password);
}
