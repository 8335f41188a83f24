#include "publish/passwordcipher.h"

#include <QTest>

// Enciphered FTP passwords: length of the stored text, round trips, the
// texts that must not decipher, and stability of the stored format.
class TestPasswordCipher : public QObject
{
    Q_OBJECT
private slots:
    void storedLength_data();
    void storedLength();
    void roundTrip_data();
    void roundTrip();
    void fillIsRandom();
    void rejects_data();
    void rejects();
    void readsPasswordsStoredEarlier();
};

namespace {
QByteArray cipherBytes(const QString& text)
{
    return QByteArray::fromBase64(text.toLatin1());
}

QString base64(const QByteArray& bytes)
{
    return QString::fromLatin1(bytes.toBase64());
}
} // namespace

void TestPasswordCipher::storedLength_data()
{
    QTest::addColumn<QString>("password");
    QTest::addColumn<int>("characters");

    // UTF-8 bytes + 6 marker bytes + 1..16 fill bytes, in Base64.
    QTest::newRow("3 bytes: one block") << "abc" << 24;
    QTest::newRow("10 bytes: a whole block of fill") << "0123456789" << 44;
    QTest::newRow("empty") << "" << 24;
    QTest::newRow("11 bytes") << "0123456789a" << 44;
    QTest::newRow("5 UTF-8 bytes") << QString::fromUtf8("\xc3\xa9t\xc3\xa9") << 24;
}

void TestPasswordCipher::storedLength()
{
    QFETCH(QString, password);
    QFETCH(int, characters);

    const QString stored = encrypt(password);
    QCOMPARE(stored.size(), characters);
    QCOMPARE(cipherBytes(stored).size() % 16, 0);
}

void TestPasswordCipher::roundTrip_data()
{
    QTest::addColumn<QString>("password");

    QTest::newRow("empty") << "";
    QTest::newRow("ASCII") << "s3cret pass";
    QTest::newRow("UTF-8") << QString::fromUtf8(
        "P\xc3\xa4ssw\xc3\xb6rt \xe2\x82\xac \xf0\x9f\x94\x91");
    QTest::newRow("exactly one block with the marker") << "0123456789";
    QTest::newRow("long") << QString(100, QLatin1Char('x'));
    QTest::newRow("surrounding spaces kept") << "            ";
}

void TestPasswordCipher::roundTrip()
{
    QFETCH(QString, password);
    QCOMPARE(decrypt(encrypt(password)), password);
}

void TestPasswordCipher::fillIsRandom()
{
    // Equal passwords must not give equal stored texts.
    QVERIFY(encrypt(QStringLiteral("secret")) != encrypt(QStringLiteral("secret")));
}

void TestPasswordCipher::rejects_data()
{
    QTest::addColumn<QString>("text");

    // ECB enciphers blocks independently, so blocks of real enciphered texts
    // can be cut and rearranged into the damaged cases.
    const QByteArray tenBytes = cipherBytes(encrypt(QStringLiteral("0123456789")));
    const QByteArray passwordBlock = tenBytes.left(16); // password + marker
    const QByteArray fillBlock = tenBytes.mid(16); // 16 fill bytes

    QTest::newRow("not a multiple of 16") << base64(tenBytes.left(20));
    QTest::newRow("one byte too many") << base64(tenBytes + 'x');
    QTest::newRow("no marker: fill only") << base64(fillBlock);
    QTest::newRow("no marker: not ours") << base64(QByteArray(32, 'k'));
    QTest::newRow("more than 16 bytes after the marker")
        << base64(passwordBlock + fillBlock + fillBlock);
    QTest::newRow("empty text") << "";
    QTest::newRow("clear text") << "password";
}

void TestPasswordCipher::rejects()
{
    QFETCH(QString, text);
    QCOMPARE(decrypt(text), QString());
}

void TestPasswordCipher::readsPasswordsStoredEarlier()
{
    // Made by this program when its key and marker were fixed. The program
    // key and marker must never change, or users lose their stored passwords.
    QCOMPARE(decrypt(QStringLiteral("uQ6sSitaVCxzNz+ore5RpVfDFnGVfYdyh53peflcgWw=")),
             QStringLiteral("0123456789"));
    QCOMPARE(decrypt(QStringLiteral("l/7zpQxVI1jYcKgxxowU/A7Qv0oBYcUGhhgPXfeB9Ho=")),
             QString::fromUtf8("P\xc3\xa4ssw\xc3\xb6rt"));
    // The same password without a fill block still reads (exactly 16 bytes).
    const QByteArray stored =
        cipherBytes(QStringLiteral("uQ6sSitaVCxzNz+ore5RpVfDFnGVfYdyh53peflcgWw="));
    QCOMPARE(decrypt(base64(stored.left(16))), QStringLiteral("0123456789"));
}

QTEST_GUILESS_MAIN(TestPasswordCipher)
#include "tst_passwordcipher.moc"
