#include "components/disaccessnetworkmanager.h"

#include <QDebug>
#include <QNetworkRequest>

DisAccessNetworkManager::DisAccessNetworkManager(QObject* parent)
    : QNetworkAccessManager(parent)
{ }

QNetworkReply* DisAccessNetworkManager::createRequest(Operation operation,
                                                      const QNetworkRequest& request,
                                                      QIODevice* outgoingData)
{
    const QUrl url = request.url();
    if (!url.toLocalFile().isEmpty())
        return QNetworkAccessManager::createRequest(operation, request, outgoingData);
    qDebug().noquote() << "skipping" << QStringLiteral("\"%1\"").arg(url.toString())
                       << QStringLiteral("\"%1\"").arg(url.scheme());
    return QNetworkAccessManager::createRequest(GetOperation, QNetworkRequest(QUrl()));
}
