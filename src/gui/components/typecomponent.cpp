#include "components/typecomponent.h"

#include <QWebElement>

namespace {
// The mock-up shown in the preview in place of an instance: a box with a dashed
// red border, a half-transparent grey cover and the component's label with the
// instance number. "%1" (width of the box), "%2" and "%3" (size of its images)
// are left for the block's own style sheet.
QString mockupTemplate(const QString& title, const QString& cssId, const QString& label)
{
    const QString indent(8, QLatin1Char(' '));
    const QString deeper(16, QLatin1Char(' '));
    const QString selector = QLatin1Char('#') + cssId + QStringLiteral("$SUFFIX$");
    const QStringList lines {
        QStringLiteral("<!-- ") + title + QStringLiteral(" -->"),
        QStringLiteral("<style>"),
        indent + selector + QStringLiteral(" {"),
        deeper + QStringLiteral("width: %1px;"),
        deeper + QStringLiteral("padding:0;"),
        deeper + QStringLiteral("font-size:0;"),
        indent + QStringLiteral("}"),
        indent + selector + QStringLiteral(" img{"),
        deeper + QStringLiteral("padding:0;"),
        deeper + QStringLiteral("width:%2px;"),
        deeper + QStringLiteral("height:%3px;"),
        deeper + QStringLiteral("margin:10px;"),
        indent + QStringLiteral("}"),
        QStringLiteral("</style>"),
        QStringLiteral("<div id=\"") + cssId +
            QStringLiteral("$SUFFIX$\" style=\"position:relative;border:dashed 3px red\">"),
        QStringLiteral("<div style=\"position:absolute;left:0;top:0;width:100%;height:100%;"
                       "background-color:gray;z-index:2;opacity:0.5;\"></div>"),
        QStringLiteral("<div style=\"display:table-cell;z-index:1;vertical-align:middle;"
                       "position:relative;top:40%;width:100%;text-align:center;font:normal 30px "
                       "Arial;text-shadow:#000 2px 2px 2px;color:white;\">"),
        indent + label + QStringLiteral(" [$SUFFIX$]"),
        QStringLiteral("</div>"),
        QStringLiteral("</div>"),
        QStringLiteral("<!-- ") + title + QStringLiteral(" -->"),
    };
    return lines.join(QLatin1Char('\n')) + QLatin1Char('\n');
}

typeComponent component(const QString& name, const QString& tag, const QString& idPrefix,
                        const QString& className, const QStringList& filePatterns,
                        const QString& maket)
{
    typeComponent row;
    row.name = name;
    row.tag = tag;
    row.idPrefix = idPrefix;
    row.className = className;
    row.filePatterns = filePatterns;
    row.maket = maket;
    return row;
}
} // namespace

bool typeComponent::containsElement(const QWebElement& element) const
{
    for (const additionalTag& extra : additionalTags) {
        if (extra.tag.compare(element.tagName(), Qt::CaseInsensitive) != 0)
            continue;
        return extra.attribute.isEmpty() || element.attribute(extra.attribute) == extra.value;
    }
    return false;
}

QString typeComponent::getStrMaxId() const
{
    return maxId < 0 ? QString() : QString::number(maxId + 1);
}

// Besides this program's own video block (TovaLumen; TovaLumenOld is the same
// block, reachable only by its name), the table knows the blocks of other
// page-authoring tools. Rows with an id prefix keep per-instance files named
// with the instance number; the lookahead after "$SUFFIX$" keeps instance 1
// from taking the files of instance 10. Every instance brings its own run of
// head references, so deleting one instance removes only its own run.
void initComponents(QList<typeComponent>& components)
{
    components.clear();
    const QString videoBlock =
        mockupTemplate(QStringLiteral("TovaLumen Sample Gallery"),
                       QStringLiteral("vudi5dozur_example"), QStringLiteral("TovaLumen"));
    const QString div = QStringLiteral("div");
    components
        << component(QStringLiteral("Gallery"), div, QStringLiteral("tlgallery"), QString(),
                     {QStringLiteral("$PAGE$.files/tlgallery$SUFFIX$(?![0-9])")},
                     mockupTemplate(QStringLiteral("Gallery"), QStringLiteral("tlgallery_example"),
                                    QStringLiteral("Gallery")))
        << component(QStringLiteral("Slideshow"), div, QString(), QStringLiteral("tlslideshow"),
                     {QStringLiteral("$PAGE$.files/tlslideshow(?![0-9])")},
                     mockupTemplate(QStringLiteral("Slideshow"),
                                    QStringLiteral("tlslideshow_example"),
                                    QStringLiteral("Slideshow")))
        << component(QStringLiteral("Menu"), QStringLiteral("ul"), QStringLiteral("tlmenu"),
                     QString(), {QStringLiteral("tlmenu$SUFFIX$\\.css")},
                     mockupTemplate(QStringLiteral("Menu"), QStringLiteral("tlmenu_example"),
                                    QStringLiteral("Menu")))
        << component(QStringLiteral("TovaLumen"), div, QString(), QStringLiteral("tovalumen"),
                     {QStringLiteral("$PAGE$.files/.*htm")}, videoBlock)
        << component(QStringLiteral("TovaLumenOld"), div, QString(), QStringLiteral("tovalumen"),
                     {QStringLiteral("$PAGE$.files/.*htm")}, videoBlock)
        << component(QStringLiteral("Slider"), div, QStringLiteral("tlslider"), QString(),
                     {QStringLiteral("$PAGE$.files/tlslider$SUFFIX$(?![0-9])"),
                      QStringLiteral("tlslider\\.js")},
                     mockupTemplate(QStringLiteral("Slider"), QStringLiteral("tlslider_example"),
                                    QStringLiteral("Slider")))
        << component(QStringLiteral("Carousel"), div, QString(), QStringLiteral("tlcarousel"),
                     {QStringLiteral("tlcarousel\\.js")},
                     mockupTemplate(QStringLiteral("Carousel"),
                                    QStringLiteral("tlcarousel_example"),
                                    QStringLiteral("Carousel")));
    // The menu's footnote paragraph belongs to the menu it follows.
    components[2].additionalTags.append(
        {QStringLiteral("p"), QStringLiteral("class"), QStringLiteral("tlmenu-footer")});
}

void initIndivisibleTags(QStringList& tags)
{
    tags << QStringLiteral("OBJECT") << QStringLiteral("IFRAME") << QStringLiteral("EMBED")
         << QStringLiteral("VIDEO") << QStringLiteral("SOUND");
}

void initAvailableTagsAppendTo(QStringList& tags)
{
    tags << QStringLiteral("BODY") << QStringLiteral("CENTER") << QStringLiteral("DIV")
         << QStringLiteral("H1") << QStringLiteral("H2") << QStringLiteral("H3")
         << QStringLiteral("H4") << QStringLiteral("H5") << QStringLiteral("H6")
         << QStringLiteral("LI") << QStringLiteral("P") << QStringLiteral("TD")
         << QStringLiteral("TH");
}

void initCommentScripts(QStringList& patterns)
{
    patterns << QStringLiteral("jquery((-|\\.)[^t]*)?\\.js") << QStringLiteral("prototype\\.js")
             << QStringLiteral("mootools\\.js") << QStringLiteral("tlgallery\\.js")
             << QStringLiteral("swfobject\\.js");
}
