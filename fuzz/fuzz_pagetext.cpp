#include "components/pagetext.h"

#include <cstddef>
#include <cstdint>

// Runs the page text rules on arbitrary text: masking keeps every offset and
// every tag it leaves visible, ranges stay inside the text, and the script
// rule keeps the text intact outside the inclusions it rewrites.
extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size)
{
    const QString text =
        QString::fromUtf8(reinterpret_cast<const char*>(data), static_cast<int>(size));
    const QString masked = PageText::maskNonMarkup(text);
    if (masked.size() != text.size())
        __builtin_trap();
    for (int i = 0; i < text.size(); ++i) {
        if (masked.at(i) != text.at(i) && masked.at(i) != QLatin1Char(' '))
            __builtin_trap();
    }
    int position = 0;
    for (PageText::Range tag = PageText::findNextTag(masked, 0); tag.isValid();
         tag = PageText::findNextTag(masked, tag.end)) {
        if (tag.start < position || tag.end > masked.size() || masked.at(tag.start) != '<')
            __builtin_trap();
        position = tag.end;
        const PageText::Range widened =
            PageText::widenOverComments(text, PageText::findElementTag(masked, "p", tag.start));
        if (widened.isValid() && (widened.start < 0 || widened.end > text.size()))
            __builtin_trap();
    }
    const QStringList patterns {QStringLiteral("page.files/tlgallery1(?![0-9])"),
                                QStringLiteral("jquery((-|\\.)[^t]*)?\\.js")};
    const PageText::Range references = PageText::headReferences(text, patterns);
    if (references.isValid() && (references.end < references.start || references.end > text.size()))
        __builtin_trap();
    QString edited = text;
    PageText::keepOneScriptInclusion(edited, patterns);
    return 0;
}
