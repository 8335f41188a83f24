// The text rules of the page insertion wizard, on small pieces of HTML.
#include "components/pagetext.h"

#include <QTest>

using PageText::Range;

namespace {
const QString JQUERY = QStringLiteral("jquery((-|\\.)[^t]*)?\\.js");

QString cut(const QString& text, Range range)
{
    return range.isValid() ? text.mid(range.start, range.length()) : QStringLiteral("<none>");
}
} // namespace

class TestPageText : public QObject
{
    Q_OBJECT
private slots:
    void maskHidesWhatIsNotMarkup_data();
    void maskHidesWhatIsNotMarkup();
    void elementTags_data();
    void elementTags();
    void commentsAroundARange_data();
    void commentsAroundARange();
    void headReferences_data();
    void headReferences();
    void oneScriptInclusion_data();
    void oneScriptInclusion();
    void charsets_data();
    void charsets();
};

void TestPageText::maskHidesWhatIsNotMarkup_data()
{
    QTest::addColumn<QString>("text");
    QTest::addColumn<QString>("visibleTags");
    QTest::newRow("comment with a tag") << "<p>a<!-- <b>x</b> --></p>"
                                        << "<p></p>";
    QTest::newRow("empty comments") << "<!--><i><!---><b>"
                                    << "<i><b>";
    QTest::newRow("script code") << "<script>if (a<b && c>d) x('<p>');</script><hr>"
                                 << "<script></script><hr>";
    QTest::newRow("style and title") << "<TITLE>a <b></TITLE><style>p>b{}</style ><u>"
                                     << "<TITLE></TITLE><style></style ><u>";
    QTest::newRow("script self-closed in HTML runs on") << "<script src=x /><b></script><i>"
                                                        << "<script src=x /></script><i>";
    QTest::newRow("doctype and processing instruction") << "<!DOCTYPE html><?php x ?><p>"
                                                        << "<p>";
    QTest::newRow("unterminated comment") << "<p><!-- <b>"
                                          << "<p>";
    QTest::newRow("scriptish names are elements") << "<scripts><b></scripts>"
                                                  << "<scripts><b></scripts>";
}

void TestPageText::maskHidesWhatIsNotMarkup()
{
    QFETCH(QString, text);
    QFETCH(QString, visibleTags);
    const QString masked = PageText::maskNonMarkup(text);
    QCOMPARE(masked.size(), text.size());
    QString tags;
    for (Range tag = PageText::findNextTag(masked, 0); tag.isValid();
         tag = PageText::findNextTag(masked, tag.end)) {
        QCOMPARE(masked.mid(tag.start, tag.length()), text.mid(tag.start, tag.length()));
        tags += masked.mid(tag.start, tag.length());
    }
    QCOMPARE(tags, visibleTags);
}

void TestPageText::elementTags_data()
{
    QTest::addColumn<QString>("text");
    QTest::addColumn<QString>("tagName");
    QTest::addColumn<QString>("found");
    QTest::newRow("not a longer name") << "<pre>x</pre><param><p class=a>"
                                       << "P"
                                       << "<p class=a>";
    QTest::newRow("any letter case") << "<B>x</B>"
                                     << "b"
                                     << "<B>";
    QTest::newRow("a stray closing tag makes an element") << "<div>x</p>"
                                                          << "P"
                                                          << "</p>";
    QTest::newRow("self-closing") << "<br/>"
                                  << "BR"
                                  << "<br/>";
    QTest::newRow("none") << "<div></div>"
                          << "SPAN"
                          << "<none>";
}

void TestPageText::elementTags()
{
    QFETCH(QString, text);
    QFETCH(QString, tagName);
    QFETCH(QString, found);
    QCOMPARE(cut(text, PageText::findElementTag(text, tagName, 0)), found);
}

void TestPageText::commentsAroundARange_data()
{
    QTest::addColumn<QString>("text");
    QTest::addColumn<QString>("widened");
    // The range is the div in each text.
    QTest::newRow("comments on both sides")
        << "<p>x</p><!-- start -->\r\n<div>v</div>\r\n<!-- end --><p>y</p>"
        << "<!-- start -->\r\n<div>v</div>\r\n<!-- end -->";
    QTest::newRow("a comment holding > is not one tag")
        << "<!-- a > b --><div>v</div><!-- c > d -->"
        << "<div>v</div>";
    QTest::newRow("text between keeps the user's words")
        << "<!-- note -->Hello <div>v</div> world<!-- note -->"
        << "<div>v</div>";
    QTest::newRow("no comments") << "<p>x</p><div>v</div><p>y</p>"
                                 << "<div>v</div>";
}

void TestPageText::commentsAroundARange()
{
    QFETCH(QString, text);
    QFETCH(QString, widened);
    const int start = text.indexOf(QStringLiteral("<div>"));
    const int end = text.indexOf(QStringLiteral("</div>")) + 6;
    QCOMPARE(cut(text, PageText::widenOverComments(text, {start, end})), widened);
}

