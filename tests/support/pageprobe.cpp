#include "pageprobe.h"

#include "headlesschromium.h"
#include "loopbackhttpserver.h"

#include <QJsonDocument>
#include <QSignalSpy>

namespace {
// Polls every 200 ms. "Settled" must hold twice in a row, and the report
// waits a moment longer so that buttons added after playback starts are in.
const char PROBE[] = R"JS(
(function () {
    // A frame page: the page inside the frame reports.
    if (document.querySelector("iframe[data-probe-frame]"))
        return;
    var started = Date.now();
    var limit = %LIMIT%;
    var settledOnce = false;
    function shown(element) {
        return element.offsetParent !== null && getComputedStyle(element).display !== "none";
    }
    function settled() {
        var videos = document.querySelectorAll("video");
        if (!videos.length)
            return document.readyState === "complete";
        for (var i = 0; i < videos.length; ++i) {
            var v = videos[i];
            if (v.error || v.readyState < 2 || v.videoWidth === 0)
                return false;
            if (v.hasAttribute("autoplay") && (v.paused || v.currentTime === 0))
                return false;
        }
        return true;
    }
    function imageWidth(url) {
        return new Promise(function (resolve) {
            if (!url) { resolve(0); return; }
            var image = new Image();
            image.onload = function () { resolve(image.naturalWidth); };
            image.onerror = function () { resolve(0); };
            image.src = url;
        });
    }
    function report(timedOut) {
        var result = {timedOut: timedOut, videos: [], blocks: [],
                      viewportWidth: window.innerWidth,
                      scrollWidth: document.documentElement.scrollWidth};
        document.querySelectorAll("video").forEach(function (v) {
            result.videos.push({currentSrc: v.currentSrc, videoWidth: v.videoWidth,
                                videoHeight: v.videoHeight, readyState: v.readyState,
                                error: v.error ? v.error.code : null, paused: v.paused,
                                muted: v.muted, currentTime: v.currentTime,
                                sources: Array.prototype.map.call(v.querySelectorAll("source"),
                                                                  function (s) { return s.src; })});
        });
        result.unmuteButtons = Array.prototype.filter.call(
            document.querySelectorAll(".tlm_unmute"), shown).length;
        result.creditsShown = Array.prototype.filter.call(
            document.querySelectorAll(".tlm_script"), shown).length;
        document.querySelectorAll(".tovalumen").forEach(function (b) {
            var r = b.getBoundingClientRect();
            result.blocks.push({left: r.left, right: window.innerWidth - r.right, width: r.width});
        });
        var buttons = Array.prototype.filter.call(
            document.querySelectorAll(".tlm_fullscreen"), shown);
        Promise.all(buttons.map(function (b) {
            var m = /url\("?([^")]*)"?\)/.exec(getComputedStyle(b).backgroundImage);
            var url = m ? m[1] : "";
            return imageWidth(url).then(function (w) { return {image: url, imageWidth: w}; });
        })).then(function (list) {
            result.fullscreenButtons = list;
            fetch("/__report", {method: "POST", body: JSON.stringify(result)});
        });
    }
    function poll() {
        var done = settled();
        if (done && settledOnce) {
            setTimeout(function () { report(false); }, 700);
            return;
        }
        settledOnce = done;
        if (Date.now() - started > limit) {
            report(true);
            return;
        }
        setTimeout(poll, 200);
    }
    poll();
})();
)JS";
} // namespace

QJsonObject probePage(LoopbackHttpServer& server, const QString& path,
                      const QStringList& chromiumArguments, QString* diagnostics, int timeoutMs)
{
    // The page gives up a little before the test does, so that a page that
    // never settles still reports what it has.
    const int pageLimit = std::max(1000, timeoutMs - 10000);
    server.setInjectedScript(QByteArray(PROBE).replace("%LIMIT%", QByteArray::number(pageLimit)));
    QSignalSpy posted(&server, &LoopbackHttpServer::posted);
    HeadlessChromium browser(chromiumArguments);
    if (!browser.open(server.url(path))) {
        if (diagnostics)
            *diagnostics = QStringLiteral("chromium did not start");
        return QJsonObject();
    }
    while (true) {
        for (const QList<QVariant>& post : qAsConst(posted)) {
            if (post.at(0).toString() == QLatin1String("/__report"))
                return QJsonDocument::fromJson(post.at(1).toByteArray()).object();
        }
        if (!posted.wait(timeoutMs))
            break;
    }
    if (diagnostics)
        *diagnostics = browser.output();
    return QJsonObject();
}
