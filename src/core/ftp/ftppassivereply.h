#pragma once

#include <QString>

// The data port a server names in its answer to PASV or EPSV; 0 when the
// text names none or an impossible one.
namespace FtpPassiveReply {
// 227: "Entering Passive Mode (h1,h2,h3,h4,p1,p2)", port = p1 * 256 + p2.
// The address h1..h4 is not returned: the data connection always goes to the
// command connection's peer (a server must not steer it elsewhere).
int passivePort(const QString& text);
// 229: "Entering Extended Passive Mode (|||port|)", any delimiter.
int extendedPassivePort(const QString& text);
} // namespace FtpPassiveReply