void TestPageText::headReferences_data()
{
    QTest::addColumn<QString>("text");
    QTest::addColumn<QStringList>("patterns");
    QTest::addColumn<QString>("removed");
    const QStringList gallery {QStringLiteral("page.files/tlgallery2(?![0-9])")};
    QTest::newRow("a run with its comments")
        << "<head><title>t</title>\n<!-- gallery -->\n"
           "<link href=\"page.files/tlgallery2/g.css\" rel=\"stylesheet\">\n"
           "<style>@import \"page.files/tlgallery2/more.css\";</style>\n"
           "<script src=\"page.files/tlgallery2/jquery.js\"></script>\n<!-- /gallery -->\n"
           "<script src=\"page.files/tlgallery3/jquery.js\"></script>\n</head><body></body>"
        << gallery
        << "<!-- gallery -->\n<link href=\"page.files/tlgallery2/g.css\" rel=\"stylesheet\">\n"
           "<style>@import \"page.files/tlgallery2/more.css\";</style>\n"
           "<script src=\"page.files/tlgallery2/jquery.js\"></script>\n<!-- /gallery -->";
    QTest::newRow("the next instance's files stay")
        << "<head><script src=\"page.files/tlgallery20/a.js\"></script>"
           "<script src=\"page.files/tlgallery2/a.js\"></script></head>"
        << gallery << "<script src=\"page.files/tlgallery2/a.js\"></script>";
    QTest::newRow("only in the body") << "<head><title>t</title></head>"
                                         "<body><img src=\"page.files/tlgallery2/a.png\"></body>"
                                      << gallery << "<none>";
    QTest::newRow("no end of head")
        << "<script src=\"page.files/tlgallery2/a.js\"></script>" << gallery << "<none>";
    QTest::newRow("first pattern that is found")
        << "<head><script src=\"b.js\"></script><script src=\"a.js\"></script></head>"
        << QStringList {QStringLiteral("a\\.js"), QStringLiteral("b\\.js")}
        << "<script src=\"a.js\"></script>";
}

void TestPageText::headReferences()
{
    QFETCH(QString, text);
    QFETCH(QStringList, patterns);
    QFETCH(QString, removed);
    QCOMPARE(cut(text, PageText::headReferences(text, patterns)), removed);
}

void TestPageText::oneScriptInclusion_data()
{
    QTest::addColumn<QString>("text");
    QTest::addColumn<QString>("expected");
    QTest::newRow("a second build is commented out")
        << "<head><script src=\"a/jquery-1.8.min.js\"></script>\n"
           "<script type=\"text/javascript\" src=\"b/jquery.js\"></script></head>"
        << "<head><script src=\"a/jquery-1.8.min.js\"></script>\n"
           "<!--script type=\"text/javascript\" src=\"b/jquery.js\"></script--></head>";
    QTest::newRow("the first commented one comes back")
        << "<head><!--script src=\"b/jquery.js\"></script-->\n"
           "<!--script src=\"c/jquery.js\"></script--></head>"
        << "<head><script src=\"b/jquery.js\"></script>\n"
           "<!--script src=\"c/jquery.js\"></script--></head>";
    QTest::newRow("inline code is left alone")
        << "<head><script>load('jquery.js')</script><script>load('jquery.js')</script></head>"
        << "<head><script>load('jquery.js')</script><script>load('jquery.js')</script></head>";
    QTest::newRow("inclusions in the body are left alone")
        << "<head><script src=\"jquery.js\"></script></head>"
           "<body><script src=\"jquery.js\"></script></body>"
        << "<head><script src=\"jquery.js\"></script></head>"
           "<body><script src=\"jquery.js\"></script></body>";
    QTest::newRow("without an end of head nothing changes")
        << "<script src=\"jquery.js\"></script><script src=\"jquery.js\"></script>"
        << "<script src=\"jquery.js\"></script><script src=\"jquery.js\"></script>";
    QTest::newRow("each library keeps its first")
        << "<HEAD><SCRIPT SRC=\"prototype.js\"></SCRIPT><script src=\"jquery.js\"></script>"
           "<script src=\"x/prototype.js\"></script></HEAD>"
        << "<HEAD><SCRIPT SRC=\"prototype.js\"></SCRIPT><script src=\"jquery.js\"></script>"
           "<!--script src=\"x/prototype.js\"></script--></HEAD>";
}

void TestPageText::oneScriptInclusion()
{
    QFETCH(QString, text);
    QFETCH(QString, expected);
    PageText::keepOneScriptInclusion(
        text, {JQUERY, QStringLiteral("prototype\\.js"), QStringLiteral("mootools\\.js")});
    QCOMPARE(text, expected);
}

void TestPageText::charsets_data()
{
    QTest::addColumn<QString>("content");
    QTest::addColumn<QByteArray>("bytes");
    QTest::addColumn<QString>("charset");
    QTest::newRow("named") << "text/html; charset=windows-1251" << QByteArray("\xcf\xf0\xe8")
                           << "windows-1251";
    QTest::newRow("spaces and quotes")
        << "text/html; CHARSET ='koi8-r';" << QByteArray("a") << "koi8-r";
    QTest::newRow("none, valid UTF-8") << "text/html" << QByteArray("caf\xc3\xa9") << "UTF-8";
    QTest::newRow("unknown, valid UTF-8")
        << "text/html; charset=x-no-such-codec" << QByteArray("caf\xc3\xa9") << "UTF-8";
    QTest::newRow("none, not UTF-8") << "text/html" << QByteArray("caf\xe9") << "ISO-8859-1";
}

void TestPageText::charsets()
{
    QFETCH(QString, content);
    QFETCH(QByteArray, bytes);
    QFETCH(QString, charset);
    const QString chosen = PageText::effectiveCharset(PageText::charsetFromContent(content), bytes);
    QCOMPARE(chosen, charset);
    QCOMPARE(PageText::encode(PageText::decode(bytes, chosen), chosen), bytes);
}

QTEST_MAIN(TestPageText)
#include "tst_pagetext.moc"
