#include "components/previewpage.h"

#include <QNetworkRequest>
#include <QWebFrame>

PreviewPage::PreviewPage(QObject* parent)
    : QWebPage(parent)
{ }

void PreviewPage::loadDocument(const QUrl& url)
{
    m_expected = url;
    mainFrame()->load(url);
}

bool PreviewPage::acceptNavigationRequest(QWebFrame* frame, const QNetworkRequest& request,
                                          NavigationType type)
{
    Q_UNUSED(type)
    // Frames inside the page may load what they like (through the page's
    // network manager); only the main document is guarded.
    if (frame != mainFrame())
        return true;
    if (m_expected.isEmpty() || request.url() != m_expected)
        return false;
    m_expected.clear();
    return true;
}
