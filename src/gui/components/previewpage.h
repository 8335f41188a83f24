#pragma once

#include <QUrl>
#include <QWebPage>

// The page in the wizard's preview. Its main frame shows only the documents
// the wizard loads into it: a form submitted by a click in the preview or a
// refresh that the page asks for would replace the document whose elements the
// wizard has mapped to the page text, so such navigation is refused.
class PreviewPage : public QWebPage
{
    Q_OBJECT
public:
    explicit PreviewPage(QObject* parent = nullptr);

    void loadDocument(const QUrl& url);

protected:
    bool acceptNavigationRequest(QWebFrame* frame, const QNetworkRequest& request,
                                 NavigationType type) override;

private:
    QUrl m_expected;
};
