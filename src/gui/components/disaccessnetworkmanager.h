#pragma once

#include <QNetworkAccessManager>

// Serves only local files. Every other request (http, ftp, ...) is answered by
// a request that fails, so a page shown through this manager never reaches
// the network.
class DisAccessNetworkManager : public QNetworkAccessManager
{
    Q_OBJECT
public:
    explicit DisAccessNetworkManager(QObject* parent = nullptr);

protected:
    QNetworkReply* createRequest(Operation operation, const QNetworkRequest& request,
                                 QIODevice* outgoingData = nullptr) override;
};
