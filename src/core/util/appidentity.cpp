#include "util/appidentity.h"

#include <QCoreApplication>

namespace AppIdentity {
const char* const APPLICATION_NAME = "TovaLumen";
const char* const ORGANIZATION_NAME = "TovaLabs";
const char* const APPLICATION_VERSION = "4.0";

void apply()
{
    QCoreApplication::setApplicationName(QString::fromLatin1(APPLICATION_NAME));
    QCoreApplication::setOrganizationName(QString::fromLatin1(ORGANIZATION_NAME));
    QCoreApplication::setOrganizationDomain(QString::fromLatin1(ORGANIZATION_NAME).toLower());
    QCoreApplication::setApplicationVersion(QString::fromLatin1(APPLICATION_VERSION));
}
} // namespace AppIdentity
